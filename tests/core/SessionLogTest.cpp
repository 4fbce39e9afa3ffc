#include "log/SessionLog.h"
#include "app/CommandLine.h"
#include "common/TestSupport.h"
#include "log/MessageLog.h"

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
    void failureRule_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("failure");
        QTest::newRow("start") << "Starting Update of Den" << false;
        QTest::newRow("success") << "Den updated successfully at: 1/2/2024 10:00:00 AM\r\n" << false;
        QTest::newRow("alarm count") << "Alarm time is 12.5, Interval is 60" << false;
        QTest::newRow("download started") << "Downloading started at 1/2/2024" << false;
        QTest::newRow("loaded") << "Loaded successfully.\r\nName: Den" << false;
        QTest::newRow("late download")
            << "Failed to download new work unit in time given.  Adjust alarm time to wait longer." << true;
        QTest::newRow("file not found") << "Den\r\nSeti Path: /x/\r\nError #: 53\r\nDescription: File not found"
                                        << true;
        QTest::newRow("not started") << "Downloading not started." << true;
        QTest::newRow("path") << "Path not found - Possible reasons include: computer may be\r\nturned off" << true;
        QTest::newRow("bad name") << "Can not access file '/x/'\r\nDrive may not be available" << true;
        QTest::newRow("error 5 note") << "If the percent complete is less than 0.01, you will get error 5." << true;
        QTest::newRow("defrag note") << "Possible reason is a disk defragmentation program is running." << true;
        QTest::newRow("missing key") << "The value \"prog=\" was not found in /x/State.txt." << true;
        QTest::newRow("invalid cpu") << "Name or path not valid.\r\nName: " << true;
        QTest::newRow("settings") << "Settings could not be saved (Den) to /x/Tavrik.conf." << true;
        QTest::newRow("history off") << "History is off: the history file /x/h.sqlite is read-only." << true;
        QTest::newRow("history on") << "History is kept in /x/h.sqlite." << false;
    }
    void failureRule()
    {
        QFETCH(QString, entry);
        QFETCH(bool, failure);
        QCOMPARE(MessageLog::IsFailure(entry), failure);
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

        const QString target = dir.filePath("saved.txt");
        QSignalSpy saved(&log, &SessionLog::saved);
        log.saveSessionTo(target);
        QVERIFY(saved.wait(5000));
        QCOMPARE(saved.first().at(1).toBool(), true);
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
        QTest::newRow("export") << QStringList { "--export-history", "a.csv", "--since", "2026-02-28" }
                                << int(A::ExportHistory) << false;
        QTest::newRow("export, bad day") << QStringList { "--export-history", "a.csv", "--since", "2026-02-30" }
                                         << int(A::Error) << false;
        QTest::newRow("since alone") << QStringList { "--since", "2026-02-28" } << int(A::Error) << false;
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
