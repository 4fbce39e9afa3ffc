#pragma once

#include "monitor/ClientReader.h"

#include <QFuture>
#include <QObject>

// Reads a CPU's client directory on a worker thread, so that a network share that has gone away
// never freezes the windows: the caller waits with the event loop running, for at most the time
// limit. A read that has not come back by then counts as an unreachable directory, and its late
// answer is dropped. While it still hangs, later reads of the same CPU do not start another
// thread; they report the directory unreachable at once.
class AsyncClientReader : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    static constexpr int DefaultTimeLimitMs = 5000;
    static void setTimeLimit(int ms);
    static int timeLimit();

    // The snapshot of dir, or an unreachable one. Runs the event loop while it waits: the caller
    // must be prepared for anything a user or timer can do meanwhile (including deleting this
    // object's parent; the snapshot is still returned then).
    ClientSnapshot read(const QString &dir);

    bool isWaitingForLateAnswer() const;

    static ClientSnapshot Unreachable();

private:
    QFuture<ClientSnapshot> m_late;
};
