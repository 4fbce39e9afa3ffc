#include "WebServer.h"

#include "BasicAuth.h"
#include "StatusPage.h"

#include <QFile>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <microhttpd.h>

#include <chrono>
#include <cstring>

namespace {

struct Reply
{
    unsigned status;
    QByteArray body;
    const char *type = "text/plain; charset=utf-8";
};

MHD_Result headerBytes(void *total, MHD_ValueKind, const char *key, const char *value)
{
    *static_cast<size_t *>(total) += std::strlen(key) + (value ? std::strlen(value) : 0) + 4;
    return MHD_YES;
}

QByteArray clientAddress(MHD_Connection *connection)
{
    const MHD_ConnectionInfo *info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (!info || !info->client_addr)
        return {};
    char text[INET6_ADDRSTRLEN] = {};
    const sockaddr *a = info->client_addr;
    if (a->sa_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(a)->sin_addr, text, sizeof text);
    else if (a->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6 *>(a)->sin6_addr, text, sizeof text);
    return QByteArray(text);
}

// Headers every answer carries: nothing is guessed from content, nothing framed or loaded from elsewhere.
const char PlainPolicy[] = "default-src 'none'; frame-ancestors 'none'";

MHD_Result access(void *self, MHD_Connection *connection, const char *url, const char *method, const char *,
    const char *, size_t *uploadSize, void **state)
{
    // The first call comes with the headers alone. A request with a body is answered (refused)
    // then, its body never read and its connection closed; any other is answered on the second
    // call, once complete, so its connection can be kept alive.
    if (*state == nullptr) {
        *state = connection;
        const char *length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        const bool body = (length && std::strcmp(length, "0") != 0)
            || MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING);
        return body ? MHD_Result(static_cast<WebServer *>(self)->answer(connection, url, method, true)) : MHD_YES;
    }
    if (*uploadSize != 0) {
        *uploadSize = 0;
        return MHD_YES;
    }
    return MHD_Result(static_cast<WebServer *>(self)->answer(connection, url, method, false));
}

MHD_Result admit(void *self, const sockaddr *, socklen_t)
{
    return static_cast<WebServer *>(self)->admit() ? MHD_YES : MHD_NO;
}

void notify(void *self, MHD_Connection *, void **, MHD_ConnectionNotificationCode code)
{
    if (code == MHD_CONNECTION_NOTIFY_CLOSED)
        static_cast<WebServer *>(self)->closed();
    else
        static_cast<WebServer *>(self)->started();
}

} // namespace

WebServer::WebServer(const WebConfig &config, const WebLimits &limits, int intervalSeconds)
    : m_config(config)
    , m_limits(limits)
    , m_intervalSeconds(intervalSeconds)
{
    if (config.auth())
        m_auth = std::make_unique<BasicAuth>(config.users);
    m_pagePolicy = "default-src 'none'; style-src '" + StatusPage::StyleHash()
        + "'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";
}

WebServer::~WebServer()
{
    if (m_daemon)
        MHD_stop_daemon(m_daemon);
    m_key.fill('\0');
}

qint64 WebServer::NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int WebServer::connections() const
{
    return m_open.load();
}

bool WebServer::admit()
{
    int admitted = m_admitted.load();
    while (admitted < m_limits.maxConnections) {
        if (m_admitted.compare_exchange_weak(admitted, admitted + 1))
            return true;
    }
    return false;
}

void WebServer::publish(std::shared_ptr<const WebContent> content)
{
    QMutexLocker lock(&m_mutex);
    m_content = std::move(content);
}

