#pragma once

#include "WebConfig.h"

#include <QByteArray>
#include <QMutex>
#include <QString>

#include <atomic>
#include <memory>

class BasicAuth;
struct MHD_Daemon;
struct MHD_Connection;

// What one cycle leaves to serve, rendered once and handed over whole.
struct WebContent
{
    QByteArray metrics;
    QByteArray page;
    QByteArray json;
    qint64 endedMs = 0; // steady clock, when the cycle ended
};

struct WebLimits
{
    int maxConnections = 64;
    int timeoutSeconds = 10; // an idle or slow client is dropped after this
    int maxHeaderBytes = 8192; // request line and headers; over it: 431
};

// The exporter's HTTP(S) server, on libmicrohttpd's own threads: /metrics, /, /api/v1/cpus,
// /healthz. Everything it answers comes from the last published content.
class WebServer
{
public:
    WebServer(const WebConfig &config, const WebLimits &limits, int intervalSeconds);
    ~WebServer();
    WebServer(const WebServer &) = delete;
    WebServer &operator=(const WebServer &) = delete;

    // Binds and starts answering; false with the reason when it cannot.
    bool start(const ListenAddress &address, QString *error);
    quint16 port() const { return m_port; }
    int connections() const; // open at this moment
    void publish(std::shared_ptr<const WebContent> content);

    // A steady clock in milliseconds, the one WebContent::endedMs is on.
    static qint64 NowMs();

    // Answers one request from its headers (libmicrohttpd's callback lands here); an MHD_Result.
    int answer(MHD_Connection *connection, const char *url, const char *method, bool body);
    // A new connection, or one more than the limit (closed at once, so none waits in the queue).
    bool admit();
    void started() { m_open.fetch_add(1); }
    void closed()
    {
        m_open.fetch_sub(1);
        m_admitted.fetch_sub(1);
    }

private:
    const WebConfig m_config;
    const WebLimits m_limits;
    const int m_intervalSeconds;
    std::unique_ptr<BasicAuth> m_auth;
    QByteArray m_pagePolicy;
    QByteArray m_cert;
    QByteArray m_key;
    QByteArray m_priorities;
    MHD_Daemon *m_daemon = nullptr;
    quint16 m_port = 0;
    mutable QMutex m_mutex;
    std::shared_ptr<const WebContent> m_content;
    std::atomic<int> m_open { 0 };
    // Places taken at admission, before the connection starts: the server's threads admit at
    // once, and a count taken only when connections start let more than the limit in.
    std::atomic<int> m_admitted { 0 };
};
