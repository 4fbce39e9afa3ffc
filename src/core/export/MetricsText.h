#pragma once

#include "monitor/CpuStatus.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <limits>
#include <optional>

// What one CPU looks like to a metrics scraper.
struct CpuMetrics
{
    QString name;
    CpuState state = CpuState::Working; // never Unknown
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
    bool withSlow = false; // the state "slow" is one of the states
};

// The node_exporter textfile (Prometheus text exposition format) for one cycle.
namespace MetricsText {

// The states a CPU can be in once read, each a sample of tavrik_cpu_state; slow only with withSlow.
constexpr CpuState States[] = { CpuState::Working, CpuState::Slow, CpuState::Stalled, CpuState::Downloading,
    CpuState::DownloadLate, CpuState::Unreachable, CpuState::Failed };
// A label value as the format requires: backslash, double quote and line feed escaped.
QString EscapeLabel(const QString &value);
// A value a reading can mean: finite, not negative, and at most max (a ratio: 1). Anything else
// is left out of the file for that reading rather than exported as it came.
std::optional<double> Meaningful(double value, double max = std::numeric_limits<double>::max());
std::optional<double> Meaningful(const std::optional<double> &value);
// Every metric family once, HELP and TYPE first; a family without a sample is left out.
QByteArray Render(const ExportSnapshot &snapshot);

} // namespace MetricsText
