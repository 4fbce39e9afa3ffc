#include "export/MetricsText.h"

#include <QStringBuilder>

#include <cmath>

namespace {

// Shortest text that reads back as the same double; the format's own words for the odd values.
QString number(double v)
{
    if (std::isnan(v))
        return QStringLiteral("NaN");
    if (std::isinf(v))
        return v > 0 ? QStringLiteral("+Inf") : QStringLiteral("-Inf");
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

class Writer
{
public:
    // Starts a family; its HELP and TYPE lines are written with its first sample.
    void family(const char *name, const char *type, const char *help)
    {
        m_name = QLatin1String(name);
        m_type = type;
        m_help = help;
        m_started = false;
    }

    void sample(const QString &labels, const std::optional<double> &value)
    {
        if (value)
            sample(labels, *value);
    }

    void sample(const QString &labels, double value)
    {
        if (!m_started) {
            m_out += QStringLiteral("# HELP ") % m_name % u' ' % QLatin1String(m_help) % u'\n';
            m_out += QStringLiteral("# TYPE ") % m_name % u' ' % QLatin1String(m_type) % u'\n';
            m_started = true;
        }
        m_out += m_name;
        if (!labels.isEmpty())
            m_out += u'{' % labels % u'}';
        m_out += u' ' % number(value) % u'\n';
    }

    QByteArray text() const { return m_out.toUtf8(); }

private:
    QString m_out;
    QString m_name;
    const char *m_type = "";
    const char *m_help = "";
    bool m_started = false;
};

QString label(const char *name, const QString &value)
{
    return QLatin1String(name) % QStringLiteral("=\"") % MetricsText::EscapeLabel(value) % u'"';
}

} // namespace

std::optional<double> MetricsText::Meaningful(double value, double max)
{
    if (!std::isfinite(value) || value < 0 || value > max)
        return std::nullopt;
    return value;
}

std::optional<double> MetricsText::Meaningful(const std::optional<double> &value)
{
    return value ? Meaningful(*value) : std::nullopt;
}

QString MetricsText::EscapeLabel(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'"')
            out += QStringLiteral("\\\"");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else
            out += c;
    }
    return out;
}

QByteArray MetricsText::Render(const ExportSnapshot &s)
{
    Writer w;
    auto perCpu = [&](auto value) {
        for (const CpuMetrics &c : s.cpus)
            value(c, label("cpu", c.name));
    };

    w.family("tavrik_cpu_progress_ratio", "gauge", "Fraction of the current work unit done, as last read.");
    perCpu([&](const CpuMetrics &c, const QString &cpu) { w.sample(cpu, Meaningful(c.progressRatio, 1)); });

    w.family("tavrik_cpu_state", "gauge", "1 for the CPU's state at the latest reading, 0 for the others.");
    perCpu([&](const CpuMetrics &c, const QString &cpu) {
        for (const CpuState state : States)
            if (state != CpuState::Slow || s.withSlow)
                w.sample(cpu % u',' % label("state", CpuStatus::MetricName(state)), state == c.state ? 1 : 0);
    });

    w.family("tavrik_cpu_failure_code", "gauge", "Failure code of the latest reading, 0 when it succeeded.");
    perCpu([&](const CpuMetrics &c, const QString &cpu) { w.sample(cpu, c.failure); });

    w.family("tavrik_cpu_time_seconds", "gauge", "Processor seconds spent on the current work unit.");
    perCpu([&](const CpuMetrics &c, const QString &cpu) { w.sample(cpu, Meaningful(c.cpuSeconds)); });

    w.family("tavrik_download_seconds", "gauge", "Seconds the CPU has been waiting for a new work unit, 0 otherwise.");
    perCpu([&](const CpuMetrics &c, const QString &cpu) { w.sample(cpu, Meaningful(c.downloadSeconds)); });

    w.family("tavrik_cpu_last_success_timestamp_seconds", "gauge", "Unix time of the latest reading without failure.");
    perCpu([&](const CpuMetrics &c, const QString &cpu) { w.sample(cpu, Meaningful(c.lastSuccess)); });

    w.family(
        "tavrik_read_failures_total", "counter", "Readings that failed, by failure code, since the exporter started.");
    perCpu([&](const CpuMetrics &c, const QString &cpu) {
        for (auto it = c.failures.cbegin(); it != c.failures.cend(); ++it)
            w.sample(cpu % u',' % label("code", QString::number(it.key())), double(it.value()));
    });

    w.family("tavrik_cpu_units_finished_total", "counter", "Work units the CPU was seen to finish.");
    perCpu([&](const CpuMetrics &c, const QString &cpu) { w.sample(cpu, double(c.unitsFinished)); });

    w.family("tavrik_cpu_last_unit_wall_seconds", "gauge",
        "Wall-clock seconds from first sight to the end of the latest finished unit.");
    perCpu([&](const CpuMetrics &c, const QString &cpu) {
        if (c.lastUnitWallSeconds)
            w.sample(cpu, *c.lastUnitWallSeconds);
    });

    const AccountMetrics &a = s.account;
    w.family("tavrik_account_results_received", "gauge", "Work units downloaded by the most advanced account read.");
    w.sample(QString(), Meaningful(a.received));
    w.family("tavrik_account_results_sent", "gauge", "Results returned by the most advanced account read.");
    w.sample(QString(), Meaningful(a.sent));
    w.family(
        "tavrik_account_cpu_seconds_total", "counter", "Processor seconds of all the most advanced account's work.");
    // A counter that falls is taken by Prometheus as a reset, which is what a new account file is.
    w.sample(QString(), Meaningful(a.cpuSeconds));

    w.family("tavrik_cycle_duration_seconds", "gauge", "Wall-clock seconds the latest update cycle took.");
    w.sample(QString(), s.cycleSeconds);
    return w.text();
}
