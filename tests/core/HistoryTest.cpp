#include "app/CommandLine.h"
#include "common/TestSupport.h"
#include "history/HistoryDatabase.h"
#include "history/HistoryStore.h"
#include "monitor/ClientReader.h"
#include "monitor/StatsInterpreter.h"
#include "shared/Failure.h"

#include "SimulatedClient.h"

#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <numeric>

namespace {

// Readings one minute apart, as "state+percent[/results]": w working, s stalled, d downloading at
// 100 %, z waiting at 0 %, D download late, a late with the alarm, u unreachable, f failed.
std::vector<HistoryObservation> script(const QString &text, qint64 start = 1700000000)
{
    std::vector<HistoryObservation> out;
    qint64 results = 10;
    qint64 at = start;
    for (const QString &token : text.split(u' ', Qt::SkipEmptyParts)) {
        HistoryObservation o;
        o.cpuId = QStringLiteral("id-1");
        o.name = QStringLiteral("Den");
        o.at = at;
        at += 60;
        const QChar kind = token.at(0);
        const QStringList parts = token.mid(1).split(u'/');
        if (parts.size() > 1)
            results = parts.at(1).toLongLong();
        o.percent = parts.at(0).isEmpty() ? 100.0f : parts.at(0).toFloat();
        o.results = results;
        o.cpuSeconds = o.percent * 10;
        switch (kind.unicode()) {
        case 'w':
            o.state = CpuState::Working;
            break;
        case 's':
            o.state = CpuState::Stalled;
            break;
        case 'd':
            o.state = CpuState::Downloading;
            break;
        case 'z':
            o.state = CpuState::Downloading;
            o.percent = 0;
            break;
        case 'a':
            o.alarm = true;
            Q_FALLTHROUGH();
        case 'D':
            o.state = CpuState::DownloadLate;
            break;
        case 'u':
            o.state = CpuState::Unreachable;
            o.failure = Failure::PathNotFound;
            o.results = -1;
            break;
        case 'f':
            o.state = CpuState::Failed;
            o.failure = Failure::InvalidCall;
            o.results = -1;
            break;
        }
        out.push_back(o);
    }
    return out;
}

QString describe(const HistoryChanges &c)
{
    // unit number, seen or inferred, partial, wall minutes, download minutes and lateness
    QStringList parts;
    for (const UnitRecord &u : c.units)
        parts.append(QStringLiteral("u%1%2%3 %4m dl%5%6")
                         .arg(u.unitNo)
                         .arg(u.seenFinishing ? "" : "?")
                         .arg(u.partial ? "p" : "")
                         .arg((u.finishedAt - u.firstSeen) / 60)
                         .arg(u.downloadSeconds < 0 ? QString(u'-') : QString::number(u.downloadSeconds / 60))
                         .arg(u.downloadLate ? "L" : ""));
    for (const DownloadRecord &d : c.downloads)
        parts.append(
            QStringLiteral("dl %1m%2 x%3").arg((d.ended - d.started) / 60).arg(d.late ? "L" : "").arg(d.alarms));
    for (const OutageRecord &o : c.outages)
        parts.append(QStringLiteral("%1 %2m").arg(CpuStatus::StateName(o.kind)).arg((o.ended - o.started) / 60));
    return parts.join(QStringLiteral(", "));
}

int count(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Twenty CPUs, each finishing a unit every twelve cycles (ten readings working, two waiting).
void killSweepReading(HistoryObservation &o, int cpu, qint64 cycle)
{
    o.cpuId = QStringLiteral("cpu-%1").arg(cpu);
    o.name = o.cpuId;
    o.at = 1700000000 + cycle * 31;
    const qint64 step = (cycle + cpu) % 12;
    o.state = step < 10 ? CpuState::Working : CpuState::Downloading;
    o.percent = step < 10 ? float(step * 10 + 1) : 100.0f;
    o.results = (cycle + cpu) / 12;
}

// The cycle the history last recorded, from the recorder's saved memory; -1 for none.
qint64 lastCycle(const QString &file)
{
    HistoryDatabase db;
    if (db.open(file, false) != HistoryDatabase::State::Ready)
        return -1;
    qint64 last = -1;
    for (const QString &track : db.tracks())
        last = qMax(last, (track.section(u' ', 1, 1).toLongLong() - 1700000000) / 31);
    return last;
}

// Writes cycles, one transaction each, from where the file left off until killed.
int writeForever(const QStringList &args)
{
    const QString file = args.value(0);
    qint64 cycle = lastCycle(file) + 1;
    HistoryStore store(file);
    for (;; ++cycle) {
        for (int c = 0; c < 20; ++c) {
            HistoryObservation o;
            killSweepReading(o, c, cycle);
            store.observe(o);
        }
        store.flush();
    }
}
const bool writerRegistered = TestRegistry::AddChild("history-writer", writeForever);

} // namespace

class HistoryTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_settings = std::make_unique<IsolatedSettings>(); }
    void cleanup() { m_settings.reset(); }

    void recorder_data()
    {
        QTest::addColumn<QString>("readings");
        QTest::addColumn<QString>("records");
        QTest::newRow("seen finishing, then the download and the next unit")
            << "w0 w40 w80 d d w1/11 w50 d/11 z w0.5/12"
            << "u11 3m dl-, u12 2m dl2, dl 2m x0, dl 2m x0";
        QTest::newRow("first seen half way: partial") << "w40 w80 d"
                                                      << "u11p 2m dl-";
        QTest::newRow("finish missed: inferred from the next unit") << "w10 w50 w2/11 w60 d"
                                                                    << "u11?p 2m dl-, u12p 2m dl-";
        QTest::newRow("late download with two alarms") << "w90 d D a a w1/11 d"
                                                       << "u11p 1m dl-, u12 1m dl4L, dl 4mL x2";
        QTest::newRow("a second reading of a finished unit records nothing") << "w50 d d d d"
                                                                             << "u11p 1m dl-";
        QTest::newRow("outages: stalled, unreachable, failed") << "w10 s10 s10 u u f w20 w30"
                                                               << "stalled 2m, unreachable 2m, failed 1m";
        QTest::newRow("unreachable during a download keeps it open") << "w10 d u u d w1/11"
                                                                     << "u11p 1m dl-, dl 4m x0, unreachable 2m";
    }
    // Units, downloads and outages from consecutive readings; and the same readings split by a
    // restart (the recorder's saved memory only) give the same records.
    void recorder()
    {
        QFETCH(QString, readings);
        QFETCH(QString, records);
        const auto obs = script(readings);
        HistoryRecorder whole;
        HistoryChanges all;
        for (const auto &o : obs)
            whole.observe(o, all);
        QCOMPARE(describe(all), records);
        // Merged as a batch kept through a fault: one day's record, the same seconds, the last figures.
        HistoryChanges merged = all;
        merged.mergeDaily();
        const auto watched = [](const HistoryChanges &c) {
            return std::accumulate(c.daily.begin(), c.daily.end(), qint64(0),
                [](qint64 sum, const DailyRecord &r) { return sum + r.watchedSeconds + r.stalledSeconds * 1000; });
        };
        QCOMPARE(merged.daily.size(), size_t(1));
        QCOMPARE(watched(merged), watched(all));
        QCOMPARE(merged.daily[0].results, obs.back().results);

        for (size_t split = 1; split < obs.size(); ++split) {
            HistoryChanges first, second;
            HistoryRecorder before;
            for (size_t i = 0; i < split; ++i)
                before.observe(obs[i], first);
            HistoryRecorder after;
            after.restore(QStringLiteral("id-1"), first.tracks.value(QStringLiteral("id-1")));
            for (size_t i = split; i < obs.size(); ++i)
                after.observe(obs[i], second);
            first.units.insert(first.units.end(), second.units.begin(), second.units.end());
            first.downloads.insert(first.downloads.end(), second.downloads.begin(), second.downloads.end());
            first.outages.insert(first.outages.end(), second.outages.begin(), second.outages.end());
            QCOMPARE(describe(first), records);
        }
    }

    // A memory saved before slow came in, with a stall open, reads as it was written.
    void savedBeforeSlow()
    {
        HistoryRecorder r;
        r.restore(QStringLiteral("id-1"),
            QStringLiteral("1 1700000060 3 1 11 1699990000 0 0 10000 100 0 -1 0 0 0 0 0 -1 0 3 1700000000 0 0"));
        HistoryChanges c;
        r.observe(script(QStringLiteral("w20"), 1700000120).front(), c);
        QCOMPARE(describe(c), QStringLiteral("stalled 2m"));
    }

    void usualPace_data()
    {
        QTest::addColumn<QString>("walls"); // minutes of finished units, oldest first; p partial, ? inferred
        QTest::addColumn<double>("perHour"); // 0: none
        QTest::newRow("fewer than three") << "60 60" << 0.0;
        QTest::newRow("median of three") << "30 120 60" << 100.0;
        QTest::newRow("even count: the middle two") << "60 120 60 120" << 75.0;
        QTest::newRow("the last ten only")
            << QStringLiteral("600 ").repeated(11) + QStringLiteral("60 ").repeated(10) << 100.0;
        QTest::newRow("partial and inferred units left out")
            << QStringLiteral("60 ").repeated(10) + QStringLiteral("p1 p1 p1 ?1 ?1 ?1") << 100.0;
    }
    // The usual pace from a real file: as the store announces it when it opens, and again for a
    // CPU that finished a unit in a cycle.
    void usualPace()
    {
        QFETCH(QString, walls);
        QFETCH(double, perHour);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("history.sqlite"));
        const QString id = QStringLiteral("id-1");
        HistoryChanges c;
        c.names.insert(id, QStringLiteral("Den"));
        qint64 at = 1700000000;
        for (const QString &w : walls.split(u' ', Qt::SkipEmptyParts))
            c.units.push_back({ id, qint64(c.units.size() + 1),
                (at += 86400) - QString(w).remove(u'p').remove(u'?').toLongLong() * 60, at, w.startsWith(u'p'), -1,
                !w.startsWith(u'?') });
        {
            HistoryDatabase db;
            QCOMPARE(db.open(file, false), HistoryDatabase::State::Ready);
            QVERIFY(db.write(c));
        }
        HistoryStore store(file);
        QSignalSpy paces(&store, &HistoryStore::usualPaces);
        for (const HistoryObservation &o : script(QStringLiteral("w0 w50 d"), at + 60))
            store.observe(o);
        store.flush();
        QTRY_COMPARE(paces.size(), 2);
        QCOMPARE((paces.at(0).at(0).value<QHash<QString, double>>().value(id, -1)), perHour);
    }

    // The real chain (simulated client, reader, interpreter, CPU status) into the store, read
    // back as CSV: every unit the client finished while watched, once, even across a restart
    // that replays a reading.
    void simulatedClientToCsv()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("h/history.sqlite"));
        SimulatedClient::Options options;
        options.speed = 25;
        SimulatedClient client(dir.filePath(QStringLiteral("c")), options);
        QVERIFY(client.start());
        const qint64 resultsAtStart = client.resultsReturned();
        qint64 resultsRead = resultsAtStart; // as far as the last reading saw
        MonitorFields fields;
        CpuStatus status;
        QDateTime now(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC);
        auto store = std::make_unique<HistoryStore>(file);
        for (int step = 0; step < 120; ++step) {
            if (step == 60) { // a restart: the store closes and opens again
                store = std::make_unique<HistoryStore>(file);
            }
            UpdateInput in;
            in.name = QStringLiteral("Den, \"east\"");
            in.path = dir.filePath(QStringLiteral("c/"));
            in.files = ClientReader::Read(in.path);
            in.fields = fields;
            in.now = now.toMSecsSinceEpoch();
            const UpdateResult r = StatsInterpreter::Run(in);
            fields = r.fields;
            status = CpuStatus::Next(status, r, now, 5);
            store->observe(QStringLiteral("id-den"), in.name, r, status, now);
            store->cycleFinished();
            now = now.addSecs(31);
            resultsRead = client.resultsReturned();
            QVERIFY(client.step());
        }
        store->flush();
        QVERIFY2(store->isOn(), qPrintable(store->offReason()));
        store.reset();

        HistoryDatabase db;
        QCOMPARE(db.open(file, true), HistoryDatabase::State::ReadOnly);
        QBuffer csv;
        QVERIFY(csv.open(QIODevice::WriteOnly));
        QVERIFY(db.exportCsv(csv, 0));
        const QList<QByteArray> lines = csv.data().split('\n');
        QCOMPARE(lines.first(), HistoryDatabase::CsvHeader().chopped(1));
        const qint64 finished = resultsRead - resultsAtStart;
        QVERIFY(finished >= 8);
        QCOMPARE(lines.size() - 2, int(finished)); // header and the empty piece after the last CRLF
        QVERIFY2(lines.at(1).startsWith("\"Den, \"\"east\"\"\",id-den,"), lines.at(1));
        QVERIFY2(lines.at(2).contains("T") && lines.at(2).contains("Z,"), lines.at(2));
        QCOMPARE(db.integrity(), QStringLiteral("ok"));
        QVERIFY2(lines.at(2).split(',').at(9).toInt() > 0, lines.at(2)); // brought by a watched download

        // The command line's export: the same text; a later day gives the header alone; no
        // history file or no place to write is an error.
        QString error;
        const QString out = dir.filePath(QStringLiteral("out.csv"));
        QVERIFY(CommandLine::ExportHistory(file, out, {}, &error));
        QCOMPARE(readAll(out), csv.data());
        QVERIFY(CommandLine::ExportHistory(file, out, now.toLocalTime().date().addDays(1), &error));
        QCOMPARE(readAll(out), HistoryDatabase::CsvHeader());
        QVERIFY(!CommandLine::ExportHistory(dir.filePath(QStringLiteral("none.sqlite")), out, {}, &error));
        QVERIFY2(error.contains(QStringLiteral("no history")), qPrintable(error));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("none.sqlite"))));
        QVERIFY(!CommandLine::ExportHistory(file, dir.filePath(QStringLiteral("no/such/out.csv")), {}, &error));
    }

    // A garbage file is moved aside (never deleted) and a new one started; a newer schema is
    // read, never written or downgraded; a file of the first version loses nothing to the next.
    void badFiles()
    {
        QTemporaryDir dir;
        const QString garbage = dir.filePath(QStringLiteral("garbage.sqlite"));
        QVERIFY(WriteTextFile(garbage, QByteArray(8192, 'x')));
        {
            HistoryDatabase db;
            QCOMPARE(db.open(garbage, false), HistoryDatabase::State::Ready);
            QVERIFY(db.movedAside().startsWith(garbage + QStringLiteral(".damaged-")));
            QCOMPARE(readAll(db.movedAside()), QByteArray(8192, 'x'));
        }

        const QString newer = dir.filePath(QStringLiteral("newer.sqlite"));
        {
            HistoryDatabase db;
            QCOMPARE(db.open(newer, false), HistoryDatabase::State::Ready);
            QSqlQuery(db.db()).exec(QStringLiteral("PRAGMA user_version=7"));
        }
        const QByteArray before = readAll(newer);
        {
            HistoryDatabase db;
            QCOMPARE(db.open(newer, false), HistoryDatabase::State::ReadOnly);
            QVERIFY(db.reason().contains(QStringLiteral("newer version")));
            QVERIFY(!db.write(HistoryChanges {}));
        }
        QCOMPARE(readAll(newer), before);

        const QString first = dir.filePath(QStringLiteral("first.sqlite"));
        {
            HistoryDatabase db;
            QCOMPARE(db.open(first, false), HistoryDatabase::State::Ready);
            HistoryRecorder recorder;
            HistoryChanges c;
            for (const auto &o : script(QStringLiteral("w50 d w1/11 d")))
                recorder.observe(o, c);
            QVERIFY(db.write(c));
            for (const char *sql : { "DROP TRIGGER unit_day_add", "DROP TRIGGER unit_day_remove", "DROP TABLE unit_day",
                     "PRAGMA user_version=1" })
                QVERIFY(QSqlQuery(db.db()).exec(QLatin1String(sql)));
        }
        {
            HistoryDatabase db;
            QCOMPARE(db.open(first, false), HistoryDatabase::State::Ready);
            // Units by day, units, watched minutes, samples and the version, digit by digit.
            QCOMPARE(count(db.db(),
                         QStringLiteral("SELECT (SELECT sum(units) FROM unit_day) || (SELECT count(*) FROM unit)"
                                        " || (SELECT sum(watched) / 60 FROM daily) || (SELECT count(*) FROM sample)"
                                        " || (SELECT user_version FROM pragma_user_version)")),
                22312);
        }

        // Locked by another program: the cycle is kept and written once the lock is gone.
        const QString locked = dir.filePath(QStringLiteral("locked.sqlite"));
        HistoryStore store(locked);
        store.flush();
        HistoryDatabase other;
        QCOMPARE(other.open(locked, false), HistoryDatabase::State::Ready);
        QVERIFY(QSqlQuery(other.db()).exec(QStringLiteral("BEGIN EXCLUSIVE")));
        const auto obs = script(QStringLiteral("w50 d w1/11 d"));
        store.observe(obs[0]);
        store.observe(obs[1]);
        store.flush();
        QVERIFY(!store.isOn());
        QVERIFY2(store.offReason().contains(QStringLiteral("locked")), qPrintable(store.offReason()));
        QVERIFY(QSqlQuery(other.db()).exec(QStringLiteral("COMMIT")));
        store.observe(obs[2]);
        store.observe(obs[3]);
        store.flush();
        QVERIFY2(store.isOn(), qPrintable(store.offReason()));
        QCOMPARE(count(other.db(), QStringLiteral("SELECT count(*) FROM unit")), 2);
    }

    // kill -9 at random moments while a child writes: the file stays sound, and no unit is
    // written twice (its key) or lost (the units of consecutive cycles run without gaps).
    void killedWriter()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("history.sqlite"));
        for (int kill = 0; kill < 5; ++kill) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                { QStringLiteral("--child"), QStringLiteral("history-writer"), file });
            QVERIFY(child.waitForStarted());
            QTest::qSleep(150 + QRandomGenerator::global()->bounded(250));
            child.kill();
            QVERIFY(child.waitForFinished());
        }
        const qint64 last = lastCycle(file);
        QVERIFY(last > 12);
        HistoryDatabase db;
        QCOMPARE(db.open(file, false), HistoryDatabase::State::Ready);
        QCOMPARE(db.integrity(), QStringLiteral("ok"));
        // Every unit that reached its end in a recorded cycle after a reading of it working, once.
        for (int c = 0; c < 20; ++c) {
            qint64 expected = 0;
            for (qint64 cycle = 1; cycle <= last; ++cycle)
                expected += (cycle + c) % 12 == 10;
            QCOMPARE(
                count(db.db(),
                    QStringLiteral("SELECT count(*) FROM unit JOIN cpu ON n = unit.cpu WHERE id = 'cpu-%1'").arg(c)),
                int(expected));
        }
    }

private:
    std::unique_ptr<IsolatedSettings> m_settings;
};

TAVRIK_TEST(HistoryTest)
#include "HistoryTest.moc"
