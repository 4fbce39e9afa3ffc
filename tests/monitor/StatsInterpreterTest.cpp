#include "monitor/StatsInterpreter.h"
#include "common/TestSupport.h"
#include "fleet/Cpu.h"
#include "shared/Clock.h"
#include "shared/Failure.h"

#include <QLocale>
#include <QTest>
#include <QTimeZone>

Q_DECLARE_METATYPE(MonitorFields)
Q_DECLARE_METATYPE(ClientSnapshot)

namespace {

const QString Date = QStringLiteral("06/12/2026 10:00:00");
const QString User = QStringLiteral("id=7\nnwus=120\nnresults=119\ntotal_cpu=3600\nhost=h\n");
const QString Started = QStringLiteral("Downloading started at ") + Date;
const QString Closing = QStringLiteral("Cruncher updated successfully at: ") + Date + QStringLiteral("\r\n");
const QString ReadState = QStringLiteral("Reading file /seti/State.txt");
const QString ReadUser = QStringLiteral("Reading file /seti/User_Info.txt");
const QString Text53 = QStringLiteral("Cruncher\r\nSeti Path: /seti/\r\nError #: 53\r\nDescription: ");
const QString NotStarted = QStringLiteral("Downloading not started.");
const QString NewUnit = QStringLiteral("Downloading a new work unit...");
const qint64 Day = QDateTime(QDate(2026, 12, 6), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();

template <typename T> T fetched(const char *column)
{
    return *static_cast<T *>(QTest::qData(column, qMetaTypeId<T>()));
}

} // namespace

class StatsInterpreterTest : public QObject
{
    Q_OBJECT

    static ClientFile text(const QString &t) { return { t, 0, {} }; }
    static ClientFile failed(int code, const QString &detail = {}) { return { {}, code, detail }; }
    static ClientSnapshot snap(const ClientFile &state, const ClientFile &user = text(User), qint64 wtemp = -1)
    {
        return { state, user, wtemp < 0 ? int(Failure::FileNotFound) : 0, qMax<qint64>(0, wtemp) };
    }
    // Seconds into a day, as real time.
    static qint64 at(double seconds) { return Day + qint64(seconds * 1000.0); }
    static MonitorFields fields(float percent, qint32 start = 0, bool red = false, float bar = 0)
    {
        return { percent, percent, 0, start ? at(start) : 0, red, bar, start ? at(start) : 0 };
    }
    static UpdateResult run(
        const ClientSnapshot &s, const MonitorFields &f = {}, double clock = 36000.25, qint16 alarm = 5)
    {
        return StatsInterpreter::Run(
            { QStringLiteral("Cruncher"), QStringLiteral("/seti/"), s, f, alarm, at(clock), Date, 0, 0 });
    }
    static qint64 startOf(const UpdateResult &r)
    {
        return r.fields.DownloadStart ? (r.fields.DownloadStart - Day) / 1000 : 0;
    }
    static QString generic(int code)
    {
        return QStringLiteral("CPU: Cruncher\r\nSeti Path: /seti/\r\nError #: %1\r\nDescription: %2")
            .arg(code)
            .arg(Failure::Description(code));
    }

private Q_SLOTS:
    void progressDecision_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<MonitorFields>("before");
        QTest::addColumn<qint64>("wtemp");
        QTest::addColumn<int>("failure");
        QTest::addColumn<bool>("red");
        QTest::addColumn<float>("bar");
        QTest::addColumn<bool>("panel");
        QTest::addColumn<qint32>("start");
        QTest::addColumn<QStringList>("decision"); // log texts between the readings and the end
        const QString half = QStringLiteral("ver=1\r\nprog=0.5\r\ncpu=3600\r\n");
        const QString done = QStringLiteral("prog=1.0\ncpu=9\n");
        QTest::newRow("moving clears the timing, CRLF")
            << half << fields(10, 500, false, 10) << -1ll << 0 << false << 50.f << false << 0 << QStringList();
        QTest::newRow("upper-case keys") << half.toUpper() << fields(0) << -1ll << 0 << false << 50.f << false << 0
                                         << QStringList();
        QTest::newRow("stalled clears the timing")
            << half << fields(50, 1234, false, 50) << -1ll << 0 << true << 50.f << false << 0 << QStringList();
        QTest::newRow("no progress at 0") << QStringLiteral("prog=0\ncpu=0\n") << fields(0, 777, true) << -1ll << 0
                                          << true << 0.f << false << 777 << QStringList { Started };
        QTest::newRow("finished: the watch starts") << done << fields(100, 0, false, 100) << 180224ll << 0 << true
                                                    << 50.f << true << 36000 << QStringList { Started };
        QTest::newRow("finished, red caption turns black")
            << done << fields(100, 35900, true, 3) << 90112ll << 0 << true << 25.f << true << 35900
            << QStringList { QStringLiteral("Alarm time is 100.25, Interval is 300"), Started };
        QTest::newRow("download beyond a unit: 380") << done << fields(100, 0, false, 7) << 360449ll << 380 << true
                                                     << 7.f << true << 36000 << QStringList { Started, generic(380) };
        QTest::newRow("above 100 while moving: 380")
            << QStringLiteral("prog=1.5\ncpu=1\n") << fields(0, 0, false, 7) << -1ll << 380 << false << 7.f << false
            << 0 << QStringList { generic(380) };
    }
    void progressDecision()
    {
        QFETCH(QString, state);
        QFETCH(MonitorFields, before);
        QFETCH(qint64, wtemp);
        QFETCH(int, failure);
        QFETCH(QStringList, decision);
        const UpdateResult r = run(snap(text(state), text(User), wtemp), before);
        QCOMPARE(r.failure, failure);
        QCOMPARE(r.fields.LastPercent, before.Percent);
        QTEST(r.percentRed.value(), "red");
        QTEST(r.fields.barPercent, "bar");
        QTEST(r.downloadingVisible.value(), "panel");
        QCOMPARE(startOf(r), fetched<qint32>("start"));
        QCOMPARE(r.texts().mid(3), failure ? decision : decision << Closing);
        QCOMPARE(r.percentText.has_value(), failure == 0);
    }

