#include "monitor/SimulatedClient.h"
#include "common/TestSupport.h"
#include "core/Failure.h"
#include "monitor/ClientReader.h"
#include "monitor/StatsInterpreter.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTest>

namespace {

// Reads the directory the way the CPU window does, carrying the readings from run to run.
struct Monitor
{
    QString dir;
    MonitorFields fields {};
    double clock = 1000;

    UpdateResult read()
    {
        const UpdateResult r = StatsInterpreter::Run({ QStringLiteral("Sim"), dir, ClientReader::Read(dir), fields, 5,
            clock += 31, QStringLiteral("now"), 0, 0 });
        fields = r.fields;
        return r;
    }
};

} // namespace

class SimulatedClientTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lifeCycleAsTheMonitorSeesIt_data()
    {
        QTest::addColumn<bool>("crlf");
        QTest::addColumn<bool>("lowerNames");
        QTest::newRow("LF") << false << false;
        QTest::newRow("CRLF, lower-case names") << true << true;
    }

    // Two whole units: every reading either succeeds or is the expected missing file of a client
    // between units, the counts only rise, and the download grows to a whole unit and goes.
    void lifeCycleAsTheMonitorSeesIt()
    {
        QFETCH(bool, crlf);
        QFETCH(bool, lowerNames);
        QTemporaryDir tmp;
        SimulatedClient::Options o;
        o.speed = 25;
        o.crlf = crlf;
        o.lowerNames = lowerNames;
        SimulatedClient sim(tmp.path(), o);
        QVERIFY(sim.start());
        Monitor monitor { tmp.path() + u'/' };

        const qint64 firstUnits = sim.unitsDownloaded();
        qint64 lastDown = 0, lastUp = 0, largestDownload = 0;
        QSet<int> seen;
        while (sim.unitsDownloaded() < firstUnits + 2) {
            QVERIFY(sim.step());
            seen.insert(int(sim.phase()));
            const UpdateResult r = monitor.read();
            if (r.failure == Failure::FileNotFound) {
                QVERIFY(sim.phase() == SimulatedClient::Phase::Starting
                    || (sim.phase() == SimulatedClient::Phase::Downloading && sim.downloadBytes() == 0));
                continue;
            }
            QCOMPARE(r.failure, 0);
            QVERIFY(r.packageDownText->toLongLong() >= lastDown);
            QVERIFY(r.packageUpText->toLongLong() >= lastUp);
            lastDown = r.packageDownText->toLongLong();
            lastUp = r.packageUpText->toLongLong();
            if (sim.phase() == SimulatedClient::Phase::Working)
                QCOMPARE(r.fields.Percent, float(QByteArray::number(sim.progress(), 'f', 6).toDouble()) * 100.f);
            if (sim.phase() == SimulatedClient::Phase::Downloading && r.fields.Percent == r.fields.LastPercent) {
                QCOMPARE(r.fields.barValue, r.fields.DownloadPercent);
                largestDownload = qMax(largestDownload, QFileInfo(sim.downloadPath()).size());
            }
        }
        QCOMPARE(seen.size(), 3); // working, downloading, starting
        QCOMPARE(largestDownload, SimulatedClient::FullDownload);
        QVERIFY(!QFile::exists(sim.downloadPath()));
        QCOMPARE(QFile::exists(tmp.filePath(QStringLiteral("user_info.txt"))), lowerNames);
        const QByteArray user = [&] {
            QFile f(sim.userInfoPath());
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        QCOMPARE(user.contains("\r\n"), crlf);
        QVERIFY(user.contains("\nnwus=") && user.contains("\nnresults=") && user.contains("\ntotal_cpu="));
    }

    // The tool as the README demo and the benchmark use it.
    void commandLine()
    {
        const QString tool = QDir(qEnvironmentVariable("TAVRIK_TOOLS_DIR", QCoreApplication::applicationDirPath()))
                                 .filePath(QStringLiteral("tavrik-simclient"));
        if (!QFileInfo(tool).isExecutable())
            QSKIP("tavrik-simclient is not built");
        QTemporaryDir tmp;
        auto run = [&](const char *dir, const QString &args) {
            QProcess p;
            p.start(tool, QStringList { tmp.filePath(QLatin1String(dir)) } + args.split(u' '));
            return p.waitForFinished() ? p.exitCode() : -1;
        };
        auto read = [&](const char *dir) { return Monitor { tmp.filePath(QLatin1String(dir)) + u'/' }.read(); };
        QCOMPARE(run("once", "--once --prog 0.25 --cpu 90 --nwus 5 --nresults 4 --crlf"), 0);
        const UpdateResult r = read("once");
        QCOMPARE(r.failure, 0);
        QCOMPARE(r.percentText, StatsInterpreter::PercentText(25));
        QCOMPARE(r.cpuSeconds, 90.0);
        QCOMPARE(r.packageDownText, QStringLiteral("5"));
        QCOMPARE(r.packageText, QStringLiteral("5"));
        QCOMPARE(run("once", "--speed fast"), 2);
        // Stalled half way; stuck in a download that does not grow; started in a download.
        QCOMPARE(run("stall", "--stall --speed 3 --steps 10 --interval 0"), 0);
        QCOMPARE(read("stall").percentText, StatsInterpreter::PercentText(50));
        QCOMPARE(run("stuck", "--download --speed 0 --steps 10 --interval 0"), 0);
        QCOMPARE(QFileInfo(tmp.filePath("stuck/wtemp.txt")).size(), SimulatedClient::FullDownload * 3 / 4);
        QCOMPARE(run("wtemp", "--steps 3 --interval 0 --wtemp 1000"), 0);
        QVERIFY(QFileInfo(tmp.filePath(QStringLiteral("wtemp/wtemp.txt"))).size() > 1000);
    }
};

TAVRIK_TEST(SimulatedClientTest)
#include "SimulatedClientTest.moc"
