#include "monitor/AsyncClientReader.h"

#include "core/Failure.h"

#include <QEventLoop>
#include <QFutureWatcher>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>

namespace {

std::atomic<int> g_timeLimitMs {AsyncClientReader::DefaultTimeLimitMs};

// Threads stuck in a dead share cannot be cancelled. The pool is never destroyed, so ending the
// program never waits for them; at most one thread per CPU can be stuck (see isWaitingForLateAnswer).
QThreadPool *readerPool()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(64);
        p->setExpiryTimeout(30000);
        return p;
    }();
    return pool;
}

} // namespace

void AsyncClientReader::setTimeLimit(int ms)
{
    g_timeLimitMs = qMax(1, ms);
}

int AsyncClientReader::timeLimit()
{
    return g_timeLimitMs;
}

bool AsyncClientReader::isWaitingForLateAnswer() const
{
    return m_late.isValid() && !m_late.isFinished();
}

ClientSnapshot AsyncClientReader::Unreachable()
{
    ClientSnapshot s;
    s.state.error = Failure::PathNotFound;
    s.user.error = Failure::PathNotFound;
    s.wtempError = Failure::PathNotFound;
    return s;
}

ClientSnapshot AsyncClientReader::read(const QString &dir)
{
    if (isWaitingForLateAnswer())
        return Unreachable();
    m_late = QFuture<ClientSnapshot>();

    QFuture<ClientSnapshot> future = QtConcurrent::run(readerPool(), [dir] { return ClientReader::Read(dir); });
    if (!future.isFinished()) {
        QEventLoop loop;
        QFutureWatcher<ClientSnapshot> watcher;
        QObject::connect(&watcher, &QFutureWatcher<ClientSnapshot>::finished, &loop, &QEventLoop::quit);
        watcher.setFuture(future);
        QTimer::singleShot(timeLimit(), &loop, &QEventLoop::quit);
        QPointer<AsyncClientReader> self(this);
        if (!future.isFinished())
            loop.exec();
        if (!future.isFinished()) {
            if (self)
                m_late = future;
            return Unreachable();
        }
    }
    return future.result();
}
