#include "SimulatedClient.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QThread>

#include <cstdio>

namespace {

const char *phaseName(SimulatedClient::Phase p)
{
    switch (p) {
    case SimulatedClient::Phase::Working:
        return "working";
    case SimulatedClient::Phase::Stalled:
        return "stalled";
    case SimulatedClient::Phase::Downloading:
        return "downloading";
    case SimulatedClient::Phase::Starting:
        return "starting";
    }
    return "?";
}

int usageError(const QString &message)
{
    std::fprintf(stderr, "tavrik-simclient: %s\nTry 'tavrik-simclient --help'.\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavrik-simclient"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes the files of a simulated client (State.txt, User_Info.txt, wtemp.txt) into DIR and keeps\n"
        "them changing one step at a time, the way a real client does: whole-file rewrites that a reader\n"
        "can catch half written, progress that advances, a finished unit, a download file that grows to\n"
        "360448 bytes, then a new unit with higher account counts.\n\n"
        "Examples:\n"
        "  tavrik-simclient /tmp/cpu1 --speed 5            a client that moves fast\n"
        "  tavrik-simclient /tmp/cpu2 --stall              stops half way (the panel turns red)\n"
        "  tavrik-simclient /tmp/cpu3 --download --speed 0 stuck in a download (the alarm sounds)\n"
        "  tavrik-simclient /tmp/cpu4 --once --prog 0.5 --cpu 3600   one fixed set of files"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("The client directory (created if needed)."));
    const QCommandLineOption speed(QStringLiteral("speed"),
        QStringLiteral("Percent of a work unit done per step (default 1). A healthy "
                       "download takes about 20 steps at speed 1."),
        QStringLiteral("X"), QStringLiteral("1"));
    const QCommandLineOption stall(
        QStringLiteral("stall"), QStringLiteral("Progress stops half way through the unit."));
    const QCommandLineOption download(QStringLiteral("download"),
        QStringLiteral("Start late in a download that grows by 0.1 % per step times the speed (not at all at 0)."));
    const QCommandLineOption once(QStringLiteral("once"), QStringLiteral("Write one set of files and exit."));
    const QCommandLineOption steps(QStringLiteral("steps"),
        QStringLiteral("Stop after N steps (default: run until interrupted)."), QStringLiteral("N"));
    const QCommandLineOption interval(QStringLiteral("interval"),
        QStringLiteral("Milliseconds between steps (default 1000)."), QStringLiteral("MS"), QStringLiteral("1000"));
    const QCommandLineOption crlf(QStringLiteral("crlf"), QStringLiteral("End lines with CR LF instead of LF."));
    const QCommandLineOption lowerNames(
        QStringLiteral("lower-names"), QStringLiteral("Name the files state.txt and user_info.txt."));
    const QCommandLineOption seed(QStringLiteral("seed"),
        QStringLiteral("Varies account numbers and unit lengths (default 1)."), QStringLiteral("N"),
        QStringLiteral("1"));
    const QCommandLineOption prog(
        QStringLiteral("prog"), QStringLiteral("Start at this fraction of the unit (0-1)."), QStringLiteral("F"));
    const QCommandLineOption cpu(
        QStringLiteral("cpu"), QStringLiteral("Processor seconds spent on the unit so far."), QStringLiteral("S"));
    const QCommandLineOption nwus(
        QStringLiteral("nwus"), QStringLiteral("Work units downloaded by the account."), QStringLiteral("N"));
    const QCommandLineOption nresults(
        QStringLiteral("nresults"), QStringLiteral("Results returned by the account."), QStringLiteral("N"));
    const QCommandLineOption totalCpu(
        QStringLiteral("total-cpu"), QStringLiteral("The account's processor seconds in all."), QStringLiteral("S"));
    const QCommandLineOption wtemp(QStringLiteral("wtemp"),
        QStringLiteral("Start in a download of this many bytes (unit finished)."), QStringLiteral("BYTES"));
    const QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Print one line per step."));
    parser.addOptions({ speed, stall, download, once, steps, interval, crlf, lowerNames, seed, prog, cpu, nwus,
        nresults, totalCpu, wtemp, verbose });
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    if (args.size() != 1)
        return usageError(QStringLiteral("exactly one DIR is needed"));

    auto number = [&parser](const QCommandLineOption &o, double *out) {
        bool ok = false;
        *out = parser.value(o).toDouble(&ok);
        return ok;
    };
    SimulatedClient::Options options;
    double value = 0;
    if (!number(speed, &options.speed) || options.speed < 0)
        return usageError(QStringLiteral("--speed needs a number of at least 0"));
    if (!number(seed, &value) || value < 0)
        return usageError(QStringLiteral("--seed needs a whole number"));
    options.seed = quint32(value);
    options.stall = parser.isSet(stall);
    options.download = parser.isSet(download);
    options.crlf = parser.isSet(crlf);
    options.lowerNames = parser.isSet(lowerNames);
    int waitMs = 0;
    if (!number(interval, &value) || value < 0)
        return usageError(QStringLiteral("--interval needs milliseconds"));
    waitMs = int(value);
    qint64 maxSteps = -1;
    if (parser.isSet(steps)) {
        if (!number(steps, &value) || value < 0)
            return usageError(QStringLiteral("--steps needs a whole number"));
        maxSteps = qint64(value);
    }

    SimulatedClient sim(args.first(), options);
    if (parser.isSet(prog) || parser.isSet(cpu)) {
        double p = sim.progress(), c = sim.cpuSeconds();
        if ((parser.isSet(prog) && !number(prog, &p)) || (parser.isSet(cpu) && !number(cpu, &c)))
            return usageError(QStringLiteral("--prog and --cpu need numbers"));
        sim.setProgress(p, c);
    }
    if (parser.isSet(nwus) || parser.isSet(nresults) || parser.isSet(totalCpu)) {
        double n = double(sim.unitsDownloaded()), r = double(sim.resultsReturned()), t = sim.totalCpuSeconds();
        if ((parser.isSet(nwus) && !number(nwus, &n)) || (parser.isSet(nresults) && !number(nresults, &r))
            || (parser.isSet(totalCpu) && !number(totalCpu, &t)))
            return usageError(QStringLiteral("--nwus, --nresults and --total-cpu need numbers"));
        sim.setAccount(qint64(n), qint64(r), t);
    }
    if (parser.isSet(wtemp)) {
        if (!number(wtemp, &value) || value < 0)
            return usageError(QStringLiteral("--wtemp needs a number of bytes"));
        sim.setDownloadBytes(qint64(value));
    }

    auto report = [&](qint64 step) {
        if (!parser.isSet(verbose))
            return;
        std::printf("step %lld: %s, prog %.6f, cpu %.0f s, nwus %lld, nresults %lld, wtemp %lld\n", step,
            phaseName(sim.phase()), sim.progress(), sim.cpuSeconds(), sim.unitsDownloaded(), sim.resultsReturned(),
            sim.downloadBytes());
        std::fflush(stdout);
    };

    if (!sim.start()) {
        std::fprintf(stderr, "tavrik-simclient: %s\n", qPrintable(sim.error()));
        return 1;
    }
    report(0);
    if (parser.isSet(once))
        return 0;
    for (qint64 i = 1; maxSteps < 0 || i <= maxSteps; ++i) {
        if (waitMs > 0)
            QThread::msleep(ulong(waitMs));
        if (!sim.step()) {
            std::fprintf(stderr, "tavrik-simclient: %s\n", qPrintable(sim.error()));
            return 1;
        }
        report(i);
    }
    return 0;
}
