// The update cycle of the real main window, offscreen, over local, slow and dead shares.
//
// Every measurement runs in a process of its own (this program again, with --child), so thread
// pools, hung reads and file caches of one never colour the next. Slow shares come from the
// read-delay library (bench/readdelay), preloaded into the child: it delays each path call on the
// client folders, which all sit under a folder named like its marker. A dead share is a client
// folder whose State.txt is a FIFO: opening it for reading blocks until a writer comes.
//
// Usage: bench_cycle
//        bench_cycle --scale | --run <mode> <cpus>
//        bench_cycle --child <cycle|startup|exit|stall|cputime> <cpus> <hung> <delay ms> <clients folder>
#include "SimulatedClient.h"
#include "monitor/ClientReader.h"
#include "monitor/UpdateCycle.h"
#include "monitor/frmSetiControl.h"
#include "panel/mfrmTavrik.h"
#include "settings/Options.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/Failure.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// The folder name the read-delay library looks for; the settings live elsewhere and stay fast.
const QString Marker = QStringLiteral("/tavrik-delay/");
constexpr int MaxCpus = 100;
constexpr int ManyCpus = 1000; // the scale runs
constexpr int MaxHung = 64;
constexpr int LimitMs = UpdateCycle::DefaultTimeLimitMs;

void print(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

QString verdict(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("NOT MET");
}

QString ms(qint64 ns)
{
    return QString::number(double(ns) / 1e6, 'f', ns < 10000000 ? 2 : 0);
}

// The process's peak resident memory so far (VmHWM), in kB; 0 where the system does not say.
long peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

qint64 threadCpuNs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// k of n CPUs hang, spread over the list; with one healthy CPU left, it is the last one, handed on
// only after every hung CPU before it.
bool isHung(int i, int n, int k)
{
    const int j = n - 1 - i;
    return k > 0 && (j * k) / n != ((j + 1) * k) / n;
}

// One open of every FIFO for writing: a reader blocked in open() returns. The count of readers
// found waiting.
int releaseFifos(const QStringList &fifos)
{
    int waiting = 0;
    for (const QString &fifo : fifos) {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
            ++waiting;
        }
    }
    return waiting;
}

