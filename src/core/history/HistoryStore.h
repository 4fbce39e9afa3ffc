#pragma once

#include "history/HistoryRecorder.h"

#include <QDateTime>
#include <QMutex>
#include <QObject>

#include <memory>

class QThread;
class HistoryWriter;
struct UpdateResult;

// The history of every CPU, kept in an SQLite file that a worker thread writes. The caller hands
// over each applied reading (observe) and says when a cycle ends (cycleFinished); the worker then
// derives what happened and writes the cycle in one transaction. Nothing here waits for the disk
// except flush().
class HistoryStore : public QObject
{
    Q_OBJECT
public:
    // "history.sqlite" in the application data folder (~/.local/share/Brakmere/Tavrik on Linux).
    static QString DefaultFile();

    explicit HistoryStore(const QString &file, QObject *parent = nullptr);
    ~HistoryStore() override; // writes what is pending first

    QString file() const { return m_file; }

    // What the history takes from one applied reading.
    static HistoryObservation Observation(const QString &cpuId, const QString &name, const UpdateResult &result,
        const CpuStatus &after, const QDateTime &nowUtc);
    // One applied reading of a CPU: its stable id and name, what the reading gave, the state after.
    void observe(const QString &cpuId, const QString &name, const UpdateResult &result, const CpuStatus &after,
        const QDateTime &nowUtc);
    void observe(const HistoryObservation &observation);
    // The cycle's readings go to the worker as one transaction (readings outside a cycle go with
    // the next one).
    void cycleFinished();
    // The CPU was removed from the panel; its history stays, marked removed.
    void cpuRemoved(const QString &cpuId);
    // Deletes every record (the CPUs' names and ids stay).
    void clear();
    // How long history is kept, in days; 0 keeps it for ever.
    void setKeepDays(int days);
    // Waits until the worker has written everything handed over so far.
    void flush();

    // Whether history is being written, and why not.
    bool isOn() const;
    QString offReason() const;

Q_SIGNALS:
    // History went off or came back on; the reason is one line for the log.
    void statusChanged(bool on, const QString &reason);
    // Usual paces (HistoryDatabase::usualPaces) by CPU id, 0 for none: every CPU's once the file
    // is open or cleared, then a CPU's after a cycle in which it finished a unit.
    void usualPaces(const QHash<QString, double> &perHour);

private:
    QString m_file;
    QThread *m_thread = nullptr;
    HistoryWriter *m_writer = nullptr;
    std::vector<HistoryObservation> m_pending;
    int m_keepDays = 0;

    struct Shared
    {
        QMutex mutex;
        bool on = false;
        QString reason = QStringLiteral("history is starting");
    };
    std::shared_ptr<Shared> m_shared;
    friend class HistoryWriter;
};
