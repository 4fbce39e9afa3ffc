#include "WebOptions.h"

#include "StatusPage.h"
#include "export/Exporter.h"

#include <QCommandLineParser>

#include <cstdio>

namespace {

const WebLimits Defaults;

} // namespace

WebOptions::WebOptions()
    : m_listen(QStringLiteral("web.listen-address"),
        QStringLiteral("Serve /metrics, a status page (/), /api/v1/cpus and /healthz on HOST:PORT (:PORT: every "
                       "interface; default port %1). Off the loopback address only with TLS and basic auth.")
            .arg(ListenAddress::DefaultPort),
        QStringLiteral("ADDRESS"))
    , m_config(QStringLiteral("web.config.file"),
          QStringLiteral("TLS and basic auth settings (tls_server_config, basic_auth_users with bcrypt hashes)."),
          QStringLiteral("FILE"))
    , m_insecure(QStringLiteral("web.insecure"),
          QStringLiteral("Allow listening off the loopback address without TLS and auth."))
    , m_maxConnections(QStringLiteral("web.max-connections"),
          QStringLiteral("Connections served at once (default %1).").arg(Defaults.maxConnections), QStringLiteral("N"),
          QString::number(Defaults.maxConnections))
    , m_timeout(QStringLiteral("web.timeout"),
          QStringLiteral("Seconds before an idle or slow client is dropped (default %1).").arg(Defaults.timeoutSeconds),
          QStringLiteral("S"), QString::number(Defaults.timeoutSeconds))
    , m_maxHeader(QStringLiteral("web.max-header-bytes"),
          QStringLiteral("Largest request head; more is refused with 431 (default %1).").arg(Defaults.maxHeaderBytes),
          QStringLiteral("BYTES"), QString::number(Defaults.maxHeaderBytes))
{
}

void WebOptions::addTo(QCommandLineParser &parser) const
{
    parser.addOptions({ m_listen, m_config, m_insecure, m_maxConnections, m_timeout, m_maxHeader });
}

bool WebOptions::listening(const QCommandLineParser &parser) const
{
    return parser.isSet(m_listen);
}

std::unique_ptr<WebServer> WebOptions::start(
    const QCommandLineParser &parser, int intervalSeconds, QString *error, int *status) const
{
    *status = 2;
    const auto address = ListenAddress::Parse(parser.value(m_listen), error);
    if (!address)
        return nullptr;
    WebConfig config;
    if (parser.isSet(m_config)) {
        const auto loaded = WebConfig::Load(parser.value(m_config), error);
        if (!loaded)
            return nullptr;
        config = *loaded;
    }
    if (!IsLoopbackHost(address->host) && !(config.tls() && config.auth()) && !parser.isSet(m_insecure)) {
        *error = QStringLiteral("refusing to listen on %1 without TLS and basic auth: anyone on the network could "
                                "read it. Give --web.config.file with tls_server_config and basic_auth_users, listen "
                                "on 127.0.0.1, or add --web.insecure.")
                     .arg(parser.value(m_listen));
        return nullptr;
    }
    WebLimits limits;
    bool ok[3] = {};
    limits.maxConnections = parser.value(m_maxConnections).toInt(&ok[0]);
    limits.timeoutSeconds = parser.value(m_timeout).toInt(&ok[1]);
    limits.maxHeaderBytes = parser.value(m_maxHeader).toInt(&ok[2]);
    if (!ok[0] || !ok[1] || !ok[2] || limits.maxConnections < 1 || limits.timeoutSeconds < 1
        || limits.maxHeaderBytes < 1024) {
        *error = QStringLiteral(
            "--web.max-connections and --web.timeout need a whole number from 1, --web.max-header-bytes one from 1024");
        return nullptr;
    }
    auto server = std::make_unique<WebServer>(config, limits, intervalSeconds);
    if (!server->start(*address, error)) {
        *status = 1;
        return nullptr;
    }
    const QString host = address->host.contains(u':') ? u'[' + address->host + u']' : address->host;
    std::fprintf(stderr, "tavrik-exporter: listening on %s://%s:%u/\n", config.tls() ? "https" : "http",
        qUtf8Printable(host.isEmpty() ? QStringLiteral("*") : host), unsigned(server->port()));
    return server;
}

void WebOptions::Publish(WebServer &server, const Exporter &exporter, int intervalSeconds)
{
    StatusSnapshot status = exporter.statusSnapshot();
    status.intervalSeconds = intervalSeconds;
    server.publish(std::make_shared<const WebContent>(WebContent { MetricsText::Render(exporter.snapshot()),
        StatusPage::Html(status), StatusPage::Json(status), WebServer::NowMs() }));
}
