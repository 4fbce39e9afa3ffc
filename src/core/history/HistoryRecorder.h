#pragma once

#include "monitor/CpuStatus.h"

#include <QHash>
#include <QString>

#include <vector>

// One applied reading as the history sees it: the CPU record's state after the reading and the
// account's figures the reading gave. Times are seconds since the epoch (UTC).
struct HistoryObservation
{
    QString cpuId;
    QString name;
    qint64 at = 0;
    CpuState state = CpuState::Unknown;
    float percent = 0;
    int failure = 0;
    qint64 results = -1; // NRESULTS; -1 when the reading did not get that far
    qint64 units = -1; // NWUS
    double cpuSeconds = -1; // processor time of the unit in hand
    double totalCpu = -1; // TOTAL_CPU, when the reading looked at it
    bool alarm = false; // the download watch sounded its alarm
};

struct UnitRecord
{
    QString cpuId;
    qint64 unitNo = 0; // the result count the unit becomes; minus its finish time when unknown
    qint64 firstSeen = 0;
    qint64 finishedAt = 0;
    bool partial = false; // first seen part way: the wall time is too short
    double cpuSeconds = -1;
    bool seenFinishing = false; // else inferred from the next unit
    qint64 downloadStarted = 0; // the download that brought the unit; 0: not seen
    qint64 downloadSeconds = -1;
    bool downloadLate = false;
};

struct DownloadRecord
{
    QString cpuId;
    qint64 started = 0;
    qint64 ended = 0;
    bool late = false;
    int alarms = 0;
};

struct OutageRecord
{
    QString cpuId;
    CpuState kind = CpuState::Stalled; // Stalled, Unreachable or Failed
    qint64 started = 0;
    qint64 ended = 0;
    int failure = 0;
};

struct DailyRecord
{
    QString cpuId;
    QString day; // local date, yyyy-MM-dd
    qint64 units = -1;
    qint64 results = -1;
    double totalCpu = -1;
    qint64 watchedSeconds = 0; // to add
    qint64 stalledSeconds = 0;
    qint64 unreachableSeconds = 0; // unreachable or failed
};

struct SampleRecord
{
    QString cpuId;
    qint64 at = 0;
    float percent = 0;
};

// What a batch of observations adds to the history, written in one transaction.
struct HistoryChanges
{
    QHash<QString, QString> names; // cpu id -> name as last seen
    std::vector<UnitRecord> units;
    std::vector<DownloadRecord> downloads;
    std::vector<OutageRecord> outages;
    std::vector<DailyRecord> daily;
    std::vector<SampleRecord> samples;
    QHash<QString, QString> tracks; // cpu id -> the recorder's saved state for that CPU

    bool isEmpty() const { return names.isEmpty(); }
    // One daily record per CPU and day, as writing them in order would leave them: what a batch
    // kept through a long fault needs to stay small.
    void mergeDaily();
};

// Derives finished units, downloads, outages, daily counters and progress samples from
// consecutive observations of each CPU. Its memory of each CPU (the unit in hand, an open
// download or outage) goes into every batch, so after a restart the same unit, download or outage
// is continued rather than recorded twice.
class HistoryRecorder
{
public:
    static constexpr qint64 SampleEvery = 300;
    // A longer gap between two readings means the panel was not watching.
    static constexpr qint64 MaxWatchedGap = 900;

    // A state as the history keeps it (the outage table, the saved memory): the numbers the states
    // had before slow came in, slow after them, so files written before read the same.
    static int StoredState(CpuState state);
    static CpuState FromStored(qint64 number);

    void restore(const QString &cpuId, const QString &saved);
    // The memory of one CPU as restore() takes it; empty for a CPU never seen.
    QString saved(const QString &cpuId) const;
    void observe(const HistoryObservation &o, HistoryChanges &out);
    void clear() { m_tracks.clear(); }

private:
    struct Track
    {
        bool known = false;
        qint64 lastAt = 0;
        CpuState lastState = CpuState::Unknown;
        // The unit in hand
        bool inUnit = false;
        qint64 unitNo = -1;
        qint64 unitFirstSeen = 0;
        bool unitPartial = false;
        bool unitFinished = false;
        float unitPercent = 0;
        double unitCpu = -1;
        qint64 unitDlStart = 0, unitDlSeconds = -1;
        bool unitDlLate = false;
        // An open download and the last one finished
        qint64 dlStart = 0;
        bool dlLate = false;
        int dlAlarms = 0;
        qint64 lastDlStart = 0, lastDlSeconds = -1;
        bool lastDlLate = false;
        // An open outage
        int outKind = 0;
        qint64 outStart = 0;
        int outCode = 0;
        qint64 lastSampleAt = 0;
    };
    static QString save(const Track &t);
    static Track load(const QString &text);
    void finishUnit(const QString &cpuId, Track &t, qint64 at, bool seen, HistoryChanges &out);

    QHash<QString, Track> m_tracks;
};
