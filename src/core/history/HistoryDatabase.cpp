#include "history/HistoryDatabase.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace {

// SQLite's result codes that decide what happens to the file: primary codes, and one extended.
enum SqliteCode {
    Busy = 5,
    Locked = 6,
    ReadOnlyCode = 8,
    Corrupt = 11,
    Full = 13,
    CantOpen = 14,
    NotADatabase = 26,
    ShmSize = 10 | (19 << 8), // no room to grow the shared-memory file beside the database
};

int codeOf(const QSqlError &e)
{
    bool ok = false;
    const int code = e.nativeErrorCode().toInt(&ok);
    return ok ? code : 0;
}

bool isDamage(int code)
{
    return (code & 0xff) == NotADatabase || (code & 0xff) == Corrupt;
}

// What a failure that may pass says about the file, to follow "the history file F"; empty for
// any other failure.
QString plainly(int code)
{
    switch (code & 0xff) {
    case Busy:
    case Locked:
        return QStringLiteral("is locked by another program");
    case Full:
        return QStringLiteral("cannot be written: the disk is full");
    case ReadOnlyCode:
        return QStringLiteral("is read-only, or its folder is");
    case CantOpen:
        return QStringLiteral("cannot be opened or created; its folder may be read-only");
    }
    return code == ShmSize ? plainly(Full) : QString();
}

QString nextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("tavrik-history-%1").arg(counter.fetchAndAddRelaxed(1));
}

const char *const Schema1[] = {
    "CREATE TABLE cpu(n INTEGER PRIMARY KEY, id TEXT NOT NULL UNIQUE, name TEXT NOT NULL,"
    " removed INTEGER NOT NULL DEFAULT 0, track TEXT)",
    "CREATE TABLE unit(cpu INTEGER NOT NULL, unit_no INTEGER NOT NULL, first_seen INTEGER NOT NULL,"
    " finished_at INTEGER NOT NULL, partial INTEGER NOT NULL, cpu_seconds REAL, seen_finishing INTEGER NOT NULL,"
    " download_started INTEGER, download_seconds INTEGER, download_late INTEGER, PRIMARY KEY(cpu, unit_no))"
    " WITHOUT ROWID",
    "CREATE INDEX unit_finished ON unit(finished_at)",
    "CREATE TABLE download(cpu INTEGER NOT NULL, started INTEGER NOT NULL, ended INTEGER NOT NULL,"
    " late INTEGER NOT NULL, alarms INTEGER NOT NULL, PRIMARY KEY(cpu, started)) WITHOUT ROWID",
    "CREATE TABLE outage(cpu INTEGER NOT NULL, kind INTEGER NOT NULL, started INTEGER NOT NULL,"
    " ended INTEGER NOT NULL, failure INTEGER NOT NULL, PRIMARY KEY(cpu, started, kind)) WITHOUT ROWID",
    "CREATE TABLE daily(cpu INTEGER NOT NULL, day TEXT NOT NULL, units INTEGER, results INTEGER, total_cpu REAL,"
    " watched INTEGER NOT NULL DEFAULT 0, stalled INTEGER NOT NULL DEFAULT 0,"
    " unreachable INTEGER NOT NULL DEFAULT 0, PRIMARY KEY(cpu, day)) WITHOUT ROWID",
    "CREATE TABLE sample(cpu INTEGER NOT NULL, at INTEGER NOT NULL, milli_percent INTEGER NOT NULL,"
    " PRIMARY KEY(cpu, at)) WITHOUT ROWID",
    "CREATE TABLE meta(key TEXT PRIMARY KEY, value) WITHOUT ROWID",
};

