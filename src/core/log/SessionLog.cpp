#include "log/SessionLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>

#include <utility>

namespace {
const QString FileName = QStringLiteral("session.log");
}

// Lives on the log's thread; everything it does is queued to it.
class SessionLog::Writer : public QObject
{
public:
    Writer(const QString &dir, Limits limits, SessionLog *owner)
        : m_dir(dir)
        , m_limits(limits)
        , m_owner(owner)
    {
    }

    QString path(int index) const
    {
        const QString name = index == 0 ? FileName : FileName + u'.' + QString::number(index);
        return QDir(m_dir).filePath(name);
    }

    void start()
    {
        QDir().mkpath(m_dir);
        // The last session's files move up one place; this session begins with an empty file.
        if (QFileInfo(path(0)).size() > 0 && !rotate())
            return;
        open();
    }

    void write(const QByteArray &entries)
    {
        if (!m_file.isOpen()) {
            m_lost = true;
            return;
        }
        const QByteArray data = Bounded(entries, m_limits.fileBytes);
        if (m_file.size() > 0 && m_file.size() + data.size() > m_limits.fileBytes) {
            if (!rotate())
                return;
            m_sessionFiles = qMin(m_sessionFiles + 1, m_limits.files);
            if (!open())
                return;
        }
        if (m_file.write(data) != data.size() || !m_file.flush()) {
            m_lost = true;
            fail(m_writeTold,
                QStringLiteral("The session's log could not be written to %1 (%2); entries are missing "
                               "from it.")
                    .arg(QDir::toNativeSeparators(path(0)), m_file.errorString()));
            // What did not reach the disk is dropped, so it is not retried with every entry.
            m_file.close();
            open();
        }
    }

    bool saveTo(const QString &target, bool *complete)
    {
        *complete = !m_lost;
        QSaveFile out(target);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        for (int i = m_sessionFiles - 1; i >= 0; --i) {
            QFile in(path(i));
            if (!in.open(QIODevice::ReadOnly)) {
                *complete = false;
                continue;
            }
            const QByteArray text = in.readAll();
            if (out.write(text) != text.size())
                return false;
        }
        return out.commit();
    }

private:
    void fail(bool &told, const QString &what)
    {
        if (std::exchange(told, true))
            return;
        QMetaObject::invokeMethod(
            m_owner, [o = m_owner, what] { Q_EMIT o->failed(what); }, Qt::QueuedConnection);
    }

    // False when the files could not move up: the current file is then full and closed for good,
    // since writing on would let it grow past its bound.
    bool rotate()
    {
        m_file.close();
        bool ok = !QFile::exists(path(m_limits.files - 1)) || QFile::remove(path(m_limits.files - 1));
        for (int i = m_limits.files - 2; ok && i >= 0; --i)
            ok = !QFile::exists(path(i)) || QFile::rename(path(i), path(i + 1));
        if (!ok) {
            m_lost = true;
            fail(m_rotateTold,
                QStringLiteral("The session's log files in %1 cannot be rotated; no more entries are "
                               "written to them this session.")
                    .arg(QDir::toNativeSeparators(m_dir)));
        }
        return ok;
    }

    bool open()
    {
        m_file.setFileName(path(0));
        if (m_file.open(QIODevice::WriteOnly | QIODevice::Append))
            return true;
        m_lost = true;
        fail(m_openTold,
            QStringLiteral("The session's log cannot be written to %1 (%2).")
                .arg(QDir::toNativeSeparators(path(0)), m_file.errorString()));
        return false;
    }

    QString m_dir;
    Limits m_limits;
    SessionLog *m_owner;
    QFile m_file;
    int m_sessionFiles = 1; // files holding this session, the current one included
    bool m_lost = false; // entries of this session are missing from the files
    bool m_writeTold = false;
    bool m_rotateTold = false;
    bool m_openTold = false;
};

SessionLog::SessionLog(const QString &dir, Limits limits, QObject *parent)
    : QObject(parent)
    , m_dir(dir)
    , m_thread(new QThread(this))
    , m_writer(new Writer(dir, { qMax<qint64>(limits.fileBytes, 64), qMax(limits.files, 1) }, this))
{
    m_thread->setObjectName(QStringLiteral("SessionLog"));
    m_writer->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_writer, &QObject::deleteLater);
    m_thread->start(QThread::LowPriority);
    QMetaObject::invokeMethod(
        m_writer, [w = m_writer] { w->start(); }, Qt::QueuedConnection);
}

SessionLog::~SessionLog()
{
    flush();
    m_thread->quit();
    m_thread->wait();
}

QString SessionLog::DefaultDir()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/Brakmere/Tavrik");
#else
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
#endif
}

QString SessionLog::currentFile() const
{
    return QDir(m_dir).filePath(FileName);
}

QString SessionLog::FileText(const QString &entry, const QDateTime &when)
{
    return FileText(entry, when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")));
}

QString SessionLog::StampNow()
{
    static qint64 second = -1;
    static QString stamp;
    const qint64 now = QDateTime::currentMSecsSinceEpoch() / 1000;
    if (now != second) {
        second = now;
        stamp = QDateTime::fromSecsSinceEpoch(now).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss "));
    }
    return stamp;
}

QString SessionLog::FileText(const QString &entry, const QString &stamp)
{
    QString body = entry;
    body.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
    if (body.endsWith(u'\n'))
        body.chop(1);
    body.replace(QLatin1String("\n"), u'\n' + QString(stamp.size(), u' '));
    return stamp + body + u'\n';
}

void SessionLog::append(const QStringList &entries)
{
    if (entries.isEmpty())
        return;
    const QString stamp = StampNow();
    QString text;
    for (const QString &e : entries)
        text += FileText(e, stamp);
    QMetaObject::invokeMethod(
        m_writer, [w = m_writer, data = text.toUtf8()] { w->write(data); }, Qt::QueuedConnection);
}

void SessionLog::saveSessionTo(const QString &path)
{
    QMetaObject::invokeMethod(
        m_writer,
        [this, w = m_writer, path] {
            bool complete = true;
            const bool ok = w->saveTo(path, &complete);
            QMetaObject::invokeMethod(
                this, [this, path, ok, complete] { Q_EMIT saved(path, ok, complete); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

QByteArray SessionLog::Bounded(const QByteArray &data, qint64 fileBytes)
{
    if (data.size() <= fileBytes)
        return data;
    static const QByteArray cut = QByteArrayLiteral(" [cut: longer than a log file]\n");
    QByteArray out = data.left(qMax<qint64>(fileBytes - cut.size(), 0));
    // Not inside a character of several bytes.
    while (!out.isEmpty() && (uchar(out.back()) & 0xC0) == 0x80)
        out.chop(1);
    if (!out.isEmpty() && (uchar(out.back()) & 0xC0) == 0xC0)
        out.chop(1);
    return out + cut;
}

void SessionLog::flush()
{
    QMetaObject::invokeMethod(
        m_writer, [] {}, Qt::BlockingQueuedConnection);
}
