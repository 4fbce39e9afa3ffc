#include "log/SessionLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>

namespace {
const QString FileName = QStringLiteral("session.log");
}

// Lives on the log's thread; everything it does is queued to it.
class SessionLog::Writer : public QObject
{
public:
    Writer(const QString &dir, Limits limits)
        : m_dir(dir)
        , m_limits(limits)
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
        if (QFileInfo(path(0)).size() > 0)
            rotate();
        open();
    }

    void write(const QByteArray &data)
    {
        if (!m_file.isOpen())
            return;
        if (m_file.size() > 0 && m_file.size() + data.size() > m_limits.fileBytes) {
            rotate();
            m_sessionFiles = qMin(m_sessionFiles + 1, m_limits.files);
            open();
        }
        m_file.write(data);
        m_file.flush();
    }

    bool saveTo(const QString &target)
    {
        QSaveFile out(target);
        if (!out.open(QIODevice::WriteOnly))
            return false;
        for (int i = m_sessionFiles - 1; i >= 0; --i) {
            QFile in(path(i));
            if (in.open(QIODevice::ReadOnly))
                out.write(in.readAll());
        }
        return out.commit();
    }

private:
    void rotate()
    {
        m_file.close();
        QFile::remove(path(m_limits.files - 1));
        for (int i = m_limits.files - 2; i >= 0; --i)
            QFile::rename(path(i), path(i + 1));
    }

    void open()
    {
        m_file.setFileName(path(0));
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append))
            qWarning("Session log: cannot write %s", qUtf8Printable(path(0)));
    }

    QString m_dir;
    Limits m_limits;
    QFile m_file;
    int m_sessionFiles = 1; // files holding this session, the current one included
};

SessionLog::SessionLog(const QString &dir, Limits limits, QObject *parent)
    : QObject(parent)
    , m_dir(dir)
    , m_thread(new QThread(this))
    , m_writer(new Writer(dir, { qMax<qint64>(limits.fileBytes, 1), qMax(limits.files, 1) }))
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
            const bool ok = w->saveTo(path);
            QMetaObject::invokeMethod(
                this, [this, path, ok] { Q_EMIT saved(path, ok); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void SessionLog::flush()
{
    QMetaObject::invokeMethod(
        m_writer, [] {}, Qt::BlockingQueuedConnection);
}
