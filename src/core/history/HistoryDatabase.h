#pragma once

#include "history/HistoryRecorder.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

class QIODevice;

// The history file: an SQLite database through Qt SQL. One object holds one connection and is
// used on one thread only.
class HistoryDatabase
{
public:
    static constexpr int SchemaVersion = 2;

    enum class State {
        Closed,
        Ready,
        ReadOnly, // opened for reading only (asked for, a newer schema, a read-only file)
        Off, // cannot be used at all; reason() says why
    };

    HistoryDatabase();
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase &) = delete;
    HistoryDatabase &operator=(const HistoryDatabase &) = delete;

    // Opens (and for writing creates or migrates) the file. A file that is not a database or is
    // damaged is moved aside as "<file>.damaged-<date>" and a new one started; a file from a newer
    // schema is opened for reading only and never changed.
    State open(const QString &file, bool readOnly);
    void close();
    State state() const { return m_state; }
    QString reason() const { return m_reason; } // why it is read-only or off; empty when ready
    QString file() const { return m_file; }
    QString movedAside() const { return m_movedAside; } // where a damaged file went at open
    QSqlDatabase db() const { return QSqlDatabase::database(m_connection, false); }

    // The recorder's memory of each CPU, as the last batch left it.
    QHash<QString, QString> tracks();
    // One transaction. False when it could not be written (the reason says why).
    bool write(const HistoryChanges &changes);
    // The last failure may pass (a lock, a full disk, a read-only file or folder): the same changes
    // may be tried again, and a file not Ready opened again.
    bool transient() const { return m_transient; }
    // Marks a CPU removed from the panel; its history stays.
    bool setRemoved(const QString &cpuId, bool removed);
    bool clear();
    // Deletes what finished before this time; progress samples older than thinBefore are thinned
    // to one per CPU per hour.
    bool prune(qint64 keepAfter, qint64 thinBefore);

    // Each CPU's usual pace, in percentage points an hour: the median over its last UsualOf whole
    // units (seen from start to finish) of 100 / wall hours; 0 for a CPU with fewer than
    // UsualAfter of them. For these CPU ids, or every CPU the file knows when none are given.
    static constexpr int UsualOf = 10;
    static constexpr int UsualAfter = 3;
    QHash<QString, double> usualPaces(const QStringList &cpuIds = {});

    // RFC 4180 CSV, one row per finished unit since the time given (0: all), in finishing order.
    // False when the database could not be read or the device written.
    bool exportCsv(QIODevice &out, qint64 since);
    static QByteArray CsvHeader();

    // The integrity check's answer: "ok" for a sound file.
    QString integrity();

private:
    bool exec(const QString &sql);
    bool failed(const class QSqlError &error, const QString &what);
    State unwritable(const class QSqlError &error);
    bool createOrMigrate();
    qint64 cpuNumber(const QString &cpuId, const QString &name);

    QString m_connection;
    QString m_file;
    QString m_reason;
    QString m_movedAside;
    State m_state = State::Closed;
    bool m_transient = false;
    int m_lastCode = 0;
    QHash<QString, qint64> m_cpuNumbers;
};
