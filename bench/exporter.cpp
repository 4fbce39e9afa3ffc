// One tavrik-exporter cycle over 1,000 simulated CPUs on the local disk: the cycle's time (the
// readings, the state decisions and the textfile written) and the process's peak memory.
//
// Usage: bench_exporter [cpus]
#include "export/Exporter.h"
#include "SimulatedClient.h"
#include "settings/Options.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <psapi.h> // needs windows.h before it
#else
#include <sys/resource.h>
#endif

namespace {

constexpr qint64 GoalMs = 2000; // far inside the default 31 s between cycles
constexpr long GoalPeakKb = 100 * 1024;

long peakKb()
{
#ifdef Q_OS_WIN
    PROCESS_MEMORY_COUNTERS counters {};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return long(counters.PeakWorkingSetSize / 1024);
#else
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#endif
}

const char *verdict(bool met)
{
    return met ? "met" : "NOT MET";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int cpus = argc > 1 ? QByteArray(argv[1]).toInt() : 1000;
    QTemporaryDir dir;
    QList<QPair<QString, QString>> list;
    for (int i = 0; i < cpus; ++i) {
        // Every tenth stalls and every tenth waits for a download, so each kind of decision runs.
        SimulatedClient::Options o;
        o.seed = quint32(i + 1);
        o.stall = i % 10 == 1;
        o.download = i % 10 == 2;
        const QString path = dir.filePath(QStringLiteral("cpu%1/").arg(i));
        SimulatedClient client(path, o);
        client.setProgress(0.1 + 0.0008 * i, 1000 + i);
        if (!client.start()) {
            std::fprintf(stderr, "bench_exporter: %s\n", qPrintable(client.error()));
            return 1;
        }
        list.append({ QStringLiteral("cpu %1").arg(i), path });
    }
    const long beforeKb = peakKb();

    Options options;
    options.update([](OptionValues &v) { v.AlarmInterval = 5; });
    const QString prom = dir.filePath(QStringLiteral("tavrik.prom"));
    Exporter exporter(options, prom);
    exporter.setCpus(list);
    exporter.setStateFile(dir.filePath(QStringLiteral("state.json")));
    QElapsedTimer timer;
    QList<qint64> cycleNs;
    QObject::connect(&exporter, &Exporter::cycleWritten, &app, [&](bool ok) {
        cycleNs.append(timer.nsecsElapsed());
        if (!ok || cycleNs.size() == 3) {
            QCoreApplication::exit(ok ? 0 : 1);
            return;
        }
        timer.start();
        exporter.runCycle();
    });
    timer.start();
    exporter.runCycle();
    if (app.exec() != 0) {
        std::fprintf(stderr, "bench_exporter: %s\n", qPrintable(exporter.error()));
        return 1;
    }

    const long afterKb = peakKb();
    const qint64 worstMs = *std::max_element(cycleNs.cbegin(), cycleNs.cend()) / 1000000;
    std::printf("exporter cycle over %d simulated CPUs: %.1f ms, %.1f ms, %.1f ms (goal <= %lld ms) %s\n", cpus,
        cycleNs[0] / 1e6, cycleNs[1] / 1e6, cycleNs[2] / 1e6, GoalMs, verdict(worstMs <= GoalMs));
    std::printf("peak memory: %.1f MB (%.1f MB before the exporter; goal <= %ld MB) %s\n", afterKb / 1024.0,
        beforeKb / 1024.0, GoalPeakKb / 1024, verdict(afterKb <= GoalPeakKb));
    std::printf("textfile: %lld bytes\n", QFileInfo(prom).size());
    return 0;
}
