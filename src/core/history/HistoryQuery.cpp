#include "history/HistoryQuery.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace HistoryQuery {

qint64 DayStart(const QDate &day)
{
    return day.startOfDay().toSecsSinceEpoch();
}

namespace {

    double median(std::vector<double> v)
    {
        if (v.empty())
            return -1;
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }

    // The bucket's first day for a day of the range.
    QDate bucketOf(Range range, const QDate &day)
    {
        switch (range) {
        case Range::Week:
        case Range::Month:
            return day;
        case Range::Year:
            return day.addDays(1 - day.dayOfWeek()); // weeks from Monday
        case Range::All:
            return QDate(day.year(), day.month(), 1);
        }
        return day;
    }

} // namespace

UnitChart Units(const QSqlDatabase &db, Range range, const QDate &today)
{
    UnitChart chart;
    QDate first;
    switch (range) {
    case Range::Week:
        first = today.addDays(-6);
        break;
    case Range::Month:
        first = today.addDays(-29);
        break;
    case Range::Year:
        first = bucketOf(range, today.addDays(-364));
        break;
    case Range::All: {
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("SELECT min(finished_at) FROM unit")) && q.next() && !q.value(0).isNull())
            first = bucketOf(range, QDateTime::fromSecsSinceEpoch(q.value(0).toLongLong()).date());
        else
            first = bucketOf(range, today);
        break;
    }
    }
    const QLocale locale;
    for (QDate d = bucketOf(range, first); d <= today;) {
        chart.starts.append(d);
        if (range == Range::All) {
            chart.buckets.append(locale.toString(d, QStringLiteral("MMM yyyy")));
            d = d.addMonths(1);
        } else {
            chart.buckets.append(locale.toString(d, QStringLiteral("d MMM")));
            d = d.addDays(range == Range::Year ? 7 : 1);
        }
    }
    const int n = int(chart.starts.size());
    chart.totals.assign(size_t(n), 0);

    // One count per bucket between its local midnights.
    QHash<qint64, QString> cpuNames;
    {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT n, name FROM cpu")))
            return chart;
        while (q.next())
            cpuNames.insert(q.value(0).toLongLong(), q.value(1).toString());
    }
    QHash<QString, std::vector<int>> perCpu;
    QHash<QString, int> sums;
    auto add = [&](int at, qint64 cpu, int c) {
        const QString name = cpuNames.value(cpu);
        auto &row = perCpu[name];
        row.resize(size_t(n), 0);
        row[size_t(at)] += c;
        sums[name] += c;
        chart.totals[size_t(at)] += c;
    };
    // Each CPU's count from its counts per local day where the file has them (a week of 100 CPUs
    // is 700 rows to group instead of its every unit), else from the units themselves.
    const bool byDay = db.tables().contains(QStringLiteral("unit_day"));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(byDay
            ? QStringLiteral("SELECT cpu, sum(units) FROM unit_day WHERE day >= ? AND day < ? GROUP BY cpu")
            : QStringLiteral("SELECT cpu, count(*) FROM unit WHERE finished_at >= ? AND finished_at < ? GROUP BY cpu"));
    for (int at = 0; at < n; ++at) {
        const QDate from = chart.starts[at];
        const QDate next = range == Range::All ? from.addMonths(1) : from.addDays(range == Range::Year ? 7 : 1);
        q.addBindValue(byDay ? QVariant(from.toString(Qt::ISODate)) : QVariant(DayStart(from)));
        q.addBindValue(byDay ? QVariant(next.toString(Qt::ISODate)) : QVariant(DayStart(next)));
        if (!q.exec())
            return chart;
        while (q.next())
            if (const int c = q.value(1).toInt()) // 0: every unit of those days was pruned
                add(at, q.value(0).toLongLong(), c);
    }
    QStringList names = perCpu.keys();
    std::sort(names.begin(), names.end(), [&](const QString &a, const QString &b) {
        return sums.value(a) != sums.value(b) ? sums.value(a) > sums.value(b) : a < b;
    });
    std::vector<int> others(size_t(n), 0);
    bool hasOthers = false;
    for (int i = 0; i < names.size(); ++i) {
        const auto &row = perCpu.value(names[i]);
        if (i < MaxSeries) {
            chart.series.append(names[i]);
            chart.counts.push_back(row);
        } else {
            hasOthers = true;
            for (int b = 0; b < n; ++b)
                others[size_t(b)] += row[size_t(b)];
        }
    }
    if (hasOthers) {
        chart.series.append(QStringLiteral("others"));
        chart.counts.push_back(others);
    }
    return chart;
}

