#pragma once

#include "monitor/CpuStatus.h"

#include <QHash>
#include <QList>
#include <QString>

// How loudly the desktop should say it; the values are the notification service's own.
enum class AlertUrgency { Low = 0, Normal = 1, Critical = 2 };

// One call to the desktop: one CPU's change, or a summary naming several that changed together.
struct AlertNotice
{
    QList<quint64> keys; // the CPUs it names, each once
    AlertUrgency urgency = AlertUrgency::Normal;
    CpuState state = CpuState::Unknown; // the worst state it tells of, for its icon
    bool recovered = false; // a single CPU working again: it replaces that CPU's earlier notice
    QString title;
    QString text;
};

// Where alerts go: the desktop's notification service in the program, a fake in tests.
class AlertSink
{
public:
    virtual ~AlertSink() = default;
    virtual void showAlerts(const QList<AlertNotice> &notices) = 0;
};

// Decides when a CPU's change of state is worth a desktop notification: when its download becomes
// late, when it stalls or becomes slow, when it becomes unreachable, and when it recovers from one of those. At
// most one per CPU and change; a CPU's first reading only sets where it starts from, so start-up
// is quiet. A stall counts once it is seen on two readings in a row: a client that writes its file
// less often than the panel reads it would otherwise come and go.
// Changes are gathered until flush(), so that a cycle in which many CPUs change does not bury
// the desktop: more than SummaryAfter of them go out as one summary.
class AlertRule
{
public:
    static constexpr int SummaryAfter = 3;

    explicit AlertRule(AlertSink *sink)
        : m_sink(sink)
    {
    }

    void setEnabled(bool on) { m_enabled = on; }
    // The CPU's status after a reading was applied.
    void observe(quint64 key, const QString &name, const CpuStatus &status);
    void forget(quint64 key);
    // Sends what was gathered since the last flush.
    void flush();

    struct Change
    {
        quint64 key = 0;
        QString name;
        CpuStatus status;
        bool recovered = false;
    };
    // The calls that tell of these changes: one each, or one summary when there are too many.
    static QList<AlertNotice> Compose(const QList<Change> &changes);
    static AlertUrgency UrgencyOf(CpuState state, bool recovered);

private:
    enum class Kind { Good, Slow, Stalled, DownloadLate, Unreachable, Other };
    static Kind kindOf(CpuState state);

    struct Seen
    {
        Kind told = Kind::Good; // what the user was last told, or the start
        Kind last = Kind::Other; // the kind of the reading before
    };
    AlertSink *m_sink;
    bool m_enabled = true;
    QHash<quint64, Seen> m_seen;
    QList<Change> m_pending;
};
