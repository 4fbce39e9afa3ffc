#pragma once

#include <QDate>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <vector>

// What the History window shows, read from a history file. Days are local days.
namespace HistoryQuery {

enum class Range { Week, Month, Year, All }; // 7 days and 30 days by day, 12 months by week, all by month

struct UnitChart
{
    QStringList buckets; // labels, oldest first
    QList<QDate> starts; // first day of each bucket
    QStringList series; // the CPUs with most units in the range, then "others" when there are more
    std::vector<std::vector<int>> counts; // [series][bucket]
    std::vector<int> totals; // [bucket]
};

// The ten CPUs with most units each get a series; the rest are summed as "others".
constexpr int MaxSeries = 10;
UnitChart Units(const QSqlDatabase &db, Range range, const QDate &today);

struct CpuRow
{
    QString name;
    bool removed = false;
    int today = 0, week = 0, month = 0; // units finished
    double medianUnitSeconds = -1; // whole units seen from their start, last 30 days
    double medianDownloadSeconds = -1;
    int lateDownloads = 0; // last 30 days
    qint64 stalledSeconds = 0, unreachableSeconds = 0, watchedSeconds = 0; // last 30 days
    double availability() const
    {
        return watchedSeconds > 0 ? 100.0 * double(watchedSeconds - unreachableSeconds) / double(watchedSeconds) : -1;
    }
};
std::vector<CpuRow> Cpus(const QSqlDatabase &db, const QDate &today);

struct UnitRow
{
    QString cpu;
    qint64 firstSeen = 0, finishedAt = 0;
    bool partial = false;
    double cpuSeconds = -1;
    qint64 downloadSeconds = -1;
    bool downloadLate = false;
};
// The most recent units first.
std::vector<UnitRow> FinishedUnits(const QSqlDatabase &db, int limit);

// The local day's start as seconds since the epoch.
qint64 DayStart(const QDate &day);

} // namespace HistoryQuery
