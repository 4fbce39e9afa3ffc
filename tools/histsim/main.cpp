#include "HistorySimulation.h"

#include "history/HistoryStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes a simulated fleet's history into a history file (created when missing) through the panel's own "
        "recording code."));
    parser.addHelpOption();
    const QCommandLineOption cpus(
        QStringLiteral("cpus"), QStringLiteral("Number of CPUs (100)."), QStringLiteral("N"), QStringLiteral("100"));
    const QCommandLineOption days(QStringLiteral("days"), QStringLiteral("Days of history up to now (365)."),
        QStringLiteral("N"), QStringLiteral("365"));
    const QCommandLineOption seed(
        QStringLiteral("seed"), QStringLiteral("Random seed (1)."), QStringLiteral("N"), QStringLiteral("1"));
    parser.addOptions({ cpus, days, seed });
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The history file to write."));
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    HistorySimulation sim;
    sim.cpus = parser.value(cpus).toInt();
    sim.days = parser.value(days).toInt();
    sim.seed = parser.value(seed).toUInt();
    const QString file = parser.positionalArguments().constFirst();
    QElapsedTimer timer;
    timer.start();
    HistorySimulation::Totals totals;
    {
        HistoryStore store(file);
        totals = sim.run(store);
        if (!store.isOn()) {
            std::fprintf(stderr, "tavrik-histsim: %s\n", qUtf8Printable(store.offReason()));
            return 1;
        }
    }
    std::printf("%d CPUs, %d days: %lld readings, %lld units, %lld transactions in %.1f s; %s is %.1f MB\n", sim.cpus,
        sim.days, totals.observations, totals.units, totals.cycles, double(timer.elapsed()) / 1000.0,
        qUtf8Printable(file), double(QFileInfo(file).size()) / 1e6);
    return 0;
}
