#include "common/TestSupport.h"
#include "history/HistoryDatabase.h"
#include "panel/CpuList.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <sys/stat.h>
#include <sys/types.h>

// Hostile settings, files and faults against the real programs, each run as the user runs it.
// Every row checks that nothing stored is lost (the next start finds the same CPUs), nothing is
// clobbered (file types and contents), and the failure is said (stderr or the session log).
namespace {

// In every settings file: an option that must survive whatever the run meets (the history rows,
// "history ...", need a cycle a second).
QByteArray canary(bool history)
{
    return history ? "MonitorInterval=0" : "MonitorInterval=77";
}

struct Run
{
    QTemporaryDir dir;
    QString conf() const { return dir.filePath("config/Brakmere/Tavrik.conf"); }
    QString stateDir() const { return dir.filePath("state/Brakmere/Tavrik"); }
    QString client() const { return dir.filePath("client/"); }
    QString prom() const { return dir.filePath("out/tavrik.prom"); }
    QString history() const { return dir.filePath("data/Brakmere/Tavrik/history.sqlite"); }
    QString fault() const { return dir.filePath("fault"); } // the shim's faults hold while it exists
    QByteArray err;
    int code = -1;
    qint64 ms = 0;
};

struct Row
{
    const char *name;
    bool panel; // else the exporter
    QByteArray conf; // the settings file (the canary is put before it)
    std::function<void(Run &, QStringList &args, QProcessEnvironment &)> setup;
    int code; // expected exit code
    const char *said; // in stderr or the session log
    QStringList cpus; // the stored CPUs after the run; empty: not checked
    std::function<void(Run &)> check;
};

QString tool(const char *name)
{
    return QDir(qEnvironmentVariable("TAVRIK_TOOLS_DIR", QCoreApplication::applicationDirPath()))
        .filePath(QLatin1String(name));
}

void enospc(QProcessEnvironment &env, const char *marker)
{
    env.insert("LD_PRELOAD", tool("libtavrik_enospc.so"));
    env.insert("TAVRIK_ENOSPC", QLatin1String(marker));
    env.insert("ASAN_OPTIONS", qEnvironmentVariable("ASAN_OPTIONS") + QStringLiteral(":verify_asan_link_order=0"));
}

QByteArray handOver(int n, const char *prefix = "cpu")
{
    QByteArray out = "TotalCPUs=" + QByteArray::number(n) + "\n";
    for (int i = 0; i < n; ++i)
        out += "[" + QByteArray::number(i) + "]\nCPUName=" + prefix + QByteArray::number(i) + "\n";
    return out;
}

QStringList names(int n, const char *prefix = "cpu")
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out.append(QLatin1String(prefix) + QString::number(i));
    return out;
}

