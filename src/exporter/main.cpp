// tavrik-exporter: the panel's update cycle without a display, writing node_exporter's textfile.
#include "StatusPage.h"
#include "WebServer.h"
#include "export/Exporter.h"
#include "settings/Options.h"
#include "settings/SettingsStore.h"
#include "shared/Platform.h"

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
        QStringLiteral("The metrics file to write (default /var/lib/prometheus/node-exporter/tavrik.prom)."),
        QStringLiteral("PATH"), QStringLiteral("/var/lib/prometheus/node-exporter/tavrik.prom"));
    const QCommandLineOption state(QStringLiteral("state"),
        QStringLiteral("Where the last readings are kept between runs (default: .tavrik-exporter-state.json\n"
                       "beside the metrics file)."),
        QStringLiteral("FILE"));
    const QCommandLineOption once(QStringLiteral("once"), QStringLiteral("Run one cycle, write the file and exit."));
    const QCommandLineOption listen(QStringLiteral("web.listen-address"),
        QStringLiteral("Serve /metrics, a status page (/), /api/v1/cpus and /healthz on HOST:PORT (:PORT: every\n"
                       "interface; default port %1). Off the loopback address only with TLS and basic auth.")
            .arg(ListenAddress::DefaultPort),
        QStringLiteral("ADDRESS"));
    const QCommandLineOption webConfig(QStringLiteral("web.config.file"),
        QStringLiteral("TLS and basic auth settings (tls_server_config, basic_auth_users with bcrypt hashes)."),
        QStringLiteral("FILE"));
    const QCommandLineOption insecure(QStringLiteral("web.insecure"),
        QStringLiteral("Allow listening off the loopback address without TLS and auth."));
    const WebLimits defaults;
    const QCommandLineOption maxConnections(QStringLiteral("web.max-connections"),
        QStringLiteral("Connections served at once (default %1).").arg(defaults.maxConnections), QStringLiteral("N"),
        QString::number(defaults.maxConnections));
    const QCommandLineOption timeout(QStringLiteral("web.timeout"),
        QStringLiteral("Seconds before an idle or slow client is dropped (default %1).").arg(defaults.timeoutSeconds),
        QStringLiteral("S"), QString::number(defaults.timeoutSeconds));
    const QCommandLineOption maxHeader(QStringLiteral("web.max-header-bytes"),
        QStringLiteral("Largest request head; more is refused with 431 (default %1).").arg(defaults.maxHeaderBytes),
        QStringLiteral("BYTES"), QString::number(defaults.maxHeaderBytes));
    parser.addOptions(
        { settings, interval, textfile, state, once, listen, webConfig, insecure, maxConnections, timeout, maxHeader });
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));

    if (parser.isSet(settings)) {
        const QString file = parser.value(settings);
        if (!QFileInfo(file).isFile())
            return usageError(QStringLiteral("no settings file %1").arg(file));
        SettingsStore::useFile(QFileInfo(file).absoluteFilePath());
    }
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
    const bool serve = parser.isSet(listen) && !parser.isSet(once);
    QFileInfo text(parser.value(textfile));
    if (text.isDir())
        text.setFile(QDir(text.absoluteFilePath()).filePath(QStringLiteral("tavrik.prom")));
    const bool writeText = !serve || parser.isSet(textfile);
    const QString stateFile = parser.isSet(state) ? parser.value(state)
        : writeText ? text.absoluteDir().filePath(QStringLiteral(".tavrik-exporter-state.json"))
                    : QString();

    std::unique_ptr<WebServer> web;
    if (serve) {
        QString error;
        const auto address = ListenAddress::Parse(parser.value(listen), &error);
        if (!address)
            return usageError(error);
        WebConfig config;
        if (parser.isSet(webConfig)) {
            const auto loaded = WebConfig::Load(parser.value(webConfig), &error);
            if (!loaded)
                return usageError(error);
            config = *loaded;
        }
        if (!IsLoopbackHost(address->host) && !(config.tls() && config.auth()) && !parser.isSet(insecure))
            return usageError(QStringLiteral("refusing to listen on %1 without TLS and basic auth: anyone on the "
                                             "network could read it. Give --web.config.file with tls_server_config "
                                             "and basic_auth_users, listen on 127.0.0.1, or add --web.insecure.")
                                  .arg(parser.value(listen)));
        WebLimits limits;
        bool ok[3] = {};
        limits.maxConnections = parser.value(maxConnections).toInt(&ok[0]);
        limits.timeoutSeconds = parser.value(timeout).toInt(&ok[1]);
        limits.maxHeaderBytes = parser.value(maxHeader).toInt(&ok[2]);
        if (!ok[0] || !ok[1] || !ok[2] || limits.maxConnections < 1 || limits.timeoutSeconds < 1
            || limits.maxHeaderBytes < 1024)
            return usageError(QStringLiteral("--web.max-connections and --web.timeout need a whole number from 1, "
                                             "--web.max-header-bytes one from 1024"));
        web = std::make_unique<WebServer>(config, limits, seconds);
        if (!web->start(*address, &error)) {
            std::fprintf(stderr, "tavrik-exporter: %s\n", qUtf8Printable(error));
            return 1;
        }
        const QString host = address->host.contains(u':') ? u'[' + address->host + u']' : address->host;
        std::fprintf(stderr, "tavrik-exporter: listening on %s://%s:%u/\n", config.tls() ? "https" : "http",
            qUtf8Printable(host.isEmpty() ? QStringLiteral("*") : host), unsigned(web->port()));
    }

    Exporter exporter(options, writeText ? text.absoluteFilePath() : QString());
    exporter.loadStoredCpus();
    exporter.setStateFile(stateFile);

    const bool single = parser.isSet(once);
    QObject::connect(&exporter, &Exporter::cycleWritten, &app, [&](bool ok) {
        if (!ok)
            std::fprintf(stderr, "tavrik-exporter: could not write %s\n", qUtf8Printable(exporter.error()));
        if (web) {
            StatusSnapshot status = exporter.statusSnapshot();
            status.intervalSeconds = seconds;
            web->publish(std::make_shared<const WebContent>(WebContent { MetricsText::Render(exporter.snapshot()),
                StatusPage::Html(status), StatusPage::Json(status), WebServer::NowMs() }));
        }
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
