#include "history/HistoryStore.h"

#include "history/HistoryDatabase.h"
#include "monitor/StatsInterpreter.h"
#include "settings/Conv.h"

#include <QDir>
#include <QStandardPaths>
#include <QThread>

// Lives on the store's thread: owns the database connection and the recorder.
class HistoryWriter : public QObject
{
public:
    HistoryWriter(const QString &file, std::shared_ptr<HistoryStore::Shared> shared, HistoryStore *store)
        : m_file(file)
        , m_shared(std::move(shared))
        , m_store(store)
    {
    }

    void open()
    {
        const HistoryDatabase::State s = m_db.open(m_file, false);
        if (s == HistoryDatabase::State::Ready) {
            const QHash<QString, QString> tracks = m_db.tracks();
            // Opened again after a fault: what the recorder saw meanwhile is newer than the file.
            for (auto it = tracks.constBegin(); it != tracks.constEnd(); ++it)
                if (m_recorder.saved(it.key()).isEmpty())
                    m_recorder.restore(it.key(), it.value());
            announce({});
        }
        QString note;
        if (!m_db.movedAside().isEmpty())
            note = QStringLiteral("The history file was damaged; it was moved to %1 and a new one started.")
                       .arg(m_db.movedAside());
        report(s == HistoryDatabase::State::Ready, m_db.reason(), note);
    }

    void write(std::vector<HistoryObservation> observations)
    {
        if (m_db.state() != HistoryDatabase::State::Ready && m_db.transient())
            open(); // locked, the disk full or the file read-only: tried again with every cycle
        for (const HistoryObservation &o : observations)
            m_recorder.observe(o, m_pending);
        // While the fault may pass, what was seen is kept for when it does; anything else loses
        // the cycle alone.
        if (m_db.state() != HistoryDatabase::State::Ready) {
            if (!m_db.transient())
                m_pending = {};
            m_pending.mergeDaily();
            return;
        }
        if (m_pending.isEmpty())
            return;
        if (m_db.write(m_pending)) {
            QStringList finished;
            for (const UnitRecord &u : m_pending.units)
                if (!finished.contains(u.cpuId))
                    finished.append(u.cpuId);
            m_pending = {};
            if (!finished.isEmpty())
                announce(finished);
            report(true, {});
            prune(false);
            return;
        }
        if (!m_db.transient())
            m_pending = {};
        m_pending.mergeDaily();
        report(false, m_db.reason());
    }

    void removed(const QString &cpuId)
    {
        if (m_db.state() == HistoryDatabase::State::Ready)
            m_db.setRemoved(cpuId, true);
    }

    void clear()
    {
        if (m_db.state() != HistoryDatabase::State::Ready)
            return;
        m_pending = {};
        m_recorder.clear();
        if (!m_db.clear())
            report(false, m_db.reason());
        else
            announce({});
    }

    void setKeepDays(int days)
    {
        m_keepDays = days;
        prune(true);
    }

private:
    // Once a day (and when the choice changes): what is past keeping goes, old samples thinned.
    void prune(bool now)
    {
        const qint64 t = QDateTime::currentSecsSinceEpoch();
        if (m_db.state() != HistoryDatabase::State::Ready || (!now && t - m_lastPrune < 86400))
            return;
        m_lastPrune = t;
        m_db.prune(m_keepDays > 0 ? t - qint64(m_keepDays) * 86400 : 0, t - 30 * 86400);
    }

    // The usual paces of these CPUs (every CPU when none are given), sent to the store's thread.
    void announce(const QStringList &cpuIds)
    {
        const QHash<QString, double> paces = m_db.usualPaces(cpuIds);
        if (!paces.isEmpty())
            QMetaObject::invokeMethod(
                m_store, [store = m_store, paces] { Q_EMIT store->usualPaces(paces); }, Qt::QueuedConnection);
    }