// Daily counters and samples kept by time first: a cycle's rows, one per CPU, then share a page or
// two instead of dirtying one page per CPU (over 100 pages of the log per cycle for 100 CPUs).
// Units counted per CPU and local day as they are written, for the History window's chart: a
// range then adds up at most one row per CPU and day instead of sorting every unit by CPU.
const char *const Schema2[] = {
    "CREATE TABLE daily2(cpu INTEGER NOT NULL, day TEXT NOT NULL, units INTEGER, results INTEGER, total_cpu REAL,"
    " watched INTEGER NOT NULL DEFAULT 0, stalled INTEGER NOT NULL DEFAULT 0,"
    " unreachable INTEGER NOT NULL DEFAULT 0, PRIMARY KEY(day, cpu)) WITHOUT ROWID",
    "INSERT INTO daily2 SELECT * FROM daily",
    "DROP TABLE daily",
    "ALTER TABLE daily2 RENAME TO daily",
    "CREATE TABLE sample2(cpu INTEGER NOT NULL, at INTEGER NOT NULL, milli_percent INTEGER NOT NULL,"
    " PRIMARY KEY(at, cpu)) WITHOUT ROWID",
    "INSERT INTO sample2 SELECT * FROM sample",
    "DROP TABLE sample",
    "ALTER TABLE sample2 RENAME TO sample",
    "CREATE TABLE unit_day(day TEXT NOT NULL, cpu INTEGER NOT NULL, units INTEGER NOT NULL,"
    " PRIMARY KEY(day, cpu)) WITHOUT ROWID",
    "CREATE TRIGGER unit_day_add AFTER INSERT ON unit BEGIN INSERT INTO unit_day"
    " VALUES(date(NEW.finished_at, 'unixepoch', 'localtime'), NEW.cpu, 1)"
    " ON CONFLICT(day, cpu) DO UPDATE SET units = units + 1; END",
    "CREATE TRIGGER unit_day_remove AFTER DELETE ON unit BEGIN UPDATE unit_day SET units = units - 1"
    " WHERE day = date(OLD.finished_at, 'unixepoch', 'localtime') AND cpu = OLD.cpu; END",
    "INSERT INTO unit_day SELECT date(finished_at, 'unixepoch', 'localtime'), cpu, count(*) FROM unit GROUP BY 1, 2",
};

QByteArray csvField(const QString &text)
{
    QByteArray b = text.toUtf8();
    if (b.contains(',') || b.contains('"') || b.contains('\n') || b.contains('\r'))
        b = '"' + b.replace('"', "\"\"") + '"';
    return b;
}

QByteArray isoUtc(qint64 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs, Qt::UTC).toString(Qt::ISODate).toLatin1();
}

} // namespace

HistoryDatabase::HistoryDatabase()
    : m_connection(nextConnectionName())
{
}

HistoryDatabase::~HistoryDatabase()
{
    close();
}

void HistoryDatabase::close()
{
    if (QSqlDatabase::contains(m_connection)) {
        {
            QSqlDatabase d = QSqlDatabase::database(m_connection, false);
            d.close();
        }
        QSqlDatabase::removeDatabase(m_connection);
    }
    m_cpuNumbers.clear();
    m_state = State::Closed;
}