    // Three runs on a finished unit: the download is noticed, found missing, then found arriving.
    void threeRunDownloadSequence()
    {
        const ClientFile state = text(QStringLiteral("prog=1.0\ncpu=36000\n"));
        UpdateResult r = run(snap(state));
        QCOMPARE(r.failure, 0);
        QCOMPARE(r.percentRed, false);
        QCOMPARE(r.percentText, QStringLiteral("100%"));

        r = run(snap(state), r.fields, 36031.25);
        QCOMPARE(r.failure, 53);
        QCOMPARE(r.texts().mid(3), (QStringList { Started, Text53 + Failure::Description(53), NotStarted }));
        QCOMPARE(r.downloadCaption, NotStarted + QStringLiteral(".."));
        QVERIFY(r.fields.downloadNoticeRed && *r.downloadingVisible && *r.percentRed);

        r = run(snap(state, text(User), 90112), r.fields, 36062.25);
        QCOMPARE(
            r.texts().mid(3), (QStringList { QStringLiteral("Alarm time is 31, Interval is 300"), Started, Closing }));
        QCOMPARE(r.downloadCaption, NewUnit);
        QVERIFY(!r.fields.downloadNoticeRed);
        QCOMPARE(r.percentText, QStringLiteral("25%"));
        QCOMPARE(startOf(r), 36031);
    }