    void report(bool on, const QString &reason, const QString &note = {})
    {
        {
            const QMutexLocker lock(&m_shared->mutex);
            if (m_shared->on == on && m_shared->reason == reason && note.isEmpty())
                return;
            m_shared->on = on;
            m_shared->reason = reason;
        }
        QString line = on ? QStringLiteral("History is kept in %1.").arg(m_file)
                          : QStringLiteral("History is off: %1.").arg(reason);
        if (!note.isEmpty())
            line = note + u' ' + line;
        QMetaObject::invokeMethod(
            m_store, [store = m_store, on, line] { Q_EMIT store->statusChanged(on, line); }, Qt::QueuedConnection);
    }

    QString m_file;
    std::shared_ptr<HistoryStore::Shared> m_shared;
    HistoryStore *m_store;
    HistoryDatabase m_db;
    HistoryRecorder m_recorder;
    HistoryChanges m_pending;
    int m_keepDays = 0;
    qint64 m_lastPrune = 0;
};

QString HistoryStore::DefaultFile()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("history.sqlite"));
}

HistoryStore::HistoryStore(const QString &file, QObject *parent)
    : QObject(parent)
    , m_file(file)
    , m_shared(std::make_shared<Shared>())
{
    m_thread = new QThread(this);
    m_thread->setObjectName(QStringLiteral("history"));
    m_writer = new HistoryWriter(file, m_shared, this);
    m_writer->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_writer, &QObject::deleteLater);
    m_thread->start(QThread::LowPriority);
    QMetaObject::invokeMethod(
        m_writer, [w = m_writer] { w->open(); }, Qt::QueuedConnection);
}

HistoryStore::~HistoryStore()
{
    flush(); // events still queued when the thread's loop ends would be dropped
    m_thread->quit();
    m_thread->wait();
}

HistoryObservation HistoryStore::Observation(
    const QString &cpuId, const QString &name, const UpdateResult &r, const CpuStatus &after, const QDateTime &nowUtc)
{
    HistoryObservation o;
    o.cpuId = cpuId;
    o.name = name;
    o.at = nowUtc.toSecsSinceEpoch();
    o.state = after.state;
    o.percent = r.fields.Percent;
    o.failure = r.failure;
    if (r.uploadedText)
        o.results = qint64(Conv::Val(*r.uploadedText));
    if (r.downloadedText)
        o.units = qint64(Conv::Val(*r.downloadedText));
    o.cpuSeconds = r.cpuSeconds.value_or(-1);
    o.totalCpu = r.totalSeconds.value_or(-1);
    o.alarm = r.playAlarm;
    return o;
}

void HistoryStore::observe(
    const QString &cpuId, const QString &name, const UpdateResult &r, const CpuStatus &after, const QDateTime &nowUtc)
{
    observe(Observation(cpuId, name, r, after, nowUtc));
}

void HistoryStore::observe(const HistoryObservation &observation)
{
    if (!observation.cpuId.isEmpty())
        m_pending.push_back(observation);
}

void HistoryStore::cycleFinished()
{
    if (m_pending.empty())
        return;
    QMetaObject::invokeMethod(
        m_writer, [w = m_writer, batch = std::move(m_pending)]() mutable { w->write(std::move(batch)); },
        Qt::QueuedConnection);
    m_pending = {};
}

void HistoryStore::cpuRemoved(const QString &cpuId)
{
    cycleFinished();
    QMetaObject::invokeMethod(
        m_writer, [w = m_writer, cpuId] { w->removed(cpuId); }, Qt::QueuedConnection);
}

void HistoryStore::clear()
{
    m_pending.clear();
    QMetaObject::invokeMethod(
        m_writer, [w = m_writer] { w->clear(); }, Qt::QueuedConnection);
}

void HistoryStore::setKeepDays(int days)
{
    if (days == m_keepDays)
        return;
    m_keepDays = days;
    QMetaObject::invokeMethod(
        m_writer, [w = m_writer, days] { w->setKeepDays(days); }, Qt::QueuedConnection);
}

void HistoryStore::flush()
{
    cycleFinished();
    QMetaObject::invokeMethod(
        m_writer, [] {}, Qt::BlockingQueuedConnection);
}

bool HistoryStore::isOn() const
{
    const QMutexLocker lock(&m_shared->mutex);
    return m_shared->on;
}

QString HistoryStore::offReason() const
{
    const QMutexLocker lock(&m_shared->mutex);
    return m_shared->on ? QString() : m_shared->reason;
}