HistoryDatabase::State HistoryDatabase::open(const QString &file, bool readOnly)
{
    close();
    m_file = file;
    m_reason.clear();
    m_movedAside.clear();
    m_transient = false;
    const QFileInfo info(file);
    if (readOnly && !info.exists()) {
        m_reason = QStringLiteral("there is no history file %1").arg(file);
        m_state = State::Off;
        return m_state;
    }
    const bool asked = readOnly;
    if (!readOnly && !QDir().mkpath(info.absolutePath())) {
        m_reason = QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
        m_transient = true;
        m_state = State::Off;
        return m_state;
    }
    if (!readOnly && info.exists() && !info.isWritable()) {
        readOnly = true;
        m_reason = QStringLiteral("the history file %1 %2").arg(file, plainly(ReadOnlyCode));
        m_transient = true;
    }
    // Off; when the reason may pass, the file is opened again with the next cycle.
    auto off = [&](const QSqlError &error, const QString &otherwise) {
        const int code = codeOf(error);
        const QString plain = plainly(code);
        close();
        m_transient = !plain.isEmpty();
        m_reason = QStringLiteral("the history file %1 %2").arg(file, plain.isEmpty() ? otherwise : plain);
        m_state = State::Off;
        return m_state;
    };

    for (int attempt = 0; attempt < 2; ++attempt) {
        bool opened = false;
        QSqlError error;
        {
            QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
            d.setDatabaseName(file);
            d.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000")
                                         : QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
            opened = d.open();
            error = d.lastError();
        }
        if (!opened)
            return off(error, QStringLiteral("cannot be opened: ") + error.text());
        int version = -1;
        bool damaged = false;
        bool writable = true;
        {
            QSqlDatabase d = db();
            QSqlQuery q(d);
            if (q.exec(QStringLiteral("PRAGMA user_version")) && q.next())
                version = q.value(0).toInt();
            error = q.lastError();
            damaged = isDamage(codeOf(error));
            q.finish();
            if (version >= 0 && !readOnly) {
                // Whether it can be written at all, before the long look through it: a read-only
                // file is opened for reading without a word, and comes back here with every cycle.
                writable = d.transaction() && q.exec(QStringLiteral("PRAGMA user_version=%1").arg(version));
                if (!writable)
                    error = q.lastError().isValid() ? q.lastError() : d.lastError();
                q.finish();
                d.rollback();
                writable = writable || plainly(codeOf(error)).isEmpty();
                if (writable) { // a quick look through the whole file, on the writer's thread at start only
                    damaged
                        = q.exec(QStringLiteral("PRAGMA quick_check(1)")) && q.next() && q.value(0).toString() != u"ok";
                    error = q.lastError();
                    damaged = damaged || isDamage(codeOf(error));
                }
            }
        }
        if (!writable)
            return unwritable(error);
        if (damaged && !asked && attempt == 0) {
            close();
            // Never deleted: the user may want it back, or send it to us.
            const QString aside = file + QStringLiteral(".damaged-")
                + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
            if (!QFile::rename(file, aside)) {
                m_reason = QStringLiteral("the history file %1 is damaged and cannot be moved aside").arg(file);
                m_state = State::Off;
                return m_state;
            }
            for (const char *suffix : { "-wal", "-shm" })
                if (QFile::exists(file + QLatin1String(suffix)))
                    QFile::rename(file + QLatin1String(suffix), aside + QLatin1String(suffix));
            m_movedAside = aside;
            continue;
        }
        if (damaged || version < 0)
            return off(error, QStringLiteral("cannot be read: ") + error.text());
        if (version > SchemaVersion) {
            m_reason = QStringLiteral("the history file %1 was written by a newer version of Tavrik").arg(file);
            m_transient = false;
            if (!readOnly) { // never downgraded: reopened for reading alone
                readOnly = true;
                close();
                continue;
            }
        }
        break;
    }
    if (m_state == State::Off)
        return m_state;

    if (!readOnly) {
        QSqlError walError;
        {
            QSqlQuery q(db());
            if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
                walError = q.lastError();
        }
        if (walError.isValid())
            return unwritable(walError);
        if (!exec(QStringLiteral("PRAGMA synchronous=NORMAL")) || !createOrMigrate()) {
            const QString why = m_reason;
            unwritable({});
            m_reason = why;
            return m_state;
        }
        m_state = State::Ready;
        return m_state;
    }
    if (!db().tables().contains(QStringLiteral("unit"))) {
        const QString why
            = m_reason.isEmpty() ? QStringLiteral("the history file %1 holds no history").arg(file) : m_reason;
        close();
        m_reason = why;
        m_state = State::Off;
        return m_state;
    }
    m_state = State::ReadOnly;
    return m_state;
}