    void failureBranches_data()
    {
        QTest::addColumn<ClientSnapshot>("files");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QStringList>("branch"); // log texts after "Starting Update of"
        QTest::addColumn<QString>("label3"); // red when a notice, black for the watch's start
        QTest::addColumn<float>("after"); // bar, and Percent unless a download is watched; before: 12.5
        const QString text53 = Text53 + Failure::Description(53);
        const QString error5 = QStringLiteral("If the percent complete is less than 0.01, you will get error 5.\r\n"
                                              "This is because the Seti@Home client doesn't create the \r\n"
                                              "state.txt file until it has done some processing.");
        const QString notStarted = NotStarted + QStringLiteral("..");
        const ClientFile good = text(QStringLiteral("prog=0.25\ncpu=10\n"));
        const QString tooLarge = QStringLiteral("/seti/State.txt is larger than 1048576 bytes; it was not read.");
        QTest::newRow("folder missing") << snap(failed(76), failed(76)) << 76
                                        << QStringList { ReadState,
                                               QStringLiteral(
                                                   "Path not found - Possible reasons include: computer may be\r\n"
                                                   "turned off, hard drive may have turned off due to\r\n"
                                                   "power management features, or path entered is incorrect.") }
                                        << QStringLiteral("Path not found...") << 12.5f;
        QTest::newRow("bad file name") << snap(failed(52)) << 52
                                       << QStringList { ReadState,
                                              QStringLiteral(
                                                  "Can not access file '/seti/'\r\n"
                                                  "Drive may not be available, or incorrect path specified.") }
                                       << QStringLiteral("Drive or file not be available...") << 12.5f;
        QTest::newRow("state missing") << snap(failed(53)) << 53 << QStringList { ReadState, text53, NotStarted }
                                       << notStarted << 12.5f;
        // Percent stays, the bar shows how much has arrived, unless more than a unit has.
        QTest::newRow("state missing, download half in")
            << snap(failed(53), failed(53), 180224) << 53 << QStringList { ReadState, text53, Started } << NewUnit
            << 50.f;
        QTest::newRow("state missing, download beyond a unit: bar kept")
            << snap(failed(53), failed(53), 400000) << 53 << QStringList { ReadState, text53, Started } << NewUnit
            << 12.5f;
        QTest::newRow("user info missing: no progress taken")
            << snap(good, failed(53)) << 53 << QStringList { ReadState, ReadUser, text53, NotStarted } << notStarted
            << 12.5f;
        QTest::newRow("empty state") << snap(text(QString())) << 5
                                     << QStringList { ReadState, ReadUser, generic(5), error5 } << QString() << 12.5f;
        QTest::newRow("too many files") << snap(failed(67)) << 67
                                        << QStringList { ReadState, generic(67),
                                               QStringLiteral(
                                                   "Possible reason is a disk defragmentation program is running.") }
                                        << QString() << 12.5f;
        QTest::newRow("state too large") << snap(failed(7, tooLarge)) << 7
                                         << QStringList { ReadState, generic(7), tooLarge } << QString() << 12.5f;
        QTest::newRow("key missing, no garbage value")
            << snap(text(QStringLiteral("cpu=12345678\nprog0.5\n"))) << 13
            << QStringList { ReadState, ReadUser, generic(13),
                   QStringLiteral("The value \"PROG=\" was not found in /seti/State.txt.") }
            << QString() << 12.5f;
        QTest::newRow("user key missing after progress")
            << snap(good, text(QStringLiteral("nwus=5\ntotal_cpu=1\n"))) << 13
            << QStringList { ReadState, ReadUser, generic(13),
                   QStringLiteral("The value \"NRESULTS=\" was not found in /seti/User_Info.txt.") }
            << QString() << 25.f;
        QTest::newRow("progress beyond a single")
            << snap(text(QStringLiteral("prog=1e39\ncpu=1\n"))) << 6 << QStringList { ReadState, ReadUser, generic(6) }
            << QString() << 12.5f;
    }
    void failureBranches()
    {
        QFETCH(QString, label3);
        const UpdateResult r = run(fetched<ClientSnapshot>("files"), fields(12.5f, 0, false, 12.5f));
        QTEST(r.failure, "failure");
        QCOMPARE(r.texts().first(), QStringLiteral("\r\nStarting Update of Cruncher"));
        QTEST(r.texts().mid(1), "branch");
        QCOMPARE(r.downloadCaption.value_or(QString()), label3);
        QCOMPARE(r.fields.downloadNoticeRed, !label3.isEmpty() && label3 != NewUnit);
        QCOMPARE(r.downloadingVisible.value_or(false), !label3.isEmpty());
        QCOMPARE(r.fields.Percent, label3 == NewUnit ? 12.5f : fetched<float>("after"));
        QTEST(r.fields.barPercent, "after");
        QVERIFY(!r.unitNumberText && !r.downloaded && !r.playAlarm);
    }