std::vector<CpuRow> Cpus(const QSqlDatabase &db, const QDate &today)
{
    std::vector<CpuRow> rows;
    QHash<qint64, size_t> at;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT n, name, removed FROM cpu ORDER BY removed, name")))
        return rows;
    while (q.next()) {
        at.insert(q.value(0).toLongLong(), rows.size());
        CpuRow r;
        r.name = q.value(1).toString();
        r.removed = q.value(2).toBool();
        rows.push_back(r);
    }
    const qint64 dayStart = DayStart(today), weekStart = DayStart(today.addDays(-6)),
                 monthStart = DayStart(today.addDays(-29));
    std::vector<std::vector<double>> unitTimes(rows.size()), downloadTimes(rows.size());
    q.prepare(QStringLiteral("SELECT cpu, first_seen, finished_at, partial, download_seconds, download_late FROM unit"
                             " WHERE finished_at >= ?"));
    q.addBindValue(monthStart);
    if (q.exec()) {
        while (q.next()) {
            const size_t i = at.value(q.value(0).toLongLong());
            CpuRow &r = rows[i];
            const qint64 finished = q.value(2).toLongLong();
            ++r.month;
            r.week += finished >= weekStart;
            r.today += finished >= dayStart;
            if (!q.value(3).toBool())
                unitTimes[i].push_back(double(finished - q.value(1).toLongLong()));
            if (!q.value(4).isNull())
                downloadTimes[i].push_back(q.value(4).toDouble());
        }
    }
    q.prepare(QStringLiteral("SELECT cpu, count(*) FROM download WHERE late = 1 AND ended >= ? GROUP BY cpu"));
    q.addBindValue(monthStart);
    if (q.exec())
        while (q.next())
            rows[at.value(q.value(0).toLongLong())].lateDownloads = q.value(1).toInt();
    q.prepare(QStringLiteral(
        "SELECT cpu, sum(watched), sum(stalled), sum(unreachable) FROM daily WHERE day >= ? GROUP BY cpu"));
    q.addBindValue(today.addDays(-29).toString(Qt::ISODate));
    if (q.exec()) {
        while (q.next()) {
            CpuRow &r = rows[at.value(q.value(0).toLongLong())];
            r.watchedSeconds = q.value(1).toLongLong();
            r.stalledSeconds = q.value(2).toLongLong();
            r.unreachableSeconds = q.value(3).toLongLong();
        }
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i].medianUnitSeconds = median(unitTimes[i]);
        rows[i].medianDownloadSeconds = median(downloadTimes[i]);
    }
    return rows;
}

std::vector<UnitRow> FinishedUnits(const QSqlDatabase &db, int limit)
{
    std::vector<UnitRow> rows;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT c.name, u.first_seen, u.finished_at, u.partial, u.cpu_seconds,"
                             " u.download_seconds, u.download_late FROM unit u JOIN cpu c ON c.n = u.cpu"
                             " ORDER BY u.finished_at DESC LIMIT ?"));
    q.addBindValue(limit);
    if (!q.exec())
        return rows;
    while (q.next()) {
        UnitRow r;
        r.cpu = q.value(0).toString();
        r.firstSeen = q.value(1).toLongLong();
        r.finishedAt = q.value(2).toLongLong();
        r.partial = q.value(3).toBool();
        r.cpuSeconds = q.value(4).isNull() ? -1 : q.value(4).toDouble();
        r.downloadSeconds = q.value(5).isNull() ? -1 : q.value(5).toLongLong();
        r.downloadLate = q.value(6).toBool();
        rows.push_back(r);
    }
    return rows;
}

} // namespace HistoryQuery