bool WebServer::start(const ListenAddress &address, QString *error)
{
    if (m_config.tls()) {
        QFile cert(m_config.certFile);
        QFile key(m_config.keyFile);
        if (!cert.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read the TLS certificate or key: %1")
                         .arg(cert.isOpen() ? key.errorString() : cert.errorString());
            return false;
        }
        m_cert = cert.readAll();
        m_key = key.readAll();
        m_priorities
            = m_config.tls13Only ? "NORMAL:-VERS-ALL:+VERS-TLS1.3" : "NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2";
    }

    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    const QByteArray host = address.host.toUtf8();
    const QByteArray port = QByteArray::number(address.port);
    // Every interface: the IPv6 wildcard, which takes IPv4 as well on a dual-stack socket.
    const int rc = getaddrinfo(host.isEmpty() ? "::" : host.constData(), port.constData(), &hints, &found);
    if (rc != 0 || !found) {
        *error = QStringLiteral("cannot resolve %1: %2").arg(address.host, QString::fromUtf8(gai_strerror(rc)));
        return false;
    }
    sockaddr_storage bind {};
    std::memcpy(&bind, found->ai_addr, found->ai_addrlen);
    freeaddrinfo(found);

    // No error log: a hostile client would write it, a line per bad request. poll(), not epoll:
    // on epoll (edge-triggered) a client that sends half a request and hangs up is only noticed
    // at the timeout.
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL;
    if (bind.ss_family == AF_INET6)
        flags |= host.isEmpty() ? MHD_USE_DUAL_STACK : MHD_USE_IPv6;
    if (m_config.tls())
        flags |= MHD_USE_TLS;
    // Room for the largest request head allowed, and the answer's own headers.
    const size_t memory = size_t(m_limits.maxHeaderBytes) * 2 + 8192;
    MHD_OptionItem tls[] = {
        { MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char *>(m_cert.constData()) },
        { MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char *>(m_key.constData()) },
        { MHD_OPTION_HTTPS_PRIORITIES, 0, const_cast<char *>(m_priorities.constData()) },
        { MHD_OPTION_END, 0, nullptr },
    };
    if (!m_config.tls())
        tls[0].option = MHD_OPTION_END;
    // libmicrohttpd at its own limit stops accepting, and clients pile up in the listen queue
    // behind idle ones; so its limit is above ours, and ours refuses the extra ones at once.
    m_daemon = MHD_start_daemon(flags, 0, &::admit, this, &access, this, MHD_OPTION_NOTIFY_CONNECTION, &notify, this,
        MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr *>(&bind), MHD_OPTION_THREAD_POOL_SIZE, 4u,
        MHD_OPTION_CONNECTION_LIMIT, unsigned(m_limits.maxConnections) + 64, MHD_OPTION_CONNECTION_TIMEOUT,
        unsigned(m_limits.timeoutSeconds), MHD_OPTION_CONNECTION_MEMORY_LIMIT, memory, MHD_OPTION_ARRAY, tls,
        MHD_OPTION_END);
    if (!m_daemon) {
        *error = QStringLiteral("cannot listen on %1:%2: %3")
                     .arg(address.host.contains(u':') ? u'[' + address.host + u']' : address.host)
                     .arg(address.port)
                     .arg(m_config.tls() ? QStringLiteral("the address is taken, or the TLS key and certificate "
                                                          "are not a valid pair")
                                         : QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    const MHD_DaemonInfo *info = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT);
    m_port = info ? info->port : address.port;
    return true;
}

int WebServer::answer(MHD_Connection *connection, const char *url, const char *method, bool body)
{
    Reply reply { MHD_HTTP_OK, {} };
    const bool head = std::strcmp(method, MHD_HTTP_METHOD_HEAD) == 0;
    size_t headBytes = std::strlen(url) + std::strlen(method) + 16;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, &headerBytes, &headBytes);
    bool challenge = false;
    int retryAfter = 0;

    if (headBytes > size_t(m_limits.maxHeaderBytes)) {
        reply = { MHD_HTTP_REQUEST_HEADER_FIELDS_TOO_LARGE, "request headers too large\n" };
    } else if (!head && std::strcmp(method, MHD_HTTP_METHOD_GET) != 0) {
        reply = { MHD_HTTP_METHOD_NOT_ALLOWED, "only GET and HEAD\n" };
    } else if (body) {
        reply = { MHD_HTTP_CONTENT_TOO_LARGE, "no request body is accepted\n" };
    } else if (m_auth) {
        const char *header = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_AUTHORIZATION);
        const BasicAuth::Answer a
            = m_auth->check(header ? QByteArray(header) : QByteArray(), clientAddress(connection), NowMs());
        if (a.result == BasicAuth::Result::Wait) {
            reply = { MHD_HTTP_TOO_MANY_REQUESTS, "too many failed logins, try again later\n" };
            retryAfter = a.retryAfterSeconds;
        } else if (a.result != BasicAuth::Result::Ok) {
            reply = { MHD_HTTP_UNAUTHORIZED, "unauthorized\n" };
            challenge = true;
        }
    }

    bool page = false;
    if (reply.status == MHD_HTTP_OK) {
        std::shared_ptr<const WebContent> content;
        {
            QMutexLocker lock(&m_mutex);
            content = m_content;
        }
        const char *path = url;
        if (std::strcmp(path, "/metrics") == 0) {
            reply.type = "text/plain; version=0.0.4; charset=utf-8";
            if (content)
                reply.body = content->metrics;
            else
                reply = { MHD_HTTP_SERVICE_UNAVAILABLE, "no cycle has ended yet\n" };
        } else if (std::strcmp(path, "/api/v1/cpus") == 0) {
            reply.type = "application/json";
            if (content)
                reply.body = content->json;
            else
                reply = { MHD_HTTP_SERVICE_UNAVAILABLE, "{\"error\":\"no cycle has ended yet\"}", "application/json" };
        } else if (std::strcmp(path, "/") == 0) {
            reply.type = "text/html; charset=utf-8";
            page = true;
            if (content)
                reply.body = content->page;
            else
                reply = { MHD_HTTP_SERVICE_UNAVAILABLE, "no cycle has ended yet\n" };
        } else if (std::strcmp(path, "/healthz") == 0) {
            const qint64 limit = qint64(m_intervalSeconds) * 3;
            if (!content) {
                reply = { MHD_HTTP_SERVICE_UNAVAILABLE, "no cycle has ended yet\n" };
            } else if (const qint64 ago = (NowMs() - content->endedMs) / 1000; ago > limit) {
                reply = { MHD_HTTP_SERVICE_UNAVAILABLE,
                    QByteArray("the last cycle ended ") + QByteArray::number(ago) + " s ago, over three intervals ("
                        + QByteArray::number(limit) + " s)\n" };
            } else {
                reply.body = "ok\n";
            }
        } else {
            reply = { MHD_HTTP_NOT_FOUND, "not found\n" };
        }
    }

    MHD_Response *response = MHD_create_response_from_buffer(
        size_t(reply.body.size()), const_cast<char *>(reply.body.constData()), MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.type);
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    MHD_add_response_header(response, "Content-Security-Policy", page ? m_pagePolicy.constData() : PlainPolicy);
    MHD_add_response_header(response, "Referrer-Policy", "no-referrer");
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    if (challenge)
        MHD_add_response_header(
            response, MHD_HTTP_HEADER_WWW_AUTHENTICATE, "Basic realm=\"tavrik\", charset=\"UTF-8\"");
    if (retryAfter > 0)
        MHD_add_response_header(response, MHD_HTTP_HEADER_RETRY_AFTER, QByteArray::number(retryAfter).constData());
    if (reply.status == MHD_HTTP_REQUEST_HEADER_FIELDS_TOO_LARGE || reply.status == MHD_HTTP_METHOD_NOT_ALLOWED
        || reply.status == MHD_HTTP_CONTENT_TOO_LARGE || reply.status == MHD_HTTP_TOO_MANY_REQUESTS)
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    const MHD_Result rc = MHD_queue_response(connection, reply.status, response);
    MHD_destroy_response(response);
    return rc;
}
