#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

class QThread;

// The whole session's log, kept in files beside the visible (trimmed) log. Entries are written
// on a thread of their own, so a slow disk never holds up the windows. The files are rotated by
// size: session.log is the newest, session.log.1 … the older ones; a new session starts a new file.
class SessionLog : public QObject
{
    Q_OBJECT
public:
    struct Limits
    {
        qint64 fileBytes;
        int files;
    };
    static constexpr Limits DefaultLimits { 1024 * 1024, 5 }; // 1 MiB × 5 files

    explicit SessionLog(const QString &dir, Limits limits = DefaultLimits, QObject *parent = nullptr);
    ~SessionLog() override; // writes what is queued, then stops

    // The user's state directory for Tavrik: $XDG_STATE_HOME (or ~/.local/state)/Brakmere/Tavrik
    // on Linux and the like, the application's local data folder elsewhere.
    static QString DefaultDir();
    QString dir() const { return m_dir; }
    QString currentFile() const;
    // The text an entry takes in the file: the time, then the entry, continued lines indented.
    static QString FileText(const QString &entry, const QDateTime &when);
    static QString FileText(const QString &entry, const QString &stamp);
    // The time stamp of this second. Made once a second: turning the clock into local time
    // looks at the time zone files every time, hundreds of times a cycle otherwise.
    static QString StampNow();

    // Queues the entries; returns at once.
    void append(const QStringList &entries);
    // Queues writing every file of this session, oldest first, to one file; saved() tells the end.
    void saveSessionTo(const QString &path);
    // Waits until everything queued so far is written.
    void flush();

    // An entry longer than a file is cut to fit one, so no entry can pass the size bound.
    static QByteArray Bounded(const QByteArray &data, qint64 fileBytes);

Q_SIGNALS:
    // complete is false when the session's files lack entries (writes that failed) or one of them
    // could not be read: the saved file is then not the whole session.
    void saved(const QString &path, bool ok, bool complete);
    // The files stopped taking entries (a full disk, a folder that cannot be written): told once
    // for each kind of failure.
    void failed(const QString &what);

private:
    class Writer;
    QString m_dir;
    QThread *m_thread = nullptr;
    Writer *m_writer = nullptr;
};
