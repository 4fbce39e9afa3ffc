#pragma once

#include "shared/Framework.h"

#include <QFont>
#include <QStringList>
#include <QWidget>

// Places the dialogs' controls where their forms were designed, in twips.
namespace DialogLayout {

inline void Place(QWidget *control, int left, int top, int width, int height)
{
    control->setGeometry(Framework::TwipsToPixels(QRect(left, top, width, height), control->window()));
}

inline QSize ClientSize(const QWidget *window, int width, int height)
{
    return QSize(Framework::TwipsToPixelsX(width, window), Framework::TwipsToPixelsY(height, window));
}

// The forms were laid out for these fonts. Where a family is missing, families of about the same
// width come first, so texts still fit their places; the font system's own choice comes last.
inline QFont NamedFont(const QString &family, const QStringList &similar, qreal points)
{
    QFont f(family);
    f.setFamilies(QStringList { family } + similar);
    f.setPointSizeF(points);
    return f;
}

inline QFont FormFont()
{
    return NamedFont(QStringLiteral("MS Sans Serif"),
                     { QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans") },
                     8.25);
}

inline QFont TahomaFont()
{
    return NamedFont(QStringLiteral("Tahoma"),
                     { QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Arial"),
                       QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans") },
                     11.25);
}

// Centres a top-level window on the screen it is on (the primary screen before it is shown).
void CentreOnScreen(QWidget *window);

} // namespace DialogLayout