// Opened for writing, but it cannot be: still read where it can be (a lock or a read-only file).
HistoryDatabase::State HistoryDatabase::unwritable(const QSqlError &error)
{
    const int code = error.isValid() ? codeOf(error) : m_lastCode;
    const QString plain = plainly(code);
    const bool readable = (code & 0xff) == ReadOnlyCode || (code & 0xff) == Busy || (code & 0xff) == Locked;
    if (!readable)
        close();
    m_transient = !plain.isEmpty();
    m_reason = QStringLiteral("the history file %1 %2")
                   .arg(m_file, m_transient ? plain : QStringLiteral("cannot be written: ") + error.text());
    m_state = readable ? State::ReadOnly : State::Off;
    return m_state;
}

bool HistoryDatabase::exec(const QString &sql)
{
    QSqlQuery q(db());
    if (q.exec(sql))
        return true;
    return failed(q.lastError(), sql);
}

bool HistoryDatabase::failed(const QSqlError &error, const QString &what)
{
    m_lastCode = codeOf(error);
    const QString plain = plainly(m_lastCode);
    m_transient = !plain.isEmpty();
    m_reason
        = QStringLiteral("the history file %1 %2")
              .arg(m_file,
                  m_transient ? plain : QStringLiteral("cannot be written (%1): %2").arg(what.left(40), error.text()));
    return false;
}

bool HistoryDatabase::createOrMigrate()
{
    // The version is read under the write lock: two programs opening a new file at once (a panel
    // and its successor, an exporter) must not both set out to create it.
    if (!exec(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    QSqlDatabase d = db();
    QSqlQuery q(d);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        const QSqlError error = q.lastError();
        q.finish();
        d.rollback();
        return failed(error, QStringLiteral("user_version"));
    }
    const int version = q.value(0).toInt();
    q.finish();
    bool ok = true;
    // Each step takes the file from one version to the next; a file is never taken back.
    if (version < 1)
        for (const char *sql : Schema1)
            ok = ok && exec(QLatin1String(sql));
    if (version < 2)
        for (const char *sql : Schema2)
            ok = ok && exec(QLatin1String(sql));
    if (version != SchemaVersion)
        ok = ok && exec(QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion));
    ok = ok && exec(QStringLiteral("COMMIT"));
    if (!ok)
        d.rollback();
    return ok;
}

qint64 HistoryDatabase::cpuNumber(const QString &cpuId, const QString &name)
{
    auto it = m_cpuNumbers.constFind(cpuId);
    if (it != m_cpuNumbers.constEnd())
        return *it;
    QSqlQuery q(db());
    q.prepare(
        QStringLiteral("INSERT INTO cpu(id, name) VALUES(?, ?) ON CONFLICT(id) DO UPDATE SET name=excluded.name"));
    q.addBindValue(cpuId);
    q.addBindValue(name);
    if (!q.exec())
        return failed(q.lastError(), QStringLiteral("cpu")), -1;
    q.prepare(QStringLiteral("SELECT n FROM cpu WHERE id=?"));
    q.addBindValue(cpuId);
    if (!q.exec() || !q.next())
        return failed(q.lastError(), QStringLiteral("cpu")), -1;
    const qint64 n = q.value(0).toLongLong();
    m_cpuNumbers.insert(cpuId, n);
    return n;
}

QHash<QString, QString> HistoryDatabase::tracks()
{
    QHash<QString, QString> out;
    QSqlQuery q(db());
    if (q.exec(QStringLiteral("SELECT id, track FROM cpu WHERE track IS NOT NULL")))
        while (q.next())
            out.insert(q.value(0).toString(), q.value(1).toString());
    return out;
}

