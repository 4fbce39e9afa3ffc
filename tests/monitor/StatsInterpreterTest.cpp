#include "common/TestSupport.h"
#include "core/Conv.h"
#include "core/Failure.h"
#include "monitor/StatsInterpreter.h"
#include "monitor/modDateTime.h"

#include <QLocale>
#include <QTest>

Q_DECLARE_METATYPE(MonitorFields)
Q_DECLARE_METATYPE(ClientSnapshot)

namespace {

const QString Name = QStringLiteral("Cruncher");
const QString Path = QStringLiteral("/seti/");
const QString Date = QStringLiteral("06/12/2026 19:00:00");
const QString CrLf = QStringLiteral("\r\n");
const QString UserText = QStringLiteral("id=7\nname=X\nnwus=120\nnresults=119\ntotal_cpu=3600\nhost=h\n");

ClientFile file(const QString &text)
{
    ClientFile f;
    f.text = text;
    return f;
}

ClientFile missing(int code = Failure::FileNotFound)
{
    ClientFile f;
    f.error = code;
    return f;
}

ClientSnapshot snapshot(const ClientFile &state, const ClientFile &user = file(UserText), qint64 wtemp = -1)
{
    ClientSnapshot s;
    s.state = state;
    s.user = user;
    s.wtempError = wtemp < 0 ? int(Failure::FileNotFound) : 0;
    s.wtempLength = qMax<qint64>(0, wtemp);
    return s;
}

UpdateInput input(const ClientSnapshot &s, const MonitorFields &fields = {})
{
    UpdateInput in;
    in.name = Name;
    in.path = Path;
    in.files = s;
    in.fields = fields;
    in.clock = 36000.25;
    in.date = Date;
    return in;
}

MonitorFields fields(float percent, qint32 downloadStart = 0, bool label3Red = false, float bar = 0)
{
    MonitorFields f;
    f.Percent = percent;
    f.DownloadStart = downloadStart;
    f.label3Red = label3Red;
    f.barValue = bar;
    return f;
}

QStringList opening()
{
    return {CrLf + QStringLiteral("Starting Update of ") + Name, QStringLiteral("Reading file /seti/State.txt"),
            QStringLiteral("Reading file /seti/User_Info.txt")};
}

QString closing()
{
    return Name + QStringLiteral(" updated successfully at: ") + Date + CrLf;
}

QString genericText(int code)
{
    return QStringLiteral("CPU: Cruncher\r\nSeti Path: /seti/\r\nError #: %1\r\nDescription: %2")
        .arg(code)
        .arg(Failure::Description(code));
}

const QString DownloadingStarted = QStringLiteral("Downloading started at ") + Date;

} // namespace

class StatsInterpreterTest : public QObject
{
    Q_OBJECT

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
        QTest::addColumn<qint32>("downloadStart");
        QTest::addColumn<QStringList>("decisionLog");