bool isFifo(const QString &path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

QByteArray read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeClient(const Run &r, const QByteArray &state, const QByteArray &user)
{
    WriteTextFile(r.client() + "State.txt", state);
    WriteTextFile(r.client() + "User_Info.txt", user);
}

QStringList storedCpus(const QString &conf)
{
    SettingsStore::useFile(conf);
    QStringList out;
    const CpuList::StoredList list = CpuList::Read();
    for (const auto &cpu : list.cpus)
        out.append(cpu.first);
    for (const auto &cpu : list.notLoaded)
        out.append(cpu.first);
    SettingsStore::useFile(QString());
    return out;
}

const QList<Row> &rows()
{
    using Env = QProcessEnvironment;
    auto none = [](Run &, QStringList &, Env &) {};
    auto exporterCpu = [](Run &r, QStringList &args, Env &) {
        writeClient(r, "prog=0.5\ncpu=100\n", "nwus=3\nnresults=2\ntotal_cpu=500\n");
        WriteTextFile(r.conf(), read(r.conf()) + "\nCPUs=den,\n[den]\nCPUPath=" + r.client().toUtf8() + "\n");
        args << "--once";
    };
    auto client = [](QByteArray state, QByteArray user) {
        return [=](Run &r, QStringList &args, Env &) {
            writeClient(r, state, user);
            WriteTextFile(r.conf(), read(r.conf()) + "\nCPUs=den,\n[den]\nCPUPath=" + r.client().toUtf8() + "\n");
            args << "--once";
        };
    };
    auto promHasNo = [](QList<const char *> bad) {
        return [=](Run &r) {
            const QByteArray text = read(r.prom());
            QVERIFY2(text.contains("tavrik_cpu_state"), text.constData());
            for (const char *b : bad)
                QVERIFY2(!text.contains(b), (b + QByteArray(" in:\n") + text).constData());
        };
    };
    // A CPU the panel reads every second, a unit of another stored before the run, and the fault
    // (TAVRIK_ENOSPC or TAVRIK_EROFS at the marker) there from the start or once history is on.
    auto historyRun = [](const char *kind, const char *marker, bool now) {
        return [=](Run &r, QStringList &, Env &env) {
            writeClient(r, "prog=0.5\ncpu=100\n", "nwus=3\nnresults=2\ntotal_cpu=500\n");
            WriteTextFile(r.conf(), read(r.conf()) + "\nCPUs=den,\n[den]\nCPUPath=" + r.client().toUtf8() + "\n");
            HistoryDatabase db;
            QCOMPARE(db.open(r.history(), false), HistoryDatabase::State::Ready);
            HistoryChanges c;
            c.names.insert("old", "old");
            UnitRecord u;
            u.cpuId = "old";
            u.unitNo = 7;
            c.units.push_back(u);
            QVERIFY(db.write(c));
            enospc(env, "");
            env.insert(QLatin1String(kind), QLatin1String(marker));
            env.insert("TAVRIK_FAULT_WHILE", r.fault());
            if (now)
                WriteTextFile(r.fault(), "");
        };
    };
    // Off once, said once; on again once the fault goes; the stored unit kept, and the readings
    // of the fault's seconds written after it.
    auto historyBack = [](Run &r) {
        const QByteArray log = read(r.stateDir() + "/session.log");
        QCOMPARE(log.count("History is off"), 1);
        QVERIFY2(log.indexOf("History is kept in", log.indexOf("History is off")) > 0, log.constData());
        HistoryDatabase db;
        QCOMPARE(db.open(r.history(), true), HistoryDatabase::State::ReadOnly);
        QCOMPARE(db.integrity(), "ok");
        QSqlQuery q(db.db());
        QVERIFY(q.exec("SELECT (SELECT count(*) FROM unit WHERE unit_no = 7),"
                       " (SELECT sum(watched) FROM daily JOIN cpu ON n = daily.cpu WHERE name = 'den')")
            && q.next());
        QCOMPARE(q.value(0).toInt(), 1);
        QVERIFY2(q.value(1).toInt() >= 3, qPrintable(q.value(1).toString()));
    };
    static const QList<Row> table = {
        // Names.
        { "duplicate names", true, "CPUs=A,A,B,a,\n[A]\nCPUPath=/nowhere/\n[B]\nCPUPath=/nowhere/\n", none, 0,
            "listed twice were merged", { "A", "B" }, {} },
        { "reserved AppSettings", true, "CPUs=AppSettings,B,\nCPUPath=/nowhere/\n[B]\nCPUPath=/nowhere/\n", none, 0,
            "is loaded as \"AppSettings (2)\"", { "AppSettings (2)", "B" }, {} },
        { "reserved Message", true, "CPUs=Message,\n", none, 0, "kept for the panel", { "Message (2)" }, {} },
        { "reserved SDisplay", true, "CPUs=sdisplay,\n", none, 0, "kept for the panel", { "sdisplay (2)" }, {} },
        { "reserved main window", true, "CPUs=mfrmTavrik,\n", none, 0, "kept for the panel", { "mfrmTavrik (2)" }, {} },
        { "reserved overview", true, "CPUs=frmOverview,\n", none, 0, "kept for the panel", { "frmOverview (2)" }, {} },
        { "reserved number", true, "CPUs=7,x,\n[x]\nCPUPath=/nowhere/\n", none, 0, "kept for the panel",
            { "7 (2)", "x" }, {} },
        { "reserved General", true, "CPUs=general,\n", none, 0, "kept for the panel", { "general (2)" }, {} },
        // The limit: nothing beyond it is dropped.
        { "1,005 stored", true, handOver(1005), none, 0, "5 stored CPU(s) were not loaded", names(1005), {} },
        // Window places.
        { "Left 99999999", true, "[mfrmTavrik]\nLeft=99999999\n", none, 0, "", {},
            [](Run &r) {
                SettingsStore::useFile(r.conf());
                QVERIFY(SettingsStore::get("mfrmTavrik", "Left", "").toDouble() < 1e6);
                SettingsStore::useFile(QString());
            } },
        { "Width 2^31-1", true, "[mfrmTavrik]\nWidth=2147483647\n[This Computer]\nHeight=-5\n", none, 0, "", {},
            [](Run &r) {
                SettingsStore::useFile(r.conf());
                QVERIFY(SettingsStore::get("mfrmTavrik", "Width", "").toDouble() < 1e6);
                SettingsStore::useFile(QString());
            } },
        { "5e8 everywhere", true, "[mfrmTavrik]\nLeft=5e8\nTop=5e8\nWidth=5e8\nHeight=5e8\n", none, 0, "", {},
            [](Run &r) {
                SettingsStore::useFile(r.conf());
                QVERIFY(SettingsStore::get("mfrmTavrik", "Top", "").toDouble() < 1e6);
                SettingsStore::useFile(QString());
            } },
        // The settings file itself.
        { "settings file is a folder", true, "",
            [](Run &r, QStringList &, Env &) {
                QFile::remove(r.conf());
                QDir().mkpath(r.conf());
            },
            0, "Settings could not be read", {}, [](Run &r) { QVERIFY(QFileInfo(r.conf()).isDir()); } },
        { "settings file links to a device", true, "",
            [](Run &r, QStringList &, Env &) {
                QFile::remove(r.conf());
                QFile::link("/dev/null", r.conf());
            },
            0, "is a device", {}, [](Run &r) { QCOMPARE(QFileInfo(r.conf()).symLinkTarget(), "/dev/null"); } },
        { "settings file is a FIFO", true, "",
            [](Run &r, QStringList &, Env &) {
                QFile::remove(r.conf());
                ::mkfifo(QFile::encodeName(r.conf()).constData(), 0600);
            },
            0, "is a FIFO", {}, [](Run &r) { QVERIFY(isFifo(r.conf())); } },
        { "settings disk full", true, "CPUs=A,B,\n[A]\nCPUPath=/nowhere/\n[B]\nCPUPath=/nowhere/\n",
            [](Run &, QStringList &, Env &env) { enospc(env, "/config/Brakmere/"); }, 0, "Settings could not be saved",
            { "A", "B" }, {} },
        // The history file: whatever the fault, the panel goes on reading.
        { "history on a full disk", true, "", historyRun("TAVRIK_ENOSPC", "/Tavrik/history.sqlite", true), 0,
            "cannot be written: the disk is full", { "den" }, historyBack },
        { "history disk fills", true, "", historyRun("TAVRIK_ENOSPC", "/Tavrik/history.sqlite", false), 0,
            "cannot be written: the disk is full", { "den" }, historyBack },
        { "history file read-only", true, "", historyRun("TAVRIK_EROFS", "/Tavrik/history.sqlite", true), 0,
            "is read-only, or its folder is", { "den" }, historyBack },
        { "history folder read-only", true, "", historyRun("TAVRIK_EROFS", "/data/Brakmere/Tavrik", true), 0,
            "its folder may be read-only", { "den" }, historyBack },
        // The session log.
        { "session log disk full", true, "CPUs=A,\n[A]\nCPUPath=/nowhere/\n",
            [](Run &, QStringList &, Env &env) { enospc(env, "session.log"); }, 0,
            "The session's log could not be written", { "A" }, {} },
        { "session log folder read-only", true, "CPUs=A,\n[A]\nCPUPath=/nowhere/\n",
            [](Run &, QStringList &, Env &env) {
                enospc(env, "");
                env.insert("TAVRIK_EROFS", "/state/Brakmere/Tavrik");
            },
            0, "The session's log cannot be written to", { "A" }, {} },
        { "session log cannot rotate", true, "CPUs=A,\n[A]\nCPUPath=/nowhere/\n",
            [](Run &r, QStringList &, Env &) {
                WriteTextFile(r.stateDir() + "/session.log", "last session\n");
                QDir().mkpath(r.stateDir() + "/session.log.4/keep"); // the oldest cannot go
            },
            0, "cannot be rotated", { "A" },
            [](Run &r) { QCOMPARE(read(r.stateDir() + "/session.log"), QByteArray("last session\n")); } },
        // A stop from the system during the start of 10,000 CPUs.
        { "SIGTERM while 10,000 load", true, handOver(10000), none, 0, "9000 stored CPU(s) were not loaded",
            names(10000), {} },
        // The exporter's files.
        { "metrics on a full disk", false, "",
            [=](Run &r, QStringList &args, Env &env) {
                exporterCpu(r, args, env);
                WriteTextFile(r.prom(), "# the old metrics\n");
                enospc(env, "/out/"); // the temporary file may have no name of its own
            },
            1, "No space left on device", { "den" },
            [](Run &r) { QCOMPARE(read(r.prom()), QByteArray("# the old metrics\n")); } },
        { "state on a full disk", false, "",
            [=](Run &r, QStringList &args, Env &env) {
                exporterCpu(r, args, env);
                QDir().mkpath(r.dir.filePath("st"));
                args << "--state" << r.dir.filePath("st/state.json");
                enospc(env, "/st/");
            },
            1, "state.json", { "den" }, [](Run &r) { QVERIFY(read(r.prom()).contains("tavrik_cpu_state")); } },
        { "textfile is a device", false, "",
            [=](Run &r, QStringList &args, Env &env) {
                exporterCpu(r, args, env);
                args << "--textfile"
                     << "/dev/null";
            },
            2, "is a device", {}, [](Run &) { QVERIFY(!QFileInfo("/dev/null").isFile()); } },
        { "textfile is a FIFO", false, "",
            [=](Run &r, QStringList &args, Env &env) {
                exporterCpu(r, args, env);
                QDir().mkpath(r.dir.filePath("out"));
                ::mkfifo(QFile::encodeName(r.prom()).constData(), 0600);
            },
            2, "is a FIFO", {}, [](Run &r) { QVERIFY(isFifo(r.prom())); } },
        { "state is a FIFO", false, "",
            [=](Run &r, QStringList &args, Env &env) {
                exporterCpu(r, args, env);
                ::mkfifo(QFile::encodeName(r.dir.filePath("fifo")).constData(), 0600);
                args << "--state" << r.dir.filePath("fifo");
            },
            2, "is a FIFO", {}, [](Run &r) { QVERIFY(isFifo(r.dir.filePath("fifo"))); } },
        { "state is a device", false, "",
            [=](Run &r, QStringList &args, Env &env) {
                exporterCpu(r, args, env);
                args << "--state"
                     << "/dev/zero";
            },
            2, "is a device", {}, {} },
        { "state equals textfile", false, "",
            [=](Run &r, QStringList &args, Env &env) {
                exporterCpu(r, args, env);
                WriteTextFile(r.prom(), "# the old metrics\n");
                args << "--state" << r.dir.filePath("out/../out/tavrik.prom");
            },
            2, "name the same file", {}, [](Run &r) { QCOMPARE(read(r.prom()), QByteArray("# the old metrics\n")); } },
        { "settings option is a FIFO", false, "",
            [=](Run &r, QStringList &args, Env &env) {
                exporterCpu(r, args, env);
                ::mkfifo(QFile::encodeName(r.dir.filePath("fifo")).constData(), 0600);
                args << "--settings" << r.dir.filePath("fifo");
            },
            2, "is a FIFO", {}, {} },
        { "state of another format", false, "",
            [=](Run &r, QStringList &args, Env &env) {
                exporterCpu(r, args, env);
                WriteTextFile(r.dir.filePath("out/.tavrik-exporter-state.json"), R"({"version":9,"cpus":[]})");
            },
            0, "set aside", { "den" },
            [](Run &r) {
                QVERIFY(read(r.dir.filePath("out/.tavrik-exporter-state.json.unknown")).contains("\"version\":9"));
                QVERIFY(read(r.dir.filePath("out/.tavrik-exporter-state.json")).contains("\"version\":3"));
            } },
        { "state damaged", false, "",
            [=](Run &r, QStringList &args, Env &env) {
                exporterCpu(r, args, env);
                WriteTextFile(r.dir.filePath("out/.tavrik-exporter-state.json"), "{\"cpus\":[{\"name\":\"den\",\"perc");
            },
            0, "", { "den" }, [](Run &r) { QVERIFY(read(r.prom()).contains("tavrik_cpu_state")); } },
        { "SIGTERM at once", false, "",
            [=](Run &r, QStringList &args, Env &env) {
                exporterCpu(r, args, env);
                args.removeAll("--once");
                args << "--interval"
                     << "1";
            },
            0, "", { "den" }, {} },
        // Client values no reading can mean.
        { "progress 77777", false, "", client("prog=77777.7728\ncpu=-5\n", "nwus=1\nnresults=1\ntotal_cpu=-7\n"), 0, "",
            { "den" }, promHasNo({ "progress_ratio{cpu=\"den\"} 7", " -", "Inf", "NaN" }) },
        { "results 1e400", false, "", client("prog=0.5\ncpu=1e400\n", "nwus=1e400\nnresults=1e400\ntotal_cpu=1e400\n"),
            0, "", { "den" }, promHasNo({ "Inf", "NaN", " -" }) },
        { "progress 1e-32", false, "", client("prog=1e-32\ncpu=nan\n", "nwus=-1\nnresults=nan\ntotal_cpu=-0\n"), 0, "",
            { "den" }, promHasNo({ "Inf", "NaN", " -1" }) },
    };
    return table;
}

} // namespace

class HostileInputTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void hostile_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < rows().size(); ++i)
            QTest::newRow(rows()[i].name) << i;
    }

    void hostile()
    {
        QFETCH(int, row);
        const Row &r = rows()[row];
        Run run;
        const bool history = QByteArray(r.name).startsWith("history");
        QVERIFY(WriteTextFile(run.conf(), "[AppSettings]\n" + canary(history) + "\n" + r.conf));
        QDir().mkpath(run.stateDir());
        QDir().mkpath(run.dir.filePath("out"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : { "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR", "XDG_STATE_HOME" }) {
            const QString path = run.dir.filePath(QString::fromLatin1(name).section('_', 1, 1).toLower());
            QDir().mkpath(path);
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            env.insert(QLatin1String(name), path);
        }
        env.insert("QT_QPA_PLATFORM", "offscreen");
        QStringList args;
        if (!r.panel)
            args << "--textfile" << run.prom() << "--settings" << run.conf();
        r.setup(run, args, env);

        QProcess p;
        p.setProcessEnvironment(env);
        p.start(tool(r.panel ? "tavrik" : "tavrik-exporter"), args);
        QVERIFY(p.waitForStarted());
        const bool stopFromOutside = r.panel || !args.contains("--once");
        if (stopFromOutside) {
            // The panel runs until the system stops it: once its CPUs are in (or, for 10,000, while
            // they are still being made).
            const bool early = QByteArray(r.name).startsWith("SIGTERM");
            QElapsedTimer waited, off;
            waited.start();
            while (waited.elapsed() < 20000 && p.state() == QProcess::Running) {
                if (history) { // the fault comes (unless there at start), stays three cycles and goes
                    const QByteArray log = read(run.stateDir() + "/session.log");
                    const qsizetype at = log.indexOf("History is off");
                    if (at < 0 && log.contains("History is kept in") && !off.isValid())
                        WriteTextFile(run.fault(), "");
                    if (at >= 0 && !off.isValid())
                        off.start();
                    if (off.isValid() && off.elapsed() > 3000)
                        QFile::remove(run.fault());
                    if (at >= 0 && log.indexOf("History is kept in", at) > 0)
                        break;
                    QTest::qWait(50);
                    continue;
                }
                if (early ? waited.elapsed() > (r.panel ? 1500 : 300)
                          : read(run.stateDir() + "/session.log").contains("Loaded successfully")
                            || (r.panel && waited.elapsed() > 8000))
                    break;
                QTest::qWait(50);
            }
            QElapsedTimer stop;
            stop.start();
            p.terminate();
            QVERIFY(p.waitForFinished(10000));
            run.ms = stop.elapsed();
#if defined(__SANITIZE_ADDRESS__)
            constexpr qint64 EndMs = 6000; // the sanitizers make everything about three times slower
#else
            constexpr qint64 EndMs = 2000;
#endif
            QVERIFY2(run.ms < EndMs, qPrintable(QString::number(run.ms) + " ms to end after SIGTERM"));
        } else {
            QVERIFY(p.waitForFinished(30000));
        }
        run.err = p.readAllStandardError();
        QVERIFY2(p.exitStatus() == QProcess::NormalExit, run.err.constData());
        QVERIFY2(p.exitCode() == r.code, run.err.constData());

        const QByteArray said = run.err + read(run.stateDir() + "/session.log");
        QVERIFY2(said.contains(r.said), said.right(2000).constData());
        if (QFileInfo(run.conf()).isFile() && !QFileInfo(run.conf()).isSymLink()) {
            QVERIFY2(read(run.conf()).contains(canary(history)), "the options were lost");
            if (!r.cpus.isEmpty())
                QCOMPARE(storedCpus(run.conf()), r.cpus);
        }
        if (r.check)
            r.check(run);
    }
};

TAVRIK_TEST(HostileInputTest)
#include "HostileInputTest.moc"
