#pragma once

#include <QDateTime>
#include <QString>

class HistoryStore;

// A fleet's past, generated as the CPU records' transitions (a unit starts, finishes, a download
// begins, runs late, ends, a machine becomes unreachable and comes back) plus the readings the
// progress samples need, and fed through HistoryStore as the panel feeds it.
//
// The model, per CPU: units of 6 to 12 hours of wall time (CPU time 90 to 98 % of it); downloads
// of 1 to 30 minutes, of which 5 % are late (31 to 90 minutes, the alarm at 30); one outage of
// 1 to 8 hours a week, during which the unit does not advance; readings every 31 seconds, of which
// the history is given one every 5 minutes in the last 30 days and one an hour before (what its
// thinning keeps anyway).
struct HistorySimulation
{
    int cpus = 100;
    int days = 365;
    QDateTime end = QDateTime::currentDateTimeUtc();
    quint32 seed = 1;

    struct Totals
    {
        qint64 observations = 0;
        qint64 units = 0; // finished within the period
        qint64 cycles = 0; // transactions handed over
    };
    // The CPUs are named after rooms, then "cpu-N"; their ids are "sim-N".
    Totals run(HistoryStore &store) const;
    static QString CpuName(int index);
};
