#pragma once

#include "monitor/ClientReader.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class Options;
class QTimer;

// The update cycle without its windows: the one-second tick, the guards of a running cycle, and
// the reading of the CPUs' folders.
//
// Every folder of a cycle is read at once on worker threads, and one time limit counts from the
// cycle's start, so a cycle costs about the slowest share rather than the sum of all of them. The
// readings come back on the user-interface thread in the order they were asked for, a few
// milliseconds' worth per return to the event loop: a CPU is handed on once every CPU before it
// has been handed on. A folder that
// has not answered within the limit is handed on as unreachable; while its read still hangs, later
// reads of the same CPU and folder report it unreachable at once instead of starting another.
class UpdateCycle : public QObject
{
    Q_OBJECT
public:
    // A CPU to read: the caller's key for it (stable while the CPU exists) and its folder.
    struct Target
    {
        quint64 key = 0;
        QString path;
    };
    using TargetSource = std::function<QList<Target>()>;

    static constexpr int DefaultTimeLimitMs = 5000;

    explicit UpdateCycle(const Options &options, QObject *parent = nullptr);
    ~UpdateCycle() override;

    // The CPUs a cycle reads, in window order; asked for at the start of every cycle.
    void setTargets(TargetSource source);
    void setTimeLimit(int ms);
    int timeLimit() const { return m_timeLimitMs; }

    // One second of the main window's timer: every MonitorInterval + 1 ticks a cycle starts. Ticks
    // that come while a cycle runs are not counted.
    void tick();
    // A cycle now; during a cycle, one fresh cycle right after it.
    void refresh();
    // Reads these CPUs outside the cycle (start-up, Refresh Me Only, a CPU given a new folder).
    // A CPU whose reading in a running batch has not been handed on yet is not read twice.
    void readNow(const QList<Target> &targets);
    // Drops the readings of this CPU that have not been handed on (it was removed or edited).
    void forget(quint64 key);
    // The end of the program: nothing more starts and nothing more is handed on.
    void stop();

    bool isCycling() const { return m_cycling; }
    // Nothing is being read or waiting to be handed on.
    bool isIdle() const { return m_batches.empty(); }
    // Worker threads of reads that passed the time limit and have still not returned.
    static int hungReads();

Q_SIGNALS:
    void cycleStarted();
    // The files of one CPU as read from path (unreachable when the limit passed first).
    void readingReady(quint64 key, const QString &path, const ClientSnapshot &files);
    void cycleFinished();

private:
    struct Read;
    struct Batch;
    struct Mailbox;

    void startCycle();
    void startBatch(const QList<Target> &targets, bool isCycle);
    std::shared_ptr<Read> startRead(const Target &target);
    void onReadDone(const std::shared_ptr<Read> &read);
    void onDeadline(Batch *batch);
    void scheduleDelivery();
    void deliver();
    bool deliverOne();
    void finishBatch(Batch *batch);

    const Options &m_options;
    TargetSource m_targets;
    int m_timeLimitMs = DefaultTimeLimitMs;
    qint16 m_tickCount = 0;
    bool m_cycling = false;
    bool m_refreshPending = false;
    bool m_deliveryScheduled = false;
    bool m_stopped = false;
    std::vector<std::unique_ptr<Batch>> m_batches;
    // Reads still running (hung ones included), by CPU; a CPU's folder is read once at a time.
    QList<std::shared_ptr<Read>> m_running;
    std::shared_ptr<Mailbox> m_mailbox;
};
