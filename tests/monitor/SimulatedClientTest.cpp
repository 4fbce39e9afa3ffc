#include "SimulatedClient.h"
#include "common/TestSupport.h"
#include "monitor/ClientReader.h"
#include "monitor/StatsInterpreter.h"
#include "shared/Failure.h"

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
    qint64 clock = 1700000000000;

    UpdateResult read()
    {
        const UpdateResult r = StatsInterpreter::Run({ QStringLiteral("Sim"), dir, ClientReader::Read(dir), fields, 5,
            clock += 31000, QStringLiteral("now"), 0, 0 });
        fields = r.fields;
        return r;
    }
};

} // namespace

class SimulatedClientTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        QCOMPARE(r.downloadedText, QStringLiteral("5"));
        QCOMPARE(r.unitNumberText, QStringLiteral("5"));
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
