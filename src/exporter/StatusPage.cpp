#include "StatusPage.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringBuilder>

#include <algorithm>
#include <cmath>

namespace {

// Light first; the dark scheme swaps the palette. Sized for a 360 px phone upward.
const char Style[] = R"(
:root{--bg:#f4f5f7;--card:#fff;--fg:#1d2126;--dim:#5c6670;--line:#d8dde3;
--working:#1f7a3a;--downloading:#1d5fa8;--slow:#7a6a00;--stalled:#9a6700;--download_late:#b35900;--unreachable:#b3261e;--failed:#b3261e}
@media (prefers-color-scheme:dark){:root{--bg:#121417;--card:#1d2125;--fg:#e6e8eb;--dim:#9aa4ae;--line:#333a41;
--working:#5cc878;--downloading:#6aa8f0;--slow:#d8cc50;--stalled:#e0b040;--download_late:#f0903c;--unreachable:#ff7b72;--failed:#ff7b72}}
*{box-sizing:border-box}
body{margin:0;padding:12px;background:var(--bg);color:var(--fg);font:16px/1.4 system-ui,sans-serif}
header{display:flex;flex-wrap:wrap;justify-content:space-between;align-items:baseline;gap:4px 16px;margin:0 auto 12px;max-width:1200px}
h1{font-size:1.25rem;margin:0}
.dim{color:var(--dim);font-size:.9rem}
main{display:grid;grid-template-columns:repeat(auto-fill,minmax(300px,1fr));gap:12px;max-width:1200px;margin:0 auto}
section{background:var(--card);border:1px solid var(--line);border-left:6px solid var(--c);border-radius:8px;padding:12px 14px;min-width:0}
h2{font-size:1.1rem;margin:0 0 4px;overflow-wrap:anywhere}
.state{color:var(--c);font-weight:600;margin:0 0 8px;overflow-wrap:anywhere}
progress{width:100%;height:10px;accent-color:var(--c)}
dl{display:grid;grid-template-columns:auto 1fr;gap:2px 12px;margin:8px 0 0}
dt{color:var(--dim)}dd{margin:0;text-align:right;overflow-wrap:anywhere}
.working{--c:var(--working)}.downloading{--c:var(--downloading)}.slow{--c:var(--slow)}.stalled{--c:var(--stalled)}
.download_late{--c:var(--download_late)}.unreachable{--c:var(--unreachable)}.failed{--c:var(--failed)}
)";

QString isoTime(const QDateTime &t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODate) : QString();
}

QString row(const char *title, const QString &value)
{
    if (value.isEmpty())
        return {};
    return QStringLiteral("<dt>") % QLatin1String(title) % QStringLiteral("</dt><dd>") % StatusPage::EscapeHtml(value)
        % QStringLiteral("</dd>");
}

} // namespace

QString StatusPage::EscapeHtml(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QStringLiteral("&amp;");
            break;
        case '<':
            out += QStringLiteral("&lt;");
            break;
        case '>':
            out += QStringLiteral("&gt;");
            break;
        case '"':
            out += QStringLiteral("&quot;");
            break;
        case '\'':
            out += QStringLiteral("&#39;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QList<CpuCard> StatusPage::ByAttention(const QList<CpuCard> &cpus)
{
    QList<CpuCard> out = cpus;
    std::stable_sort(out.begin(), out.end(), [](const CpuCard &a, const CpuCard &b) { return a.state > b.state; });
    return out;
}

QByteArray StatusPage::StyleHash()
{
    return "sha256-" + QCryptographicHash::hash(QByteArray(Style), QCryptographicHash::Sha256).toBase64();
}

QByteArray StatusPage::Html(const StatusSnapshot &s)
{
    const QList<CpuCard> cpus = ByAttention(s.cpus);
    int attention = 0;
    for (const CpuCard &c : cpus)
        attention += c.state >= CpuState::Slow ? 1 : 0;
    QString summary = cpus.size() == 1 ? QStringLiteral("1 CPU") : QStringLiteral("%1 CPUs").arg(cpus.size());
    if (attention)
        summary += QStringLiteral(", %1 need%2 attention").arg(attention).arg(attention == 1 ? "s" : "");

    QString out = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                                 "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
                                 "<meta name=\"color-scheme\" content=\"light dark\">")
        % QStringLiteral("<meta http-equiv=\"refresh\" content=\"%1\">").arg(qMax(1, s.intervalSeconds))
        % QStringLiteral("<title>Tavrik: ") % summary % QStringLiteral("</title><style>") % QLatin1String(Style)
        % QStringLiteral("</style></head>\n<body><header><h1>") % summary % QStringLiteral("</h1><span class=\"dim\">")
        % (s.taken.isValid() ? QStringLiteral("Read at ") % s.taken.toString(QStringLiteral("HH:mm:ss"))
                             : QStringLiteral("Not read yet"))
        % QStringLiteral("</span></header>\n<main>\n");
    for (const CpuCard &c : cpus) {
        const QString key = c.stateKey.isEmpty() ? QStringLiteral("working") : c.stateKey;
        out += QStringLiteral("<section class=\"") % EscapeHtml(key) % QStringLiteral("\"><h2>") % EscapeHtml(c.name)
            % QStringLiteral("</h2><p class=\"state\">") % EscapeHtml(c.stateText)
            % QStringLiteral("</p><progress max=\"100\" value=\"")
            % QString::number(qBound(0.0, c.percent, 100.0), 'f', 2) % QStringLiteral("\"></progress><dl>")
            % row("Done", c.percentText)
            % row("Finishes in", c.etaSeconds ? CpuStatus::ShortDuration(*c.etaSeconds) : QString())
            % row("Per hour", c.perHour ? QString::number(*c.perHour, 'f', 2) + u'%' : QString())
            % row("CPU time", c.cpuTimeText)
            % row("Last good reading",
                c.lastGood.isValid() ? c.lastGood.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                                     : QStringLiteral("none"))
            % row("Last failure", c.lastFailure) % QStringLiteral("</dl></section>\n");
    }
    if (cpus.isEmpty())
        out += QStringLiteral("<p>No CPU is watched.</p>\n");
    out += QStringLiteral("</main></body></html>\n");
    return out.toUtf8();
}

QByteArray StatusPage::Json(const StatusSnapshot &s)
{
    auto optional = [](const auto &v) { return v ? QJsonValue(double(*v)) : QJsonValue(); };
    auto text = [](const QString &t) { return t.isEmpty() ? QJsonValue() : QJsonValue(t); };
    QJsonArray cpus;
    for (const CpuCard &c : ByAttention(s.cpus)) {
        cpus.append(QJsonObject { { "name", c.name }, { "state", c.stateKey }, { "state_text", c.stateText },
            { "percent", std::round(c.percent * 1e4) / 1e4 }, { "percent_text", text(c.percentText) },
            { "per_hour", optional(c.perHour) }, { "eta_seconds", optional(c.etaSeconds) },
            { "cpu_time", text(c.cpuTimeText) }, { "last_good", text(isoTime(c.lastGood)) },
            { "last_failure", text(c.lastFailure) } });
    }
    return QJsonDocument(QJsonObject { { "read_at", text(isoTime(s.taken)) }, { "interval_seconds", s.intervalSeconds },
                             { "cycle_seconds", s.cycleSeconds }, { "cpus", cpus } })
        .toJson(QJsonDocument::Compact);
}
