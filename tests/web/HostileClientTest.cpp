#include "WebServer.h"
#include "common/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace {

int openFds()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

int connectTo(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

bool sendAll(int fd, const QByteArray &data)
{
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t n = ::send(fd, data.constData() + done, size_t(data.size() - done), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// What arrives until the server closes or msecs pass.
QByteArray readUntilClosed(int fd, int msecs)
{
    QByteArray out;
    QElapsedTimer t;
    t.start();
    char buffer[16384];
    while (t.elapsed() < msecs) {
        pollfd p { fd, POLLIN, 0 };
        if (::poll(&p, 1, int(msecs - t.elapsed())) <= 0)
            break;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        out.append(buffer, n);
    }
    return out;
}

// One GET on a fresh connection; the status code, 0 when there was no answer.
int get(quint16 port, const QByteArray &path, int msecs = 3000)
{
    const int fd = connectTo(port);
    if (fd < 0)
        return 0;
    int status = 0;
    if (sendAll(fd, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n")) {
        const QByteArray reply = readUntilClosed(fd, msecs);
        if (reply.startsWith("HTTP/1.1 "))
            status = reply.mid(9, 3).toInt();
    }
    ::close(fd);
    return status;
}

std::shared_ptr<const WebContent> content(int cpus)
{
    auto c = std::make_shared<WebContent>();
    for (int i = 0; i < cpus; ++i)
        c->metrics += "tavrik_cpu_progress_ratio{cpu=\"lab " + QByteArray::number(i) + "\"} 0.5\n";
    c->page = "<!DOCTYPE html><title>t</title>";
    c->json = "{\"cpus\":[]}";
    c->endedMs = WebServer::NowMs();
    return c;
}

} // namespace

// Clients that do everything wrong, all on the loopback address: the server answers or drops
// them, stays within its limits, keeps serving scrapes and gives back every descriptor.
class HostileClientTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<WebServer> serve(const WebLimits &limits = {})
    {
        auto server = std::make_unique<WebServer>(WebConfig {}, limits, 10);
        QString error;
        if (!server->start({ QStringLiteral("127.0.0.1"), 0 }, &error))
            qFatal("%s", qPrintable(error));
        server->publish(content(10));
        return server;
    }

private Q_SLOTS:
    void malformedRequests()
    {
        const int fdsBefore = openFds();
        {
            const auto server = serve();
            // The answer expected; none for what the server cannot tell from an unfinished
            // request (it waits for its timeout, so the client hangs up, as on a truncated one).
            const QList<QPair<QByteArray, QByteArray>> requests = {
                { "GET /metrics HTTP/1.1\r\nHost: x\r\nX-A: " + QByteArray(9000, 'a') + "\r\n\r\n", "431" },
                { "GET /metrics HTTP/1.1\r\nHost: x\r\nX-A: " + QByteArray(100 * 1024, 'a') + "\r\n\r\n", "431" },
                { "GET /" + QByteArray(20000, '%') + " HTTP/1.1\r\n\r\n", "431" },
                { "BREW /metrics HTTP/1.1\r\nHost: x\r\n\r\n", "405" },
                { "POST /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 100000000\r\n\r\nabc", "405" },
                { "GET /metrics HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\nfffffff\r\n", "413" },
                { "GET /metrics HTTP/9.9\r\n\r\n", "505" }, { "GET /metrics HTTP/1.1\r\nno colon here\r\n\r\n", "400" },
                { "GET /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: -1\r\n\r\n", "400" }, { "GET /metr", {} },
                { QByteArray("GET /\0metrics HTTP/1.1\r\nHost: \0x\r\n\r\n", 35), {} }, { "\r\n\r\n\r\n", {} },
                { {}, {} }, // random bytes
            };
            QRandomGenerator random(20);
            for (int i = 0; i < 2000; ++i) {
                auto [request, expected] = requests[i % requests.size()];
                if (request.isEmpty()) {
                    request.resize(1 + random.bounded(4096));
                    for (char &c : request)
                        c = char(random.bounded(256));
                }
                const int fd = connectTo(server->port());
                QVERIFY(fd >= 0);
                sendAll(fd, request);
                const QByteArray reply = expected.isEmpty() ? QByteArray() : readUntilClosed(fd, 3000);
                ::close(fd);
                QVERIFY2(expected.isEmpty() || reply.startsWith("HTTP/1.1 " + expected),
                    (request.left(30) + " -> " + reply.left(20)).data());
            }
            QCOMPARE(get(server->port(), "/metrics"), 200);
            QTRY_COMPARE_WITH_TIMEOUT(server->connections(), 0, 5000);
        }
        QCOMPARE(openFds(), fdsBefore);
    }

    // Many more idle connections than allowed, opened at once: the server holds no more than its
    // limit (the others are closed at once), drops the idle ones after its timeout, and a scrape
    // made meanwhile gets through within the timeout and a second.
    void idleConnections()
    {
        const int fdsBefore = openFds();
        {
            WebLimits limits;
            limits.timeoutSeconds = 2;
            const auto server = serve(limits);
            std::vector<int> idle;
            for (int i = 0; i < 500; ++i) {
                idle.push_back(connectTo(server->port()));
                QVERIFY(idle.back() >= 0);
            }
            QElapsedTimer t;
            t.start();
            int status = 0;
            int most = 0;
            while (status != 200 && t.elapsed() < 4 * 1000 * limits.timeoutSeconds) {
                most = qMax(most, server->connections());
                status = get(server->port(), "/metrics", 500);
            }
            QCOMPARE(status, 200);
            QVERIFY2(t.elapsed() <= 1000 * (limits.timeoutSeconds + 1), qPrintable(QString::number(t.elapsed())));
            QVERIFY(most <= limits.maxConnections);
            for (const int fd : idle)
                ::close(fd);
            QTRY_COMPARE_WITH_TIMEOUT(server->connections(), 0, 1000 * (limits.timeoutSeconds + 2));
        }
        QCOMPARE(openFds(), fdsBefore);
    }

    // A steady 1,000 requests a second (a few seconds of each; bench_web runs them for 30 s and
    // watches the memory): every one answered, every descriptor given back. Then /healthz tells
    // a cycle that ended too long ago.
    void steadyLoad()
    {
        const int fdsBefore = openFds();
        {
            const auto server = serve();
            for (const char *path : { "/healthz", "/metrics" }) {
                QElapsedTimer t;
                t.start();
                int answered = 0;
                int sent = 0;
                for (; t.elapsed() < 2000; ++sent) {
                    answered += get(server->port(), path) == 200 ? 1 : 0;
                    while (t.nsecsElapsed() < qint64(sent + 1) * 1000000)
                        ::usleep(100);
                }
                QCOMPARE(answered, sent);
                QVERIFY(sent >= 1000);
            }
            auto stale = std::make_shared<WebContent>(*content(1));
            stale->endedMs -= 31 * 1000; // three intervals of 10 s and one more
            server->publish(stale);
            QCOMPARE(get(server->port(), "/healthz"), 503);
            QTRY_COMPARE_WITH_TIMEOUT(server->connections(), 0, 5000);
        }
        QCOMPARE(openFds(), fdsBefore);
    }
};

TAVRIK_TEST(HostileClientTest)
#include "HostileClientTest.moc"