        const QString half = QStringLiteral("ver=1\nprog=0.5\ncpu=3600\n");
        QTest::newRow("moving, lower-case keys") << half << fields(10, 500, false, 10) << qint64(-1) << 0 << false
                                                 << 50.f << false << 500 << QStringList();
        QTest::newRow("upper-case keys") << half.toUpper() << fields(0) << qint64(-1) << 0 << false << 50.f << false
                                         << 0 << QStringList();
        QTest::newRow("stalled mid-unit clears the timing")
            << half << fields(50, 1234, false, 50) << qint64(-1) << 0 << true << 50.f << false << 0 << QStringList();
        QTest::newRow("no progress at 0") << QStringLiteral("prog=0.000000\ncpu=0\n") << fields(0, 777, true)
                                          << qint64(-1) << 0 << true << 0.f << false << 777
                                          << QStringList{DownloadingStarted};
        QTest::newRow("finished: download watch starts")
            << QStringLiteral("prog=1.0\ncpu=40000\n") << fields(100, 0, false, 100) << qint64(180224) << 0 << true
            << 50.f << true << 36000 << QStringList{DownloadingStarted};
        QTest::newRow("finished, red caption turns black")
            << QStringLiteral("prog=1\ncpu=1\n") << fields(100, 35900, true, 3) << qint64(90112) << 0 << true << 25.f
            << true << 35900
            << QStringList{QStringLiteral("Alarm time is 100.25, Interval is 300"), DownloadingStarted};
        QTest::newRow("above 100 while moving") << QStringLiteral("prog=1.5\ncpu=1\n") << fields(0, 0, false, 7)
                                                << qint64(-1) << int(Failure::InvalidPropertyValue) << false << 7.f
                                                << false << 0 << QStringList();
        QTest::newRow("negative while moving") << QStringLiteral("prog=-0.1\ncpu=1\n") << fields(0, 0, false, 7)
                                               << qint64(-1) << int(Failure::InvalidPropertyValue) << false << 7.f
                                               << false << 0 << QStringList();
        QTest::newRow("download longer than a unit: 380")
            << QStringLiteral("prog=1\ncpu=1\n") << fields(100, 0, false, 100) << qint64(360449)
            << int(Failure::InvalidPropertyValue) << true << 100.f << true << 36000 << QStringList{DownloadingStarted};
        QTest::newRow("a unit's worth of download is 100")
            << QStringLiteral("prog=1\ncpu=1\n") << fields(100, 36000, false, 3) << qint64(360448) << 0 << true
            << 100.f << true << 36000 << QStringList{QStringLiteral("Alarm time is 0.25, Interval is 300")};
    }

    void progressDecision()
    {
        QFETCH(QString, state);
        QFETCH(MonitorFields, before);
        QFETCH(qint64, wtemp);
        QFETCH(int, failure);
        QFETCH(bool, red);
        QFETCH(bool, panel);
        QFETCH(QStringList, decisionLog);

        UpdateInput in = input(snapshot(file(state), file(UserText), wtemp), before);
        in.alarmInterval = 5;
        const UpdateResult r = StatsInterpreter::Run(in);

        QCOMPARE(r.failure, failure);
        QCOMPARE(r.fields.LastPercent, before.Percent);
        QCOMPARE(r.percentRed, red);
        QTEST(r.fields.barValue, "bar");
        QCOMPARE(r.downloadingVisible, panel);
        QTEST(r.fields.DownloadStart, "downloadStart");
        const QStringList head = opening();
        QCOMPARE(r.log.mid(0, 3), head);
        if (failure == 0) {
            QCOMPARE(r.log.mid(3), decisionLog << closing());
            QCOMPARE(r.percentText, StatsInterpreter::PercentText(r.fields.barValue));
            QCOMPARE(r.timeText, modDateTime::SecondsToText(r.cpuSeconds.value()));
        } else {
            QCOMPARE(r.log.mid(3), decisionLog << genericText(failure));
            QVERIFY(!r.percentText);
            QVERIFY(!r.timeText && !r.cpuSeconds && !r.packageText);
        }
    }

    // Three runs on a finished unit: the download is noticed, found missing, then found arriving.
    void threeRunDownloadSequence()
    {
        const ClientFile state = file(QStringLiteral("prog=1.0\ncpu=36000\n"));
        UpdateInput in = input(snapshot(state));
        in.alarmInterval = 5;

        UpdateResult r = StatsInterpreter::Run(in);
        QCOMPARE(r.failure, 0);
        QCOMPARE(r.percentRed, false);
        QCOMPARE(r.fields.barValue, 100.f);
        QCOMPARE(r.percentText, QStringLiteral("100%"));

        in.fields = r.fields;
        in.clock += 31;
        r = StatsInterpreter::Run(in);
        QCOMPARE(r.failure, int(Failure::FileNotFound));
        QCOMPARE(r.log.mid(3), (QStringList{DownloadingStarted,
                                            QStringLiteral("Cruncher\r\nSeti Path: /seti/\r\nError #: 53\r\n"
                                                           "Description: ")
                                                + Failure::Description(53),
                                            QStringLiteral("Downloading not started.")}));
        QCOMPARE(r.label3Text, QStringLiteral("Downloading not started..."));
        QVERIFY(r.fields.label3Red);
        QCOMPARE(r.downloadingVisible, true);
        QCOMPARE(r.percentRed, true);
        QCOMPARE(r.fields.DownloadStart, 36031);

        in.fields = r.fields;
        in.clock += 31;
        in.files = snapshot(state, file(UserText), 90112);
        r = StatsInterpreter::Run(in);
        QCOMPARE(r.failure, 0);
        QCOMPARE(r.log.mid(3), (QStringList{QStringLiteral("Alarm time is 31.25, Interval is 300"),
                                            DownloadingStarted, closing()}));
        QCOMPARE(r.label3Text, QStringLiteral("Downloading a new work unit..."));
        QVERIFY(!r.fields.label3Red);
        QCOMPARE(r.fields.barValue, 25.f);
        QCOMPARE(r.percentText, QStringLiteral("25%"));
        QCOMPARE(r.fields.DownloadStart, 36031);
    }

    void failureBranches_data()
    {
        QTest::addColumn<ClientSnapshot>("files");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QStringList>("branchLog"); // after "Starting Update of"
        QTest::addColumn<QString>("label3");
        QTest::addColumn<bool>("panel");
        QTest::addColumn<float>("percent"); // before: Percent 12.5, LastPercent 3
        QTest::addColumn<float>("lastPercent");

        const QString readState = QStringLiteral("Reading file /seti/State.txt");
        const QString readUser = QStringLiteral("Reading file /seti/User_Info.txt");
        const QString text53 = QStringLiteral("Cruncher\r\nSeti Path: /seti/\r\nError #: 53\r\nDescription: ")
            + Failure::Description(53);
        const QString good = QStringLiteral("prog=0.25\ncpu=10\n");
        const QString error5 = QStringLiteral("If the percent complete is less than 0.01, you will get error 5.\r\n"
                                              "This is because the Seti@Home client doesn't create the \r\n"
                                              "state.txt file until it has done some processing.");

        QTest::newRow("directory missing")
            << snapshot(missing(76), missing(76)) << 76
            << QStringList{readState, QStringLiteral("Path not found - Possible reasons include: computer may be\r\n"
                                                     "turned off, hard drive may have turned off due to\r\n"
                                                     "power management features, or path entered is incorrect.")}
            << QStringLiteral("Path not found...") << true << 12.5f << 3.f;
        QTest::newRow("bad file name")
            << snapshot(missing(52)) << 52
            << QStringList{readState, QStringLiteral("Can not access file '/seti/'\r\n"
                                                     "Drive may not be available, or incorrect path specified.")}
            << QStringLiteral("Drive or file not be available...") << true << 12.5f << 3.f;
        QTest::newRow("state missing, no download")
            << snapshot(missing()) << 53 << QStringList{readState, text53, QStringLiteral("Downloading not started.")}
            << QStringLiteral("Downloading not started...") << true << 12.5f << 3.f;
        QTest::newRow("user info missing: no progress taken")
            << snapshot(file(good), missing()) << 53
            << QStringList{readState, readUser, text53, QStringLiteral("Downloading not started.")}
            << QStringLiteral("Downloading not started...") << true << 12.5f << 3.f;
        QTest::newRow("empty state") << snapshot(file(QString())) << 5
                                     << QStringList{readState, readUser, genericText(5), error5} << QString() << false
                                     << 12.5f << 3.f;
        QTest::newRow("half-written state") << snapshot(file(QStringLiteral("prog=0.25\ncpu=1"))) << 5
                                            << QStringList{readState, readUser, genericText(5), error5} << QString()
                                            << false << 12.5f << 3.f;
        QTest::newRow("too many files") << snapshot(missing(67)) << 67
                                        << QStringList{readState, genericText(67),
                                                       QStringLiteral("Possible reason is a disk defragmentation "
                                                                      "program is running.")}
                                        << QString() << false << 12.5f << 3.f;
        ClientFile huge = missing(Failure::FileTooLarge);
        huge.detail = QStringLiteral("/seti/State.txt is larger than 1048576 bytes; it was not read.");
        QTest::newRow("state too large") << snapshot(huge) << int(Failure::FileTooLarge)
                                         << QStringList{readState, genericText(Failure::FileTooLarge), huge.detail}
                                         << QString() << false << 12.5f << 3.f;
        QTest::newRow("key missing from state")
            << snapshot(file(QStringLiteral("cpu=12345678\nprog0.5\n"))) << 13
            << QStringList{readState, readUser, genericText(13),
                           QStringLiteral("The value \"PROG=\" was not found in /seti/State.txt.")}
            << QString() << false << 12.5f << 3.f;
        QTest::newRow("key missing from user info")
            << snapshot(file(good), file(QStringLiteral("nwus=5\ntotal_cpu=1\n"))) << 13
            << QStringList{readState, readUser, genericText(13),
                           QStringLiteral("The value \"NRESULTS=\" was not found in /seti/User_Info.txt.")}
            << QString() << false << 25.f << 12.5f;
        QTest::newRow("progress not a number") << snapshot(file(QStringLiteral("prog=abc\ncpu=1\n"))) << 13
                                               << QStringList{readState, readUser, genericText(13)} << QString()
                                               << false << 12.5f << 12.5f;
        QTest::newRow("progress beyond a single") << snapshot(file(QStringLiteral("prog=1e39\ncpu=1\n"))) << 6
                                                  << QStringList{readState, readUser, genericText(6)} << QString()
                                                  << false << 12.5f << 12.5f;
        QTest::newRow("cpu not a number") << snapshot(file(QStringLiteral("prog=0.25\ncpu=\n"))) << 13
                                          << QStringList{readState, readUser, genericText(13)} << QString() << false
                                          << 25.f << 12.5f;
    }

    void failureBranches()
    {
        QFETCH(ClientSnapshot, files);
        QFETCH(int, failure);
        QFETCH(QString, label3);
        QFETCH(bool, panel);
        QFETCH(float, percent);

        MonitorFields before = fields(12.5f, 0, false, 12.5f);
        before.LastPercent = 3;
        const UpdateResult r = StatsInterpreter::Run(input(files, before));

        QCOMPARE(r.failure, failure);
        QCOMPARE(r.log.first(), CrLf + QStringLiteral("Starting Update of Cruncher"));
        QTEST(r.log.mid(1), "branchLog");
        QCOMPARE(r.label3Text.value_or(QString()), label3);
        QCOMPARE(r.fields.label3Red, !label3.isEmpty());
        QCOMPARE(r.downloadingVisible.value_or(false), panel);
        QCOMPARE(r.fields.Percent, percent);
        QTEST(r.fields.LastPercent, "lastPercent");
        // What a run has written stays; what comes after the failing step is not shown.
        QCOMPARE(r.fields.barValue, percent);
        QCOMPARE(r.percentText.has_value(), percent != 12.5f);
        QVERIFY(!r.packageText && !r.downloaded && !r.playAlarm);
        QCOMPARE(r.timeText.has_value(), r.cpuSeconds.has_value());
    }

    void downloadWatch_data()
    {
        QTest::addColumn<qint16>("alarmInterval");
        QTest::addColumn<qint32>("start");
        QTest::addColumn<double>("clock");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint32>("startAfter");

        const QString late =
            QStringLiteral("Failed to download new work unit in time given.  Adjust alarm time to wait longer.");
        QTest::newRow("in time") << qint16(5) << 1000 << 1120.0 << QStringLiteral("Alarm time is 120, Interval is 300")
                                 << 1000;
        QTest::newRow("exactly the interval") << qint16(5) << 1000 << 1300.0
                                              << QStringLiteral("Alarm time is 300, Interval is 300") << 1000;
        QTest::newRow("late restarts the timing") << qint16(5) << 1000 << 1300.5 << late << 1300;
        QTest::newRow("600 minutes: no overflow") << qint16(600) << 1000 << 2000.0
                                                  << QStringLiteral("Alarm time is 1000, Interval is 36000") << 1000;
        QTest::newRow("32767 minutes") << qint16(32767) << 1000 << 86000.0
                                       << QStringLiteral("Alarm time is 85000, Interval is 1966020") << 1000;
        QTest::newRow("across midnight") << qint16(5) << 86390 << 20.25
                                         << QStringLiteral("Alarm time is 30.25, Interval is 300") << 86390;
        QTest::newRow("late across midnight") << qint16(5) << 86000 << 1000.0 << late << 1000;
        QTest::newRow("negative interval") << qint16(-1) << 1000 << 1000.0 << late << 1000;
    }

    void downloadWatch()
    {
        QFETCH(qint16, alarmInterval);
        QFETCH(qint32, start);
        QFETCH(double, clock);
        QFETCH(QString, text);

        UpdateInput in = input(snapshot(file(QStringLiteral("prog=1\ncpu=9\n")), file(UserText), 1000),
                               fields(100, start, false, 100));
        in.alarmInterval = alarmInterval;
        in.clock = clock;
        const UpdateResult r = StatsInterpreter::Run(in);
        QCOMPARE(r.failure, 0);
        QCOMPARE(r.log.at(3), text);
        QCOMPARE(r.playAlarm, text.startsWith(QLatin1String("Failed")));
        QTEST(r.fields.DownloadStart, "startAfter");
    }

    // The code-53 branch with a download present: the watch runs, and a bar value out of range is
    // skipped without ending the branch.
    void missingStateWithDownload_data()
    {
        QTest::addColumn<qint64>("wtemp");
        QTest::addColumn<float>("bar");
        QTest::newRow("half") << qint64(180224) << 50.f;
        QTest::newRow("longer than a unit: bar kept") << qint64(400000) << 42.f;
    }

    void missingStateWithDownload()
    {
        QFETCH(qint64, wtemp);
        UpdateInput in = input(snapshot(missing(), missing(), wtemp), fields(100, 0, true, 42));
        in.alarmInterval = 5;
        const UpdateResult r = StatsInterpreter::Run(in);
        QCOMPARE(r.failure, 53);
        QCOMPARE(r.log.last(), DownloadingStarted);
        QTEST(r.fields.barValue, "bar");
        QCOMPARE(r.percentText, StatsInterpreter::PercentText(r.fields.barValue));
        QCOMPARE(r.fields.DownloadPercent, float(double(wtemp) / 360448.0 * 100.0));
        QCOMPARE(r.downloadingVisible, true);
        QVERIFY(!r.percentRed);
        QCOMPARE(r.fields.DownloadStart, 36000);
        QVERIFY(!r.fields.label3Red); // the watch's start notice turned it black
    }

    void accountFigures_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("shownDown");
        QTest::addColumn<QString>("shownUp");
        QTest::addColumn<QString>("down");
        QTest::addColumn<QString>("up");
        QTest::addColumn<QString>("package");
        QTest::addColumn<bool>("leads");

        const QString crlf = QStringLiteral("id=1\r\nnwus=120\r\nnresults=119\r\ntotal_cpu=7200.5\r\n");
        QTest::newRow("first reading leads") << UserText << "0" << "0" << "120" << "119" << "120" << true;
        QTest::newRow("CRLF: no CR in the labels") << crlf << "0" << "0" << "120" << "119" << "120" << true;
        QTest::newRow("same counts do not lead") << UserText << "120" << "119" << "120" << "119" << "120" << false;
        QTest::newRow("lower counts do not lower") << UserText << "121" << "120" << "120" << "119" << "120" << false;
        QTest::newRow("one more result leads") << UserText << "120" << "118" << "120" << "119" << "120" << true;
        QTest::newRow("values keep their text") << QStringLiteral("nwus= 7 units\nnresults=abc\ntotal_cpu=1\n")
                                                << "0" << "0" << " 7 UNITS" << "ABC" << "1" << true;
    }

    void accountFigures()
    {
        QFETCH(QString, user);
        QFETCH(bool, leads);
        QFETCH(QString, shownDown);
        QFETCH(QString, shownUp);
        UpdateInput in = input(snapshot(file(QStringLiteral("prog=0.5\ncpu=60\n")), file(user)));
        in.shownDownloaded = Conv::Val(shownDown);
        in.shownUploaded = Conv::Val(shownUp);
        const UpdateResult r = StatsInterpreter::Run(in);
        QCOMPARE(r.failure, 0);
        QTEST(r.packageDownText.value(), "down");
        QTEST(r.packageUpText.value(), "up");
        QTEST(r.packageText.value(), "package");
        QCOMPARE(r.cpuSeconds, 60.0);
        QCOMPARE(r.downloaded.has_value(), leads);
        if (leads) {
            QCOMPARE(r.downloaded, r.packageDownText);
            QCOMPARE(r.uploaded, r.packageUpText);
            QVERIFY(r.totalTimeText.has_value());
        }
    }

    // The counts are copied before the total time is converted: a bad total keeps them.
    void totalTimeFailureKeepsCounts()
    {
        UpdateInput in = input(snapshot(file(QStringLiteral("prog=0.5\ncpu=60\n")),
                                        file(QStringLiteral("nwus=9\nnresults=8\ntotal_cpu=soon\n"))));
        const UpdateResult r = StatsInterpreter::Run(in);
        QCOMPARE(r.failure, 13);
        QCOMPARE(r.downloaded, QStringLiteral("9"));
        QCOMPARE(r.uploaded, QStringLiteral("8"));
        QVERIFY(!r.totalTimeText);
        QCOMPARE(r.cpuSeconds, 60.0);
    }

    void percentText_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("digits"); // with "." for the user's decimal point
        QTest::newRow("whole") << 50.f << "50";
        QTest::newRow("zero") << 0.f << "0";
        QTest::newRow("fraction") << 12.5f << "12.5";
        QTest::newRow("seven digits") << float(100.0 / 3.0) << "33.33333";
        QTest::newRow("single rounding hidden") << 0.1f * 100.f << "10";
    }

    void percentText()
    {
        QFETCH(float, value);
        QFETCH(QString, digits);
        const QString point = QLocale::system().decimalPoint();
        QCOMPARE(StatsInterpreter::PercentText(value), digits.replace(u'.', point) + u'%');
    }
};

TAVRIK_TEST(StatsInterpreterTest)
#include "StatsInterpreterTest.moc"