bool HistoryDatabase::write(const HistoryChanges &c)
{
    if (m_state != State::Ready)
        return false;
    m_transient = false;
    QSqlDatabase d = db();
    if (!d.transaction())
        return failed(d.lastError(), QStringLiteral("begin"));
    auto fail = [&](const QSqlQuery &q, const char *what) {
        if (q.lastError().isValid())
            failed(q.lastError(), QLatin1String(what));
        d.rollback();
        m_cpuNumbers.clear(); // numbers given inside the rolled-back transaction are gone
        const int code = m_lastCode & 0xff;
        if (code == ReadOnlyCode || code == CantOpen)
            m_state = State::Off; // this connection stays so: the file is opened again next time
        return false;
    };
    QSqlQuery q(d);
    // Names first, so every CPU has its number; a renamed CPU keeps its number and history.
    q.prepare(QStringLiteral("UPDATE cpu SET name=?, track=?, removed=0 WHERE n=?"));
    for (auto it = c.names.constBegin(); it != c.names.constEnd(); ++it) {
        const qint64 n = cpuNumber(it.key(), it.value());
        if (n < 0)
            return fail(q, "cpu");
        q.addBindValue(it.value());
        q.addBindValue(c.tracks.value(it.key()));
        q.addBindValue(n);
        if (!q.exec())
            return fail(q, "cpu");
    }
    auto num = [&](const QString &id) { return m_cpuNumbers.value(id, -1); };

    q.prepare(QStringLiteral("INSERT OR IGNORE INTO unit VALUES(?,?,?,?,?,?,?,?,?,?)"));
    for (const UnitRecord &u : c.units) {
        q.addBindValue(num(u.cpuId));
        q.addBindValue(u.unitNo);
        q.addBindValue(u.firstSeen);
        q.addBindValue(u.finishedAt);
        q.addBindValue(int(u.partial));
        q.addBindValue(u.cpuSeconds >= 0 ? QVariant(u.cpuSeconds) : QVariant());
        q.addBindValue(int(u.seenFinishing));
        q.addBindValue(u.downloadStarted ? QVariant(u.downloadStarted) : QVariant());
        q.addBindValue(u.downloadSeconds >= 0 ? QVariant(u.downloadSeconds) : QVariant());
        q.addBindValue(u.downloadSeconds >= 0 ? QVariant(int(u.downloadLate)) : QVariant());
        if (!q.exec())
            return fail(q, "unit");
    }
    q.prepare(QStringLiteral("INSERT OR IGNORE INTO download VALUES(?,?,?,?,?)"));
    for (const DownloadRecord &r : c.downloads) {
        q.addBindValue(num(r.cpuId));
        q.addBindValue(r.started);
        q.addBindValue(r.ended);
        q.addBindValue(int(r.late));
        q.addBindValue(r.alarms);
        if (!q.exec())
            return fail(q, "download");
    }
    q.prepare(QStringLiteral("INSERT OR IGNORE INTO outage VALUES(?,?,?,?,?)"));
    for (const OutageRecord &r : c.outages) {
        q.addBindValue(num(r.cpuId));
        q.addBindValue(HistoryRecorder::StoredState(r.kind));
        q.addBindValue(r.started);
        q.addBindValue(r.ended);
        q.addBindValue(r.failure);
        if (!q.exec())
            return fail(q, "outage");
    }
    q.prepare(QStringLiteral("INSERT INTO daily VALUES(?,?,?,?,?,?,?,?) ON CONFLICT(cpu, day) DO UPDATE SET"
                             " units=coalesce(excluded.units, units), results=coalesce(excluded.results, results),"
                             " total_cpu=coalesce(excluded.total_cpu, total_cpu), watched=watched+excluded.watched,"
                             " stalled=stalled+excluded.stalled, unreachable=unreachable+excluded.unreachable"));
    for (const DailyRecord &r : c.daily) {
        q.addBindValue(num(r.cpuId));
        q.addBindValue(r.day);
        q.addBindValue(r.units >= 0 ? QVariant(r.units) : QVariant());
        q.addBindValue(r.results >= 0 ? QVariant(r.results) : QVariant());
        q.addBindValue(r.totalCpu >= 0 ? QVariant(r.totalCpu) : QVariant());
        q.addBindValue(r.watchedSeconds);
        q.addBindValue(r.stalledSeconds);
        q.addBindValue(r.unreachableSeconds);
        if (!q.exec())
            return fail(q, "daily");
    }
    q.prepare(QStringLiteral("INSERT OR IGNORE INTO sample VALUES(?,?,?)"));
    for (const SampleRecord &r : c.samples) {
        q.addBindValue(num(r.cpuId));
        q.addBindValue(r.at);
        q.addBindValue(qint64(double(r.percent) * 1000.0 + 0.5));
        if (!q.exec())
            return fail(q, "sample");
    }
    q.finish();
    // Not QSqlDatabase::commit(): its error lacks SQLite's code, which tells a full disk.
    return exec(QStringLiteral("COMMIT")) || fail(q, "commit");
}

