// tavrik-exporter: the panel's update cycle without a display, writing node_exporter's textfile.
#include "WebOptions.h"
#include "export/Exporter.h"
#include "settings/Options.h"
#include "settings/SettingsStore.h"
#include "shared/Platform.h"
#include "shared/SafeFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

int usageError(const QString &message)
{
    std::fprintf(stderr, "tavrik-exporter: %s\nTry 'tavrik-exporter --help'.\n", qUtf8Printable(message));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavrik-exporter"));
    QCoreApplication::setApplicationVersion(modTavrik::ProgramVersion());
    // From the first moment: a stop before the first cycle is still a clean one.
    Platform::InstallTerminationHandler([] { QCoreApplication::quit(); });

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Reads every CPU of the Tavrik panel's settings (those that allow updates) on the panel's update\n"
        "cycle and writes their progress and state as Prometheus metrics, in the textfile format that\n"
        "node_exporter's --collector.textfile.directory collects. The file is replaced whole after each cycle."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption settings(QStringLiteral("settings"),
        QStringLiteral("Take the CPU list and options from this settings file instead of the user's."),
        QStringLiteral("FILE"));
    const QCommandLineOption interval(QStringLiteral("interval"),
        QStringLiteral("Seconds between cycles (default: the panel's MonitorInterval + 1)."), QStringLiteral("S"));
    const QCommandLineOption textfile(QStringLiteral("textfile"),
        QStringLiteral("The metrics file to write, or a folder for tavrik.prom (default\n"
                       "/var/lib/prometheus/node-exporter/tavrik.prom)."),
        QStringLiteral("PATH"), QStringLiteral("/var/lib/prometheus/node-exporter/tavrik.prom"));
    const QCommandLineOption state(QStringLiteral("state"),
        QStringLiteral("Where the last readings are kept between runs (default: .tavrik-exporter-state.json\n"
                       "beside the metrics file)."),
        QStringLiteral("FILE"));
    const QCommandLineOption once(QStringLiteral("once"), QStringLiteral("Run one cycle, write the file and exit."));
    parser.addOptions({ settings, interval, textfile, state, once });
    const WebOptions web;
    web.addTo(parser);
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));

    if (parser.isSet(settings)) {
        const QString file = parser.value(settings);
        if (const QString why = SafeFile::Refusal(file); !why.isEmpty())
            return usageError(why);
        if (!QFileInfo(file).isFile())
            return usageError(QStringLiteral("no settings file %1").arg(file));
        SettingsStore::useFile(QFileInfo(file).absoluteFilePath());
    }
    for (const QString &problem : SettingsStore::checkAccess())
        std::fprintf(stderr, "tavrik-exporter: %s\n", qUtf8Printable(problem));
    Options options;
    modTavrik::LoadOptions(options);
    int seconds = qMax(0, int(options.monitorInterval())) + 1;
    if (parser.isSet(interval)) {
        bool ok = false;
        seconds = parser.value(interval).toInt(&ok);
        if (!ok || seconds < 1 || seconds > 86400)
            return usageError(QStringLiteral("--interval needs whole seconds from 1 to 86400"));
    }
    // Served metrics replace the textfile unless both are asked for (the series would be doubled).
    const bool serve = web.listening(parser) && !parser.isSet(once);
    QFileInfo text(parser.value(textfile));
    if (const QString why = SafeFile::Refusal(text.filePath(), SafeFile::Allow::FileOrFolder); !why.isEmpty())
        return usageError(QStringLiteral("--textfile: ") + why);
    if (text.isDir())
        text.setFile(QDir(text.absoluteFilePath()).filePath(QStringLiteral("tavrik.prom")));
    const bool writeText = !serve || parser.isSet(textfile);
    const QString stateFile = parser.isSet(state) ? parser.value(state)
        : writeText ? text.absoluteDir().filePath(QStringLiteral(".tavrik-exporter-state.json"))
                    : QString();
    if (writeText) {
        if (const QString why = SafeFile::Refusal(text.filePath()); !why.isEmpty())
            return usageError(QStringLiteral("--textfile: ") + why);
    }
    if (!stateFile.isEmpty()) {
        if (const QString why = SafeFile::Refusal(stateFile); !why.isEmpty())
            return usageError(QStringLiteral("--state: ") + why);
        if (writeText && SafeFile::SameFile(stateFile, text.filePath()))
            return usageError(QStringLiteral("--state and --textfile name the same file %1").arg(stateFile));
    }

    std::unique_ptr<WebServer> server;
    if (serve) {
        QString error;
        int status = 0;
        server = web.start(parser, seconds, &error, &status);
        if (!server && status == 2)
            return usageError(error);
        if (!server) {
            std::fprintf(stderr, "tavrik-exporter: %s\n", qUtf8Printable(error));
            return status;
        }
    }

    Exporter exporter(options, writeText ? text.absoluteFilePath() : QString());
    exporter.loadStoredCpus();
    exporter.setStateFile(stateFile);
    if (!exporter.stateNote().isEmpty())
        std::fprintf(stderr, "tavrik-exporter: %s\n", qUtf8Printable(exporter.stateNote()));

    const bool single = parser.isSet(once);
    QObject::connect(&exporter, &Exporter::cycleWritten, &app, [&](bool ok) {
        if (!ok)
            std::fprintf(stderr, "tavrik-exporter: could not write %s\n", qUtf8Printable(exporter.error()));
        if (server)
            WebOptions::Publish(*server, exporter, seconds);
        if (single)
            QCoreApplication::exit(ok ? 0 : 1);
    });
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &exporter, &Exporter::runCycle);
    if (!single)
        timer.start(seconds * 1000);
    Platform::InstallTerminationHandler([&] {
        timer.stop();
        exporter.stop();
        QCoreApplication::quit();
    });
    QTimer::singleShot(0, &exporter, &Exporter::runCycle);
    return app.exec();
}
