#pragma once

#include "export/CpuCard.h"

#include <QByteArray>
#include <QString>

// The exporter's status page and its JSON, rendered once per cycle and served as they are.
namespace StatusPage {

// Text safe inside HTML elements and quoted attributes.
QString EscapeHtml(const QString &text);
// The CPUs that need the user most first; the configured order among equals.
QList<CpuCard> ByAttention(const QList<CpuCard> &cpus);
// The page: inline style only (see StyleHash), reloading itself every interval.
QByteArray Html(const StatusSnapshot &snapshot);
QByteArray Json(const StatusSnapshot &snapshot);
// "sha256-…" of the page's one style element, for the Content-Security-Policy.
QByteArray StyleHash();

} // namespace StatusPage