bool HistoryDatabase::setRemoved(const QString &cpuId, bool removed)
{
    QSqlQuery q(db());
    q.prepare(QStringLiteral("UPDATE cpu SET removed=? WHERE id=?"));
    q.addBindValue(int(removed));
    q.addBindValue(cpuId);
    return q.exec() || failed(q.lastError(), QStringLiteral("removed"));
}

bool HistoryDatabase::clear()
{
    QSqlDatabase d = db();
    if (!d.transaction())
        return failed(d.lastError(), QStringLiteral("begin"));
    bool ok = true;
    for (const char *table : { "unit", "unit_day", "download", "outage", "daily", "sample", "meta" })
        ok = ok && exec(QStringLiteral("DELETE FROM ") + QLatin1String(table));
    ok = ok && exec(QStringLiteral("UPDATE cpu SET track=NULL"));
    if (!ok || !d.commit()) {
        d.rollback();
        return false;
    }
    return true;
}

bool HistoryDatabase::prune(qint64 keepAfter, qint64 thinBefore)
{
    QSqlDatabase d = db();
    if (!d.transaction())
        return failed(d.lastError(), QStringLiteral("begin"));
    bool ok = true;
    auto run = [&](const QString &sql, const QVariantList &values) {
        if (!ok)
            return;
        QSqlQuery q(d);
        q.prepare(sql);
        for (const QVariant &v : values)
            q.addBindValue(v);
        ok = q.exec() || failed(q.lastError(), sql);
    };
    if (keepAfter > 0) {
        run(QStringLiteral("DELETE FROM unit WHERE finished_at < ?"), { keepAfter });
        run(QStringLiteral("DELETE FROM download WHERE ended < ?"), { keepAfter });
        run(QStringLiteral("DELETE FROM outage WHERE ended < ?"), { keepAfter });
        run(QStringLiteral("DELETE FROM sample WHERE at < ?"), { keepAfter });
        run(QStringLiteral("DELETE FROM daily WHERE day < ?"),
            { QDateTime::fromSecsSinceEpoch(keepAfter).date().toString(Qt::ISODate) });
        run(QStringLiteral("DELETE FROM unit_day WHERE units <= 0"), {});
    }
    // Only what has not been thinned before, in whole hours.
    thinBefore -= thinBefore % 3600;
    qint64 thinnedTo = 0;
    {
        QSqlQuery q(d);
        if (q.exec(QStringLiteral("SELECT value FROM meta WHERE key='thinned'")) && q.next())
            thinnedTo = q.value(0).toLongLong();
    }
    if (thinBefore > thinnedTo) {
        run(QStringLiteral("DELETE FROM sample WHERE at >= ?1 AND at < ?2 AND (cpu, at) NOT IN"
                           " (SELECT cpu, min(at) FROM sample WHERE at >= ?1 AND at < ?2 GROUP BY cpu, at / 3600)"),
            { thinnedTo, thinBefore });
        run(QStringLiteral("INSERT OR REPLACE INTO meta VALUES('thinned', ?)"), { thinBefore });
    }
    if (!ok || !d.commit()) {
        d.rollback();
        return false;
    }
    return true;
}