    // The watch times the download on real time, whatever the wall clocks do meanwhile.
    void downloadWatch_data()
    {
        QTest::addColumn<QDateTime>("start"); // the reading that began the watch
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<qint16>("alarm");
        QTest::addColumn<QString>("logged");
        const QTimeZone berlin("Europe/Berlin");
        auto local = [&](int y, int mo, int d, int h, int mi, int s = 0, int ms = 0) {
            return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), berlin);
        };
        const QString late
            = QStringLiteral("Failed to download new work unit in time given.  Adjust alarm time to wait longer.");
        QTest::newRow("in time") << local(2026, 6, 1, 10, 0) << local(2026, 6, 1, 10, 5) << qint16(5)
                                 << "Alarm time is 300, Interval is 300";
        QTest::newRow("late") << local(2026, 6, 1, 10, 0) << local(2026, 6, 1, 10, 5, 0, 500) << qint16(5) << late;
        QTest::newRow("600 minutes") << local(2026, 6, 1, 10, 0) << local(2026, 6, 1, 10, 16, 40) << qint16(600)
                                     << "Alarm time is 1000, Interval is 36000";
        QTest::newRow("milliseconds without noise") << local(2026, 6, 1, 20, 16, 2) << local(2026, 6, 1, 20, 16, 6, 939)
                                                    << qint16(5) << "Alarm time is 4.939, Interval is 300";
        QTest::newRow("across midnight") << local(2026, 6, 1, 23, 59, 50) << local(2026, 6, 2, 0, 0, 20, 250)
                                         << qint16(5) << "Alarm time is 30.25, Interval is 300";
        QTest::newRow("late across midnight")
            << local(2026, 6, 1, 23, 53, 20) << local(2026, 6, 2, 0, 16, 40) << qint16(5) << late;
        QTest::newRow("started at 00:00:00")
            << local(2026, 6, 2, 0, 0) << local(2026, 6, 2, 0, 5, 1) << qint16(5) << late;
        // 20 real minutes while the clocks go forward an hour, then back an hour.
        QTest::newRow("clocks forward") << local(2026, 3, 29, 1, 50) << local(2026, 3, 29, 3, 10) << qint16(60)
                                        << "Alarm time is 1200, Interval is 3600";
        QTest::newRow("clocks back") << QDateTime(QDate(2026, 10, 25), QTime(0, 50), Qt::UTC).toTimeZone(berlin)
                                     << QDateTime(QDate(2026, 10, 25), QTime(1, 10), Qt::UTC).toTimeZone(berlin)
                                     << qint16(30) << "Alarm time is 1200, Interval is 1800";
    }
    void downloadWatch()
    {
        QFETCH(QDateTime, start);
        QFETCH(QDateTime, now);
        QFETCH(QString, logged);
        const ClientSnapshot finished = snap(text(QStringLiteral("prog=1\ncpu=9\n")), text(User), 1000);
        auto readAt = [&](const QDateTime &when, const MonitorFields &before) {
            Clock::SetFake(when);
            const UpdateClock clock = UpdateClock::Now();
            Clock::SetFake({});
            return StatsInterpreter::Run({ QStringLiteral("Cruncher"), QStringLiteral("/seti/"), finished, before,
                fetched<qint16>("alarm"), clock.utcMs, clock.date, 0, 0 });
        };
        const UpdateResult first = readAt(start, fields(100, 0, false, 100));
        QVERIFY(first.texts().at(3).startsWith(QLatin1String("Downloading started at ")));
        QVERIFY(first.fields.DownloadStart > 0);
        const UpdateResult r = readAt(now, first.fields);
        QCOMPARE(r.failure, 0);
        QCOMPARE(r.texts().at(3), logged);
        QCOMPARE(r.log.at(3).kind, r.playAlarm ? LogKind::Alarm : LogKind::Reading);
        QCOMPARE(r.playAlarm, logged.startsWith(QLatin1String("Failed")));
        // A late download's timing starts again for the next alarm; its real start stays.
        QCOMPARE(r.fields.DownloadStart, r.playAlarm ? now.toMSecsSinceEpoch() : start.toMSecsSinceEpoch());
        QCOMPARE(r.fields.downloadSince, start.toMSecsSinceEpoch());
    }

    // A restart while a download is late: the watch goes on from the download's real start (kept
    // in the CPU's settings), so the first reading sounds the alarm and counts the lateness from
    // there, not from the start of the program.
    void restartDuringLateDownload()
    {
        const qint64 began = Day + 3600 * 1000;
        Cpu cpu;
        cpu.name = QStringLiteral("Cruncher");
        cpu.path = QStringLiteral("/seti/");
        cpu.resumeDownload(Cpu::DownloadStartedFromText(Cpu::DownloadStartedText(began)));
        QCOMPARE(cpu.fields.downloadSince, began);
        ReadingContext context;
        context.alarmMinutes = 5;
        context.clock = { began + 12 * 60 * 1000, Date };
        const ReadingOutcome o
            = ApplyReading(cpu, snap(text(QStringLiteral("prog=1\ncpu=9\n")), text(User), 1000), context);
        QVERIFY(o.playAlarm);
        QCOMPARE(cpu.status.state, CpuState::DownloadLate);
        QCOMPARE(cpu.status.words(), QStringLiteral("download late 7 min"));
        QVERIFY(!o.downloadStartChanged);
    }

    // The status bar's account figures follow the most advanced account file and never go down.
    void accountFigures_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<double>("shownDown");
        QTest::addColumn<double>("shownUp");
        QTest::addColumn<QStringList>("labels"); // down, up, packet #
        QTest::addColumn<bool>("leads");
        QTest::addColumn<int>("failure");
        const QString crlf = QStringLiteral("id=1\r\nnwus=120\r\nnresults=119\r\ntotal_cpu=7200.5\r\n");
        const QStringList read { "120", "119", "120" };
        QTest::newRow("first reading") << User << 0.0 << 0.0 << read << true << 0;
        QTest::newRow("CRLF: no CR shown") << crlf << 0.0 << 0.0 << read << true << 0;
        QTest::newRow("same account, same counts") << User << 120.0 << 119.0 << read << false << 0;
        QTest::newRow("other CPU behind") << User << 121.0 << 120.0 << read << false << 0;
        QTest::newRow("one more result") << User << 120.0 << 118.0 << read << true << 0;
        QTest::newRow("texts kept as read") << QStringLiteral("nwus= 7 units\nnresults=abc\ntotal_cpu=1\n") << 0.0
                                            << 0.0 << QStringList { " 7 UNITS", "ABC", "1" } << true << 0;
        QTest::newRow("bad total keeps the counts") << QStringLiteral("nwus=9\nnresults=8\ntotal_cpu=soon\n") << 0.0
                                                    << 0.0 << QStringList { "9", "8", "9" } << true << 13;
    }
    void accountFigures()
    {
        QFETCH(bool, leads);
        UpdateInput in;
        in.files = snap(text(QStringLiteral("prog=0.5\ncpu=60\n")), text(fetched<QString>("user")));
        in.shownDownloaded = fetched<double>("shownDown");
        in.shownUploaded = fetched<double>("shownUp");
        const UpdateResult r = StatsInterpreter::Run(in);
        QTEST(r.failure, "failure");
        QTEST((QStringList { *r.downloadedText, *r.uploadedText, *r.unitNumberText }), "labels");
        QCOMPARE(r.cpuSeconds, 60.0);
        QCOMPARE(r.downloaded, leads ? r.downloadedText : std::nullopt);
        QCOMPARE(r.uploaded, leads ? r.uploadedText : std::nullopt);
        QCOMPARE(r.totalTimeText.has_value(), leads && r.failure == 0);
    }

    void percentText()
    {
        // Whole, fraction, seven digits, and a single's noise hidden; "." is the user's decimal point.
        const std::pair<float, QString> rows[]
            = { { 50.f, "50" }, { 12.5f, "12.5" }, { float(100.0 / 3.0), "33.33333" }, { 0.1f * 100.f, "10" } };
        for (auto [value, digits] : rows)
            QCOMPARE(
                StatsInterpreter::PercentText(value), digits.replace(u'.', QLocale::system().decimalPoint()) + u'%');
        // Every bar value reads as the locale itself would write it.
        QLocale locale = QLocale::system();
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        for (float v = 0; v <= 100.0f; v += 0.0137f)
            QCOMPARE(StatsInterpreter::PercentText(v), locale.toString(double(v), 'g', 7) + u'%');
        for (const float v : { 0.0f, -0.0f, 1e-5f, 0.0001f, 99.99999f, 100.0f, 1e-30f })
            QCOMPARE(StatsInterpreter::PercentText(v), locale.toString(double(v), 'g', 7) + u'%');
    }
};

TAVRIK_TEST(StatsInterpreterTest)
#include "StatsInterpreterTest.moc"
