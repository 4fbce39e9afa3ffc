#pragma once

#include "monitor/CpuStatus.h"

#include <QHash>
#include <QString>

// Where alerts go: the tray's message in the program, a fake in tests.
class AlertSink
{
public:
    virtual ~AlertSink() = default;
    virtual void showAlert(const QString &title, const QString &text) = 0;
};

// Decides when a CPU's change of state is worth a desktop notification: when its download becomes
// late, when it stalls, when it becomes unreachable, and when it recovers from one of those. At
// most one per CPU and change; a CPU's first reading only sets where it starts from, so start-up
// is quiet. A stall counts once it is seen on two readings in a row: a client that writes its file
// less often than the panel reads it would otherwise come and go.
class AlertRule
{
public:
    explicit AlertRule(AlertSink *sink)
        : m_sink(sink)
    {
    }

    void setEnabled(bool on) { m_enabled = on; }
    // The CPU's status after a reading was applied.
    void observe(quint64 key, const QString &name, const CpuStatus &status);
    void forget(quint64 key) { m_seen.remove(key); }

private:
    enum class Kind { Good, Stalled, DownloadLate, Unreachable, Other };
    static Kind kindOf(CpuState state);

    struct Seen
    {
        Kind told = Kind::Good; // what the user was last told, or the start
        Kind last = Kind::Other; // the kind of the reading before
    };
    AlertSink *m_sink;
    bool m_enabled = true;
    QHash<quint64, Seen> m_seen;
};