QHash<QString, double> HistoryDatabase::usualPaces(const QStringList &cpuIds)
{
    QStringList ids = cpuIds;
    QSqlQuery q(db());
    if (ids.isEmpty()) {
        if (!q.exec(QStringLiteral("SELECT id FROM cpu")))
            return failed(q.lastError(), QStringLiteral("usual pace")), QHash<QString, double>();
        while (q.next())
            ids.append(q.value(0).toString());
    }
    // A unit only inferred to have finished, or first seen part way, has no true wall time.
    q.prepare(QStringLiteral("SELECT u.finished_at - u.first_seen FROM unit u JOIN cpu c ON c.n = u.cpu"
                             " WHERE c.id = ? AND u.partial = 0 AND u.seen_finishing = 1"
                             " ORDER BY u.finished_at DESC LIMIT ?"));
    QHash<QString, double> out;
    std::vector<double> v;
    for (const QString &id : std::as_const(ids)) {
        q.addBindValue(id);
        q.addBindValue(UsualOf);
        if (!q.exec())
            return failed(q.lastError(), QStringLiteral("usual pace")), QHash<QString, double>();
        v.clear();
        while (q.next())
            if (q.value(0).toLongLong() > 0)
                v.push_back(100.0 * 3600.0 / q.value(0).toDouble());
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        out.insert(id, n < size_t(UsualAfter) ? 0.0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
    }
    return out;
}

QByteArray HistoryDatabase::CsvHeader()
{
    return "cpu,cpu_id,unit,started_at,finished_at,wall_seconds,wall_partial,cpu_seconds,seen_finishing,"
           "download_seconds,download_late,removed\r\n";
}

bool HistoryDatabase::exportCsv(QIODevice &out, qint64 since)
{
    QSqlQuery q(db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        "SELECT c.name, c.id, u.unit_no, u.first_seen, u.finished_at, u.partial, u.cpu_seconds, u.seen_finishing,"
        " u.download_seconds, u.download_late, c.removed FROM unit u JOIN cpu c ON c.n = u.cpu"
        " WHERE u.finished_at >= ? ORDER BY u.finished_at, c.name, u.unit_no"));
    q.addBindValue(since);
    if (!q.exec()) {
        failed(q.lastError(), QStringLiteral("export"));
        return false;
    }
    QByteArray buffer = CsvHeader();
    buffer.reserve(1 << 16);
    while (q.next()) {
        const qint64 first = q.value(3).toLongLong();
        const qint64 finished = q.value(4).toLongLong();
        const QVariant cpuSeconds = q.value(6);
        const QVariant download = q.value(8);
        buffer += csvField(q.value(0).toString()) + ',' + csvField(q.value(1).toString()) + ','
            + (q.value(2).toLongLong() > 0 ? QByteArray::number(q.value(2).toLongLong()) : QByteArray()) + ','
            + isoUtc(first) + ',' + isoUtc(finished) + ',' + QByteArray::number(finished - first) + ','
            + QByteArray::number(q.value(5).toInt()) + ','
            + (cpuSeconds.isNull() ? QByteArray() : QByteArray::number(cpuSeconds.toDouble(), 'f', 0)) + ','
            + QByteArray::number(q.value(7).toInt()) + ','
            + (download.isNull() ? QByteArray() : QByteArray::number(download.toLongLong())) + ','
            + (download.isNull() ? QByteArray() : QByteArray::number(q.value(9).toInt())) + ','
            + QByteArray::number(q.value(10).toInt()) + "\r\n";
        if (buffer.size() > (1 << 16) - 512) {
            if (out.write(buffer) != buffer.size())
                return false;
            buffer.clear();
        }
    }
    if (q.lastError().isValid()) {
        failed(q.lastError(), QStringLiteral("export"));
        return false;
    }
    return out.write(buffer) == buffer.size();
}

QString HistoryDatabase::integrity()
{
    QSqlQuery q(db());
    if (q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next())
        return q.value(0).toString();
    return q.lastError().text();
}