// What the panel does without any of its own work: the same files read raw, on one thread.
qint64 rawReadsCpuNs(const QStringList &folders)
{
    static char buffer[64 * 1024];
    const qint64 start = threadCpuNs();
    for (const QString &folder : folders) {
        for (const QString &name : { ClientReader::StateFile, ClientReader::UserFile }) {
            const int fd = ::open(QFile::encodeName(folder + name).constData(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                continue;
            while (::read(fd, buffer, sizeof buffer) > 0) { }
            ::close(fd);
        }
        struct stat st;
        ::stat(QFile::encodeName(folder + ClientReader::WtempFile).constData(), &st);
    }
    return threadCpuNs() - start;
}

// One measurement, inside a child process: the panel over its CPUs, driven by the event loop.
class Child : public QObject
{
public:
    Child(const QString &mode, int cpus, int hung, int delayMs, const QString &clients)
        : m_mode(mode)
        , m_cpus(cpus)
        , m_hung(hung)
        , m_delayMs(delayMs)
    {
        // A fresh settings store holding only this run's CPU list.
        for (auto format : { QSettings::NativeFormat, QSettings::IniFormat })
            QSettings::setPath(format, QSettings::UserScope, m_settings.path());
        int healthy = 0;
        int dead = 0;
        const SettingsStore::Batch batch;
        for (int i = 0; i < cpus; ++i) {
            const bool hangs = isHung(i, cpus, hung);
            const QString name = hangs ? QStringLiteral("hung%1").arg(dead++) : QStringLiteral("cpu%1").arg(healthy++);
            const QString path = clients + u'/' + name + u'/';
            (hangs ? m_fifos : m_healthyFolders).append(hangs ? path + ClientReader::StateFile : path);
            SettingsStore::save(QString::number(i), Schema::CPUName, name);
            SettingsStore::save(name, Schema::CPUPath, path);
        }
        SettingsStore::saveInt(Schema::AppSettings, Schema::TotalCPUs, cpus);
        // Only Refresh starts a cycle here, never the one-second timer.
        SettingsStore::saveInt(Schema::AppSettings, Schema::MonitorInterval, 3600);
        modTavrik::LoadOptions(m_options);
        m_panel = std::make_unique<mfrmTavrik>(m_options);
        // Connected after the panel's own handlers: a reading seen here is already on its window.
        connect(&m_panel->cycle(), &UpdateCycle::readingReady, this,
            [this](quint64 key, const QString &, const ClientSnapshot &files) { onReading(key, files); });
        connect(&m_panel->cycle(), &UpdateCycle::cycleFinished, this, [this] { onCycleFinished(); });
        m_ticker.setTimerType(Qt::PreciseTimer);
        connect(&m_ticker, &QTimer::timeout, this, [this] {
            const qint64 gap = m_sinceTick.restart();
            m_longestGap = qMax(m_longestGap, gap);
            // The first gap holds the first slice of Load(), before it returns to the event loop.
            m_longestAfterLoad = m_ticks++ > 0 ? qMax(m_longestAfterLoad, gap) : 0;
        });
    }

    void start()
    {
        if (m_mode == QLatin1String("stall")) {
            m_ticker.start(5);
            m_sinceTick.start();
        }
        m_clock.start();
        m_panel->Load();
        m_loadNs = m_clock.nsecsElapsed();
        // The windows are made a few at a time with the event loop running; go on once all are there.
        if (m_panel->isLoading()) {
            QTimer::singleShot(1, this, [this] { afterLoad(); });
            return;
        }
        afterLoad();
    }

private:
    void registerWindows()
    {
        for (frmSetiControl *cpu : m_panel->cpuWindows()) {
            const bool hung = cpu->CPUPath().contains(QLatin1String("/hung"));
            if (!m_windows.contains(cpu->key()))
                m_windows.insert(cpu->key(), Window { cpu, hung });
        }
    }

    void afterLoad()
    {
        if (m_panel->isLoading()) {
            QTimer::singleShot(1, this, [this] { afterLoad(); });
            return;
        }
        m_loadNs = m_clock.nsecsElapsed();
        registerWindows();
        if (m_windows.size() != m_cpus)
            return fail(QStringLiteral("%1 CPU windows loaded of %2").arg(m_windows.size()).arg(m_cpus));
        m_waitingStartup = true;
        if (m_mode == QLatin1String("startup") && healthyShown() >= m_cpus - m_hung) {
            m_startupNs = m_clock.nsecsElapsed();
            m_waitingStartup = false;
            QTimer::singleShot(0, this, [this] { reportStartup(); });
            return;
        }
        if (m_mode == QLatin1String("exit")) {
            // Exit comes once every healthy CPU shows its reading, or 1 s after the start if sooner.
            const qint64 left = 1000 - m_clock.elapsed();
            QTimer::singleShot(qMax<qint64>(0, left), this, [this] { exitDuringStartup(); });
        } else if (m_mode != QLatin1String("startup")) {
            // The dead shares are let go at once where start-up with them hung is not measured.
            untilSettled([this] { afterStartup(); });
        }
    }

    struct Window
    {
        frmSetiControl *cpu = nullptr;
        bool hung = false;
        int readings = 0;
        bool answered = false; // the last reading found the files
        bool unreachable = false; // the last reading was the time limit's
    };

    void onReading(quint64 key, const ClientSnapshot &files)
    {
        auto it = m_windows.find(key);
        if (it == m_windows.end()) {
            registerWindows(); // a window made since the last look
            it = m_windows.find(key);
        }
        if (it == m_windows.end())
            return;
        ++it->readings;
        it->answered = files.state.error == 0 && files.user.error == 0;
        it->unreachable = files.state.error == Failure::PathNotFound && files.wtempError == Failure::PathNotFound;
        const bool exitMode = m_mode == QLatin1String("exit");
        if (!m_waitingStartup || (m_mode != QLatin1String("startup") && !exitMode))
            return;
        if (healthyShown() < m_cpus - m_hung)
            return;
        m_waitingStartup = false;
        m_startupNs = m_clock.nsecsElapsed();
        // Not from inside the cycle's own signal: the end of the run stops the cycle.
        QTimer::singleShot(0, this, [this, exitMode] { exitMode ? exitDuringStartup() : reportStartup(); });
    }

    int healthyShown() const
    {
        int shown = 0;
        for (const Window &w : m_windows)
            shown += !w.hung && w.readings > 0;
        return shown;
    }

    bool allRead() const
    {
        for (const Window &w : m_windows)
            if (w.readings == 0)
                return false;
        return true;
    }

    // Lets the dead shares go every 10 ms until every window has its first reading and no read is
    // left hanging; then goes on.
    void untilSettled(std::function<void()> then)
    {
        releaseFifos(m_fifos);
        if (allRead() && m_panel->cycle().hungReads() == 0 && releaseFifos(m_fifos) == 0)
            return then();
        QTimer::singleShot(10, this, [this, then] { untilSettled(then); });
    }

    void afterStartup()
    {
        m_waitingStartup = false;
        if (m_mode == QLatin1String("cycle")) {
            // A cycle over dead shares counts only when they hang afresh; a warm-up would leave
            // them hanging already.
            const int warmUp = m_hung > 0 ? 0 : 1;
            const int measured = m_hung > 0 ? 1 : 3;
            cycles(warmUp + measured, [this, warmUp] {
                m_samples.erase(m_samples.begin(), m_samples.begin() + warmUp);
                reportCycle();
                untilSettled([this] { finish(0); });
            });
        } else if (m_mode == QLatin1String("stall")) {
            cycles(1, [this] {
                m_ticker.stop();
                m_longestGap = qMax(m_longestGap, m_sinceTick.elapsed());
                reportStall();
                finish(0);
            });
        } else if (m_mode == QLatin1String("cputime")) {
            constexpr int WarmUp = 2;
            cycles(WarmUp + 10, [this] {
                m_samples.erase(m_samples.begin(), m_samples.begin() + WarmUp);
                reportCpuTime();
                finish(0);
            });
        } else {
            fail(QStringLiteral("unknown mode ") + m_mode);
        }
    }

    struct Sample
    {
        qint64 wallNs = 0;
        qint64 cpuNs = 0; // of the user-interface thread
    };

    // Runs count cycles back to back, each from Refresh to cycleFinished.
    void cycles(int count, std::function<void()> then)
    {
        if (count == 0)
            return then();
        m_afterCycle = [this, count, then] { cycles(count - 1, then); };
        for (Window &w : m_windows)
            w.readings = 0;
        m_cycleCpu = threadCpuNs();
        m_cycleClock.start();
        m_panel->mnuRefresh_Click();
    }

    void onCycleFinished()
    {
        const Sample s { m_cycleClock.nsecsElapsed(), threadCpuNs() - m_cycleCpu };
        if (!m_afterCycle)
            return;
        if (m_peakKbAfterFirst == 0)
            m_peakKbAfterFirst = peakResidentKb();
        m_samples.push_back(s);
        QTimer::singleShot(0, this, std::exchange(m_afterCycle, nullptr));
    }

    void reportCycle()
    {
        std::vector<qint64> wall;
        for (const Sample &s : m_samples)
            wall.push_back(s.wallNs);
        std::sort(wall.begin(), wall.end());
        const qint64 median = wall[wall.size() / 2];
        QString row;
        if (m_hung == 0) {
            const QString cpus = QStringLiteral("%1 CPU%2,").arg(m_cpus).arg(QLatin1String(m_cpus == 1 ? "" : "s"));
            row = QStringLiteral("cycle %1 %2 ms per call: %3 ms").arg(cpus, 9).arg(m_delayMs, 3).arg(ms(median), 6);
            const int goalMs = m_cpus != MaxCpus ? 0 : m_delayMs == 20 ? 100 : m_delayMs == 100 ? 400 : 0;
            if (goalMs)
                row += QStringLiteral(" (goal <= %1 ms) %2").arg(goalMs).arg(verdict(median <= goalMs * 1000000LL));
            row += QStringLiteral("  [median of %1: %2..%3 ms]")
                       .arg(wall.size())
                       .arg(ms(wall.front()))
                       .arg(ms(wall.back()));
            return print(row);
        }
        int healthyRead = 0;
        int hungRead = 0;
        int deadShown = 0;
        for (const Window &w : std::as_const(m_windows)) {
            if (w.readings != 1)
                continue;
            (w.hung ? hungRead : healthyRead) += w.answered;
            deadShown += w.hung && w.unreachable;
        }
        const qint64 goalNs = (LimitMs + 500) * 1000000LL;
        print(QStringLiteral("cycle %1 CPUs, %2 hung (time limit %3 ms): %4 ms (goal <= %5 ms) %6  "
                             "[read %7 of %8 healthy; %9 of %2 hung shown unreachable, %10 read]")
                  .arg(m_cpus, 3)
                  .arg(m_hung)
                  .arg(LimitMs)
                  .arg(ms(median))
                  .arg(LimitMs + 500)
                  .arg(verdict(median <= goalNs))
                  .arg(healthyRead)
                  .arg(m_cpus - m_hung)
                  .arg(deadShown)
                  .arg(hungRead));
        if (m_cpus - m_hung != 1)
            return;
        // The one healthy CPU comes last, after every hung one: its reading of this cycle found
        // the files, and its window shows a figure of its own.
        for (const Window &w : std::as_const(m_windows)) {
            if (w.hung)
                continue;
            const QString shown = w.cpu->percentText();
            const bool read = w.readings == 1 && w.answered && shown != QLatin1String("0%");
            print(QStringLiteral("%1 hung + 1 healthy: the healthy CPU's reading in the cycle %2, its window "
                                 "shows \"%3\" (goal: read and shown) %4")
                      .arg(m_hung)
                      .arg(w.answered ? QStringLiteral("found its files") : QStringLiteral("did NOT find its files"))
                      .arg(shown)
                      .arg(verdict(read)));
        }
    }

    void reportStartup()
    {
        const qint64 goalMs = m_cpus >= ManyCpus ? 3000 : 1000;
        print(QStringLiteral("start-up, %1 CPUs with %2 hung, until every healthy CPU shows its reading: %3 ms "
                             "(goal <= %4 ms) %5  [Load() until every window made %6 ms]")
                  .arg(m_cpus)
                  .arg(m_hung)
                  .arg(ms(m_startupNs))
                  .arg(goalMs)
                  .arg(verdict(m_startupNs <= goalMs * 1000000LL))
                  .arg(ms(m_loadNs)));
        // For the parent's comparison of start-up times.
        print(QStringLiteral("#startup %1 %2 %3").arg(m_cpus).arg(m_hung).arg(m_startupNs));
        releaseThenFinish();
    }

    // Exit as the user gives it, while the start-up reading of the hung CPUs has not come back.
    void exitDuringStartup()
    {
        if (m_exited)
            return;
        m_exited = true;
        int pending = 0;
        for (const Window &w : std::as_const(m_windows))
            pending += w.hung && w.readings == 0;
        const qint64 at = m_clock.elapsed();
        const int shown = healthyShown();
        QAction *exit = m_panel->findChild<QAction *>(QStringLiteral("mnuFileExit"));
        const bool enabled = exit && exit->isEnabled();
        if (exit)
            exit->trigger();
        const bool closed = !m_panel->isVisible();
        print(QStringLiteral("Exit during start-up, at %1 ms with %2 of %3 healthy CPUs shown and %4 of %5 hung "
                             "still waited for: %6, %7 (goal: closes while they wait) %8")
                  .arg(at)
                  .arg(shown)
                  .arg(m_cpus - m_hung)
                  .arg(pending)
                  .arg(m_hung)
                  .arg(enabled ? QStringLiteral("enabled") : QStringLiteral("DISABLED"))
                  .arg(closed ? QStringLiteral("the window closed") : QStringLiteral("the window did NOT close"))
                  .arg(verdict(enabled && closed && pending > 0)));
        releaseThenFinish();
    }

    // The blocked reads return once their FIFOs see a writer; the run ends when none is left.
    void releaseThenFinish()
    {
        if (releaseFifos(m_fifos) == 0 && m_panel->cycle().hungReads() == 0)
            return finish(0);
        QTimer::singleShot(10, this, [this] { releaseThenFinish(); });
    }

    void reportStall()
    {
        print(QStringLiteral("longest event-loop stall over start-up and a cycle, %1 local CPUs: %2 ms "
                             "(goal <= 50 ms) %3  [Load() until every window made %4 ms; longest after it %5 ms]")
                  .arg(m_cpus)
                  .arg(m_longestGap)
                  .arg(verdict(m_longestGap <= 50))
                  .arg(ms(m_loadNs))
                  .arg(m_longestAfterLoad));
    }

    void reportCpuTime()
    {
        qint64 cycleNs = m_samples.front().cpuNs;
        for (const Sample &s : m_samples)
            cycleNs = qMin(cycleNs, s.cpuNs);
        constexpr int Passes = 20;
        qint64 rawNs = rawReadsCpuNs(m_healthyFolders); // warms the caches once more
        for (int i = 0; i < Passes; ++i)
            rawNs = qMin(rawNs, rawReadsCpuNs(m_healthyFolders));
        std::vector<qint64> wall;
        for (const Sample &s : m_samples)
            wall.push_back(s.wallNs);
        std::sort(wall.begin(), wall.end());
        print(QStringLiteral("UI-thread CPU time of one cycle, %1 local CPUs: %2 ms (goal <= 10 x raw reads = %3 ms) "
                             "%4  [%5 x; raw reads %6 ms; best of %7 cycles and %8 raw passes; cycle wall time "
                             "median %9 ms]")
                  .arg(m_cpus)
                  .arg(ms(cycleNs))
                  .arg(ms(10 * rawNs))
                  .arg(verdict(cycleNs <= 10 * rawNs))
                  .arg(double(cycleNs) / double(rawNs), 0, 'f', 1)
                  .arg(ms(rawNs))
                  .arg(m_samples.size())
                  .arg(Passes)
                  .arg(ms(wall[wall.size() / 2])));
        if (m_cpus >= ManyCpus) {
            constexpr long GoalKb = 150 * 1024;
            print(QStringLiteral("peak resident memory (VmHWM) after the cycles, %1 CPUs: %2 MB (goal <= %3 MB) %4")
                      .arg(m_cpus)
                      .arg(double(m_peakKbAfterFirst) / 1024.0, 0, 'f', 1)
                      .arg(GoalKb / 1024)
                      .arg(verdict(m_peakKbAfterFirst > 0 && m_peakKbAfterFirst <= GoalKb)));
        }
    }

    void fail(const QString &why)
    {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        releaseFifos(m_fifos);
        finish(1);
    }

    // The panel is not closed: closing writes every CPU's section to the store, which only slows
    // the benchmark down (Exit has a run of its own).
    void finish(int code) { QCoreApplication::exit(code); }

    const QString m_mode;
    const int m_cpus;
    const int m_hung;
    const int m_delayMs;
    QTemporaryDir m_settings;
    Options m_options;
    std::unique_ptr<mfrmTavrik> m_panel;
    QHash<quint64, Window> m_windows;
    QStringList m_fifos; // the State.txt of every hung CPU
    QStringList m_healthyFolders;
    bool m_waitingStartup = false;
    QElapsedTimer m_clock; // from just before Load()
    qint64 m_loadNs = 0;
    qint64 m_startupNs = 0;
    QElapsedTimer m_cycleClock;
    qint64 m_cycleCpu = 0;
    std::function<void()> m_afterCycle;
    std::vector<Sample> m_samples;
    QTimer m_ticker;
    QElapsedTimer m_sinceTick;
    qint64 m_longestGap = 0;
    qint64 m_longestAfterLoad = 0;
    int m_ticks = 0;
    bool m_exited = false;
    long m_peakKbAfterFirst = 0;
};

// The runs, one child process each, one after the other.
class Parent : public QObject
{
public:
    struct Run
    {
        QString mode;
        int cpus;
        int hung;
        int delayMs;
    };

    explicit Parent(std::vector<Run> runs)
        : m_runs(std::move(runs))
    {
    }

    bool prepare()
    {
        m_clients = m_root.filePath(Marker.mid(1).chopped(1));
        for (int i = 0; i < ManyCpus + MaxHung; ++i) {
            const bool hung = i >= ManyCpus;
            const QString name = hung ? QStringLiteral("hung%1").arg(i - ManyCpus) : QStringLiteral("cpu%1").arg(i);
            SimulatedClient::Options options;
            options.seed = quint32(i + 1);
            SimulatedClient client(m_clients + u'/' + name + u'/', options);
            // Part way through a unit, so a window that was read shows a figure of its own.
            client.setProgress(0.05 + 0.009 * (i % MaxCpus), 3600 + i);
            if (!client.start()) {
                std::fprintf(stderr, "%s\n", qPrintable(client.error()));
                return false;
            }
            if (hung
                && (!QFile::remove(client.statePath())
                    || ::mkfifo(QFile::encodeName(client.statePath()).constData(), 0600) != 0)) {
                std::fprintf(stderr, "no FIFO at %s\n", qPrintable(client.statePath()));
                return false;
            }
        }
        return true;
    }

    void next()
    {
        if (m_next == m_runs.size()) {
            if (m_startupNs.count(MaxCpus) && m_startupNs.count(ManyCpus)) {
                const double ratio = double(m_startupNs[ManyCpus]) / double(m_startupNs[MaxCpus]);
                print(QStringLiteral("start-up grows with the count: %1 CPUs take %2 x the time of %3 (goal <= 15 x, "
                                     "linear) %4")
                          .arg(ManyCpus)
                          .arg(ratio, 0, 'f', 1)
                          .arg(MaxCpus)
                          .arg(verdict(ratio <= 15.0)));
            }
            QString calls;
            for (const auto &[name, count] : m_callsByName)
                calls += QStringLiteral(" %1 %2,").arg(name).arg(count);
            print(
                QStringLiteral("read-delay library, delayed calls by name over every delayed run:") + calls.chopped(1));
            return QCoreApplication::exit(m_failed ? 1 : 0);
        }
        const Run run = m_runs[m_next++];
        auto *child = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (env.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty())
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        const QString log = m_root.filePath(QStringLiteral("delay-%1.log").arg(m_next));
        if (run.delayMs > 0) {
#ifdef TAVRIK_READDELAY_PATH
            const QString before = env.value(QStringLiteral("LD_PRELOAD"));
            env.insert(QStringLiteral("LD_PRELOAD"),
                QStringLiteral(TAVRIK_READDELAY_PATH) + (before.isEmpty() ? QString() : u':' + before));
            env.insert(QStringLiteral("TAVRIK_DELAY_MARKER"), Marker);
            env.insert(QStringLiteral("TAVRIK_DELAY_MS"), QString::number(run.delayMs));
            env.insert(QStringLiteral("TAVRIK_DELAY_LOG"), log);
#else
            print(QStringLiteral("skipped: %1 ms per call needs the read-delay library (Linux)").arg(run.delayMs));
            child->deleteLater();
            return next();
#endif
        }
        child->setProcessEnvironment(env);
        // A child that never ends would hold up the whole benchmark.
        auto *watchdog = new QTimer(child);
        watchdog->setSingleShot(true);
        connect(watchdog, &QTimer::timeout, child, [child] { child->kill(); });
        connect(child, &QProcess::finished, this, [this, child, run, log](int code, QProcess::ExitStatus status) {
            for (const QByteArray &line : child->readAllStandardOutput().split('\n')) {
                if (line.startsWith("#startup ")) {
                    const QList<QByteArray> f = line.split(' ');
                    if (f.size() == 4 && f[2] == "0")
                        m_startupNs[f[1].toInt()] = f[3].toLongLong();
                } else if (!line.isEmpty()) {
                    print(QString::fromUtf8(line));
                }
            }
            if (status != QProcess::NormalExit || code != 0) {
                m_failed = true;
                print(QStringLiteral("run %1 %2 %3 %4 FAILED (exit %5):")
                          .arg(run.mode)
                          .arg(run.cpus)
                          .arg(run.hung)
                          .arg(run.delayMs)
                          .arg(code));
                std::fputs(child->readAllStandardError().constData(), stdout);
            }
            if (run.delayMs > 0)
                countDelayedCalls(log);
            child->deleteLater();
            next();
        });
        child->start(QCoreApplication::applicationFilePath(),
            { QStringLiteral("--child"), run.mode, QString::number(run.cpus), QString::number(run.hung),
                QString::number(run.delayMs), m_clients });
        watchdog->start(60000);
    }

private:
    void countDelayedCalls(const QString &log)
    {
        QFile f(log);
        if (!f.open(QIODevice::ReadOnly))
            return;
        while (!f.atEnd()) {
            const QList<QByteArray> parts = f.readLine().split(' ');
            if (parts.size() >= 3)
                ++m_callsByName[QString::fromLatin1(parts[1])];
        }
    }

    const std::vector<Run> m_runs;
    size_t m_next = 0;
    QTemporaryDir m_root;
    QString m_clients;
    std::map<QString, int> m_callsByName;
    std::map<int, qint64> m_startupNs; // by CPU count, runs without hung CPUs
    bool m_failed = false;
};

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 7 && qstrcmp(argv[1], "--child") == 0) {
        QApplication app(argc, argv);
        // The run ends on its own, after letting its hung reads go, not when the window closes.
        app.setQuitOnLastWindowClosed(false);
        Child child(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]),
            QString::fromLocal8Bit(argv[6]));
        QTimer::singleShot(0, &child, [&child] { child.start(); });
        return app.exec();
    }
    QCoreApplication app(argc, argv);
    std::vector<Parent::Run> runs;
    // --scale: only the runs over many CPUs.
    const bool scaleOnly = argc == 2 && qstrcmp(argv[1], "--scale") == 0;
    for (int cpus : { 1, 10, MaxCpus })
        for (int delayMs : { 0, 20, 100 })
            runs.push_back({ QStringLiteral("cycle"), cpus, 0, delayMs });
    runs.push_back({ QStringLiteral("cycle"), MaxCpus, 10, 0 });
    runs.push_back({ QStringLiteral("cycle"), MaxHung + 1, MaxHung, 0 });
    if (scaleOnly)
        runs.clear();
    if (!scaleOnly) {
        runs.push_back({ QStringLiteral("startup"), MaxCpus, 10, 0 });
        runs.push_back({ QStringLiteral("exit"), MaxCpus, 10, 0 });
        runs.push_back({ QStringLiteral("stall"), MaxCpus, 0, 0 });
    }
    runs.push_back({ QStringLiteral("cputime"), MaxCpus, 0, 0 });
    // Scale: start-up of 100 and of 1,000 CPUs in the same run, then cycles over 1,000.
    runs.push_back({ QStringLiteral("startup"), MaxCpus, 0, 0 });
    runs.push_back({ QStringLiteral("startup"), ManyCpus, 0, 0 });
    runs.push_back({ QStringLiteral("cputime"), ManyCpus, 0, 0 });
    // --run MODE CPUS: that one run alone, for profiling.
    if (argc == 4 && qstrcmp(argv[1], "--run") == 0)
        runs = { { QString::fromLatin1(argv[2]), std::atoi(argv[3]), 0, 0 } };
    Parent parent(std::move(runs));
    if (!parent.prepare())
        return 1;
    print(
        QStringLiteral("The real main window, offscreen; one process per line; default time limit %1 ms").arg(LimitMs));
    QTimer::singleShot(0, &parent, [&parent] { parent.next(); });
    return app.exec();
}
