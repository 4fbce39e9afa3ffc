#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The product's fixed texts and pictures shown by the about box and the splash window.
namespace AboutContent {

QString AuthorLine();
QString EMailLine();
QString RightsLine();
// The licence terms: three paragraphs joined by CR LF.
QString Terms();

// The pictures compiled into the program (drawn by tools/mkmedia at build time).
QPixmap Logo(); // 200 x 143
QIcon AppIcon();

} // namespace AboutContent
