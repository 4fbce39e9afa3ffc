#include "log/SessionLog.h"
#include "app/CommandLine.h"
#include "common/TestSupport.h"
#include "fleet/Cpu.h"
#include "log/ErrorDigest.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class SessionLogTest : public QObject
{
    Q_OBJECT

    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private Q_SLOTS:
    // The errors-only view: each failure and alarm names its CPU, taken from the entries' kind
    // and CPU rather than their words; one CPU failing the same way keeps one line with a count
    // until it reads well again; another CPU's failures are not folded into it.
    void errorDigest()
    {
        Cpu attic;
        attic.key = 1;
        attic.name = QStringLiteral("Attic");
        attic.path = QStringLiteral("/nowhere/attic/");
        Cpu den = attic;
        den.key = 2;
        den.name = QStringLiteral("Den");
        ClientSnapshot good;
        good.state.text = QStringLiteral("prog=0.5\ncpu=9\n");
        good.user.text = QStringLiteral("nwus=1\nnresults=1\ntotal_cpu=1\n");
        good.wtempError = 53;
        ErrorDigest digest;
        ReadingContext at;
        auto read = [&](Cpu &cpu, const ClientSnapshot &files, int minute) {
            at.clock = { QDateTime(QDate(2026, 3, 1), QTime(10, minute)).toMSecsSinceEpoch(), QStringLiteral("now") };
            return digest.add(ApplyReading(cpu, files, at).log);
        };
        QVERIFY(!read(den, good, 0)); // nothing to tell
        for (int minute = 1; minute <= 3; ++minute) {
            QVERIFY(read(attic, ClientReader::Unreachable(), minute));
            QVERIFY(read(den, ClientReader::Unreachable(), minute));
        }
        QStringList lines = digest.lines();
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].startsWith(
                     QStringLiteral("2026-03-01 10:01:00 to 2026-03-01 10:03:00, 3 times Attic: Path not found")),
            qPrintable(lines[0]));
        QVERIFY(lines[1].contains(QLatin1String(" Den: Path not found")));
        read(attic, good, 4); // a good reading ends the run
        read(attic, ClientReader::Unreachable(), 5);
        lines = digest.lines();
        QCOMPARE(lines.size(), 3);
        QVERIFY2(
            lines[2].startsWith(QStringLiteral("2026-03-01 10:05:00 Attic: Path not found")), qPrintable(lines[2]));
        // A note of the program's own that failed stands alone, as does a late download.
        QVERIFY(digest.add({ { QStringLiteral("Settings could not be saved."), LogKind::Failure, 0, {}, 0,
            QDateTime(QDate(2026, 3, 1), QTime(10, 6)) } }));
        QVERIFY(digest.lines().last().endsWith(QLatin1String("10:06:00 Settings could not be saved.")));
    }

    // Rotation keeps at most the given number of files, none much over the size, newest entries
    // in session.log; a session's save holds exactly what its files hold, oldest first; a new
    // session starts a file of its own.
    void rotationAndSave()
    {
        QTemporaryDir dir;
        const QDateTime when(QDate(2024, 5, 1), QTime(9, 30));
        QCOMPARE(SessionLog::FileText("a\r\nb\r\n", when), "2024-05-01 09:30:00 a\n                    b\n");
        QByteArray whole;
        {
            SessionLog log(dir.path(), { 100, 3 });
            log.append({ "old session" });
        }
        SessionLog log(dir.path(), { 100, 3 });
        for (int i = 0; i < 40; ++i)
            log.append({ QStringLiteral("entry %1").arg(i, 2, 10, QLatin1Char('0')) });
        log.flush();
        const QStringList files = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
        QCOMPARE(files, (QStringList { "session.log", "session.log.1", "session.log.2" }));
        for (int i = 2; i >= 0; --i) {
            const QByteArray part = read(dir.filePath(files.at(i)));
            QVERIFY2(part.size() <= 100 && part.size() > 0, qPrintable(files.at(i)));
            whole += part;
        }
        QVERIFY(whole.endsWith(" entry 39\n"));
        QVERIFY(!whole.contains("old session"));
        // An entry longer than a file is cut to fit one; the bound holds.
        log.append({ QString(500, u'x') });
        log.flush();
        QVERIFY(QFileInfo(dir.filePath("session.log")).size() <= 100);
        QVERIFY(read(dir.filePath("session.log")).endsWith("[cut: longer than a log file]\n"));
        whole = read(dir.filePath("session.log.2")) + read(dir.filePath("session.log.1"))
            + read(dir.filePath("session.log"));

        const QString target = dir.filePath("saved.txt");
        QSignalSpy saved(&log, &SessionLog::saved);
        log.saveSessionTo(target);
        QVERIFY(saved.wait(5000));
        QCOMPARE(saved.first().at(1).toBool(), true);
        QCOMPARE(saved.first().at(2).toBool(), true); // complete
        QCOMPARE(read(target), whole);
        log.saveSessionTo(dir.filePath("no/such/folder/x.txt"));
        QVERIFY(saved.wait(5000));
        QCOMPARE(saved.last().at(1).toBool(), false);
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("action");
        QTest::addColumn<bool>("minimized");
        using A = CommandLine::Action;
        QTest::newRow("none") << QStringList {} << int(A::Run) << false;
        QTest::newRow("minimized") << QStringList { "--minimized" } << int(A::Run) << true;
        QTest::newRow("help") << QStringList { "--help" } << int(A::Help) << false;
        QTest::newRow("-h with minimized") << QStringList { "--minimized", "-h" } << int(A::Help) << false;
        QTest::newRow("version") << QStringList { "--version" } << int(A::Version) << false;
        QTest::newRow("unknown") << QStringList { "--bogus" } << int(A::Error) << false;
        QTest::newRow("positional") << QStringList { "file" } << int(A::Error) << false;
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, action);
        QFETCH(bool, minimized);
        const CommandLine::Request r = CommandLine::Parse(QStringList { "tavrik" } + args);
        QCOMPARE(int(r.action), action);
        QCOMPARE(r.minimized, minimized);
        QCOMPARE(r.error.isEmpty(), r.action != CommandLine::Action::Error);
    }
};

TAVRIK_TEST(SessionLogTest)
#include "SessionLogTest.moc"
