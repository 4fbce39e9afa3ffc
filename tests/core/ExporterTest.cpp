#include "export/Exporter.h"
#include "common/TestSupport.h"
#include "history/HistoryDatabase.h"
#include "settings/Conv.h"
#include "settings/Options.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/Clock.h"
#include "shared/Failure.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>

namespace {

// A reading: "PROG=" value (an empty text for a half-written file), or a failure code for
// State.txt; whether wtemp.txt is there; seconds after the first reading.
struct Reading
{
    QString prog;
    int stateError = 0;
    bool wtemp = false;
    double at = 0;
};

ClientSnapshot files(const Reading &r)
{
    ClientSnapshot s;
    s.state.text = r.prog.isEmpty() ? QString() : QStringLiteral("prog=%1\ncpu=3600\n").arg(r.prog);
    s.state.error = r.stateError;
    s.user.text = QStringLiteral("nwus=12\nnresults=11\ntotal_cpu=500\n");
    s.user.error = r.stateError == Failure::PathNotFound ? r.stateError : 0;
    s.wtempError = r.wtemp ? 0 : Failure::FileNotFound;
    s.wtempLength = r.wtemp ? 1000 : 0;
    return s;
}

QString metricsFor(CpuState state, const QString &name)
{
    CpuMetrics m;
    m.name = name;
    m.state = state;
    return QString::fromUtf8(MetricsText::Render({ { m }, {}, 0, true }));
}

} // namespace

Q_DECLARE_METATYPE(QList<Reading>)
Q_DECLARE_METATYPE(CpuState)

class ExporterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void labelsAndFamilies_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("label");
        QTest::newRow("plain") << "lab 1"
                               << "lab 1";
        QTest::newRow("backslash") << "C:\\seti\\"
                                   << "C:\\\\seti\\\\";
        QTest::newRow("quote") << "the \"big\" one"
                               << "the \\\"big\\\" one";
        QTest::newRow("newline") << "a\nb"
                                 << "a\\nb";
        QTest::newRow("all") << "\\\"\n"
                             << "\\\\\\\"\\n";
    }

    // Every state of every name: one HELP and TYPE per family, before its samples, and exactly the
    // state's own line at 1.
    void labelsAndFamilies()
    {
        QFETCH(QString, name);
        QFETCH(QString, label);
        for (const CpuState state : MetricsText::States) {
            const QString text = metricsFor(state, name);
            const QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
            QStringList typed;
            for (qsizetype k = 0; k < lines.size(); ++k) {
                const QString &line = lines[k];
                if (line.startsWith(QLatin1String("# TYPE "))) {
                    const QString family = line.section(u' ', 2, 2);
                    QVERIFY2(!typed.contains(family), qPrintable(family));
                    QVERIFY(k > 0 && lines[k - 1].startsWith(QStringLiteral("# HELP %1 ").arg(family)));
                    typed.append(family);
                } else if (!line.startsWith(u'#')) {
                    QVERIFY2(line.startsWith(typed.last()), qPrintable(line)); // within its family
                }
            }
            QCOMPARE(text.count(QLatin1String("# HELP ")), typed.size());
            // The label values scrapers and alert rules know.
            const QStringList names { "working", "slow", "stalled", "downloading", "download_late", "unreachable",
                "failed" };
            for (qsizetype j = 0; j < names.size(); ++j) {
                const bool own = CpuStatus::MetricName(state) == names[j];
                const QString sample = QStringLiteral("tavrik_cpu_state{cpu=\"%1\",state=\"%2\"} %3\n")
                                           .arg(label, names[j], own ? "1" : "0");
                QVERIFY2(text.contains(sample), qPrintable(sample));
            }
            QCOMPARE(text.count(QLatin1String("tavrik_cpu_state{")), names.size());
        }
    }

    void states_data()
    {
        QTest::addColumn<QList<Reading>>("readings");
        QTest::addColumn<CpuState>("state");
        QTest::addColumn<int>("failure");
        QTest::addColumn<double>("downloadSeconds");
        const QString half = QStringLiteral("0.5");
        const QString done = QStringLiteral("1.0");
        QTest::newRow("first reading") << QList<Reading> { { half } } << CpuState::Working << 0 << 0.0;
        QTest::newRow("first reading at 0") << QList<Reading> { { "0" } } << CpuState::Downloading << 0 << 0.0;
        QTest::newRow("moved") << QList<Reading> { { "0.4" }, { half } } << CpuState::Working << 0 << 0.0;
        QTest::newRow("unchanged") << QList<Reading> { { half }, { half } } << CpuState::Stalled << 0 << 0.0;
        QTest::newRow("finished unit again")
            << QList<Reading> { { done }, { done, 0, true, 30 }, { done, 0, true, 90 } } << CpuState::Downloading << 0
            << 60.0;
        QTest::newRow("no download file yet")
            << QList<Reading> { { done }, { done, 0, false, 30 } } << CpuState::Downloading << 53 << 0.0;
        QTest::newRow("past the alarm") << QList<Reading> { { done }, { done, 0, true, 30 }, { done, 0, true, 91 } }
                                        << CpuState::DownloadLate << 0 << 61.0;
        QTest::newRow("late until the unit arrives")
            << QList<Reading> { { done }, { done, 0, true, 30 }, { done, 0, true, 91 }, { {}, 53, true, 100 } }
            << CpuState::DownloadLate << 53 << 70.0;
        QTest::newRow("new unit") << QList<Reading> { { done }, { done, 0, true, 30 }, { done, 0, true, 91 },
            { "0.001", 0, false, 100 } }
                                  << CpuState::Working << 0 << 0.0;
        // The watch of the next unit starts afresh, not from the last download's start.
        QTest::newRow("next unit timed afresh") << QList<Reading> { { done }, { done, 0, true, 30 },
            { "0.001", 0, false, 40 }, { done, 0, false, 500 }, { done, 0, true, 530 }, { done, 0, true, 560 } }
                                                << CpuState::Downloading << 0 << 30.0;
        QTest::newRow("path not found") << QList<Reading> { { half }, { {}, 76 } } << CpuState::Unreachable << 76
                                        << 0.0;
        QTest::newRow("drive not available") << QList<Reading> { { {}, 52 } } << CpuState::Unreachable << 52 << 0.0;
        QTest::newRow("half written") << QList<Reading> { { half }, { {} } } << CpuState::Failed << 5 << 0.0;
        QTest::newRow("no state, no download") << QList<Reading> { { {}, 53 } } << CpuState::Failed << 53 << 0.0;
    }

    void states()
    {
        QFETCH(QList<Reading>, readings);
        QFETCH(CpuState, state);
        QFETCH(int, failure);
        QFETCH(double, downloadSeconds);
        Cpu cpu;
        cpu.name = QStringLiteral("lab");
        cpu.path = QStringLiteral("/lab/");
        CpuMetrics m;
        std::optional<double> received;
        for (const Reading &r : readings) {
            const qint64 t = qint64(1.7e12 + r.at * 1000);
            ReadingContext context;
            context.alarmMinutes = 1;
            context.clock = { t, QStringLiteral("today") };
            const ReadingOutcome o = ApplyReading(cpu, files(r), context);
            if (o.result.downloaded)
                received = Conv::Val(*o.result.downloaded);
            m = Exporter::Metrics(cpu, QDateTime::fromMSecsSinceEpoch(t));
            if (!m.failure)
                QCOMPARE(*m.lastSuccess, t / 1000.0);
        }
        QCOMPARE(CpuStatus::MetricName(m.state), CpuStatus::MetricName(state));
        QCOMPARE(m.failure, failure);
        QCOMPARE(m.downloadSeconds, downloadSeconds);
        QMap<int, quint64> failures;
        if (failure)
            failures.insert(failure, 1);
        QCOMPARE(m.failures, failures);
        if (readings.first().prog == QLatin1String("0.5"))
            QCOMPARE(received.value_or(0), 12.0);
    }

    // A cycle over the stored CPUs of a given settings file writes the textfile; a second exporter
    // takes over the readings, so one run each (as from cron) tells a stalled CPU from a working one.
    void cyclesOverStoredCpus()
    {
        IsolatedSettings isolated;
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("other.conf"));
        const QString client = dir.filePath(QStringLiteral("c1/"));
        QVERIFY(WriteTextFile(client + ClientReader::StateFile, "prog=0.25\ncpu=10\n"));
        QVERIFY(WriteTextFile(client + ClientReader::UserFile, "nwus=3\nnresults=2\ntotal_cpu=9\n"));
        SettingsStore::useFile(ini);
        {
            SettingsStore::Batch batch;
            SettingsStore::save(Schema::AppSettings, Schema::CPUs, QStringLiteral("c \"1\",off,"));
            SettingsStore::save(
                QStringLiteral("c \"1\""), Schema::CPUPath, client.chopped(1)); // no separator at the end
            SettingsStore::saveBool(QStringLiteral("off"), Schema::AllowUpdates, false);
        }
        const CpuList::StoredList stored = CpuList::Read();
        SettingsStore::useFile(QString());
        QVERIFY(QFile::exists(ini));
        QVERIFY(!QFile::exists(isolated.configFile()));
        QCOMPARE(stored.cpus.size(), 2);

        const QString prom = dir.filePath(QStringLiteral("tavrik.prom"));
        const QString state = dir.filePath(QStringLiteral("state.json"));
        const Options options;
        // Four runs: working, stalled, the unit finished (counted once, and kept across the runs),
        // then waiting for the next one. The last three also keep a history file.
        const QString history = dir.filePath(QStringLiteral("history/h.sqlite"));
        const struct
        {
            const char *state;
            const char *units;
        } runs[] = { { "working", "0" }, { "stalled", "0" }, { "working", "1" }, { "downloading", "1" } };
        for (const auto &run : runs) {
            if (&run == &runs[2])
                QVERIFY(WriteTextFile(client + ClientReader::StateFile, "prog=1.0\ncpu=40\n"));
            Exporter exporter(options, prom);
            SettingsStore::useFile(ini);
            exporter.loadStoredCpus();
            SettingsStore::useFile(QString());
            exporter.setStateFile(state);
            if (&run != &runs[0])
                exporter.setHistoryFile(history);
            QSignalSpy written(&exporter, &Exporter::cycleWritten);
            exporter.runCycle();
            QVERIFY(written.wait(5000));
            QCOMPARE(written.first().first().toBool(), true);
            QFile f(prom);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(f.readAll());
            QVERIFY2(
                text.contains(QStringLiteral("tavrik_cpu_state{cpu=\"c \\\"1\\\"\",state=\"%1\"} 1").arg(run.state)),
                qPrintable(text));
            QVERIFY2(text.contains(
                         QStringLiteral("tavrik_cpu_units_finished_total{cpu=\"c \\\"1\\\"\"} %1\n").arg(run.units)),
                qPrintable(text));
            QVERIFY(!text.contains(QLatin1String("cpu=\"off\""))); // does not allow updates
            QCOMPARE(text.contains(QLatin1String("state=\"slow\"")), &run != &runs[0]); // with a history alone
        }
        HistoryDatabase db;
        QCOMPARE(db.open(history, true), HistoryDatabase::State::ReadOnly);
        QSqlQuery q(db.db());
        QVERIFY(q.exec(QStringLiteral("SELECT count(*) FROM unit")) && q.next());
        QCOMPARE(q.value(0).toInt(), 1);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3); // no temporary file left
    }

    // Given a history of the CPU's usual pace (100 % an hour), two runs forty minutes apart (as
    // from cron) tell a CPU at 15 % an hour slow: what it is measured from is kept in the state file.
    void slowAcrossRuns()
    {
        IsolatedSettings isolated;
        QTemporaryDir dir;
        const QString client = dir.filePath(QStringLiteral("c/"));
        const QString history = dir.filePath(QStringLiteral("h.sqlite"));
        const QString c = QStringLiteral("c");
        {
            HistoryDatabase db;
            QCOMPARE(db.open(history, false), HistoryDatabase::State::Ready);
            HistoryChanges units;
            units.names.insert(c, c);
            for (qint64 u = 1; u <= 3; ++u)
                units.units.push_back({ c, u, u * 86400, u * 86400 + 3600, false, -1, true });
            QVERIFY(db.write(units));
        }
        QVERIFY(WriteTextFile(client + ClientReader::UserFile, "nwus=3\nnresults=2\ntotal_cpu=9\n"));
        const Options options;
        QDateTime now(QDate(2026, 5, 1), QTime(12, 0));
        QStringList states;
        for (const char *prog : { "0.1", "0.2" }) {
            QVERIFY(WriteTextFile(client + ClientReader::StateFile, QByteArray("prog=") + prog + "\ncpu=10\n"));
            Clock::SetFake(now);
            Exporter exporter(options, QString());
            exporter.setCpus({ { c, client } });
            exporter.setStateFile(dir.filePath(QStringLiteral("state.json")));
            exporter.setHistoryFile(history);
            QSignalSpy written(&exporter, &Exporter::cycleWritten);
            exporter.runCycle();
            QVERIFY(written.wait(5000));
            states.append(exporter.fleet().cpus().first()->status.words());
            now = now.addSecs(40 * 60);
        }
        Clock::SetFake({});
        QCOMPARE(states, QStringList({ "working", "slow" }));
    }
};

TAVRIK_TEST(ExporterTest)
#include "ExporterTest.moc"
