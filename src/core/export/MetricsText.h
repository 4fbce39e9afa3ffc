#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>

// What one CPU looks like to a metrics scraper.
enum class MetricState { Working, Stalled, Downloading, DownloadLate, Unreachable, Failed };

struct CpuMetrics
{
    QString name;
    MetricState state = MetricState::Working;
    int failure = 0; // code of the latest reading's failure, 0 when it succeeded
    double progressRatio = 0; // 0 to 1
    std::optional<double> cpuSeconds; // on the current work unit, as last read
    double downloadSeconds = 0; // since the download watch began, while it runs
    std::optional<double> lastSuccess; // Unix time of the latest reading without failure
    QMap<int, quint64> failures; // code -> readings that failed with it since the exporter started
    quint64 unitsFinished = 0; // kept across restarts in the state file
    std::optional<double> lastUnitWallSeconds; // first seen to finished, of the latest unit
};

// The status bar's account figures: the most advanced account file read so far.
struct AccountMetrics
{
    std::optional<double> received; // work units downloaded ("NWUS=")
    std::optional<double> sent; // results returned ("NRESULTS=")
    std::optional<double> cpuSeconds; // "TOTAL_CPU="
};

struct ExportSnapshot
{
    QList<CpuMetrics> cpus;
    AccountMetrics account;
    double cycleSeconds = 0;
};

// The node_exporter textfile (Prometheus text exposition format) for one cycle.
namespace MetricsText {

constexpr int StateCount = 6;
QString StateName(MetricState state);
// A label value as the format requires: backslash, double quote and line feed escaped.
QString EscapeLabel(const QString &value);
// Every metric family once, HELP and TYPE first; a family without a sample is left out.
QByteArray Render(const ExportSnapshot &snapshot);

} // namespace MetricsText
