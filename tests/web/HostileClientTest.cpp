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

private Q_SLOTS:
    void malformedRequests()
    {
        const int fdsBefore = openFds();
        {
            WebServer server({}, {}, 10);
            QString error;
            QVERIFY2(server.start({ QStringLiteral("127.0.0.1"), 0 }, &error), qPrintable(error));
            server.publish(content(10));
            QRandomGenerator random(20);
            const QByteArray huge
                = "GET /metrics HTTP/1.1\r\nHost: x\r\nX-A: " + QByteArray(100 * 1024, 'a') + "\r\n\r\n";
            const QList<QByteArray> requests = {
                "GET /metrics HTTP/1.1\r\nHost: x\r\nX-A: " + QByteArray(9000, 'a') + "\r\n\r\n",
                huge,
                "BREW /metrics HTTP/1.1\r\nHost: x\r\n\r\n",
                "POST /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 100000000\r\n\r\nabc",
                "GET /metrics HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\nfffffff\r\n",
                "GET /metr",
                "GET /metrics HTTP/9.9\r\n\r\n",
                "GET /metrics HTTP/1.1\r\nno colon here\r\n\r\n",
                QByteArray("GET /\0metrics HTTP/1.1\r\nHost: \0x\r\n\r\n", 35),
                "GET /" + QByteArray(20000, '%') + " HTTP/1.1\r\n\r\n",
                "\r\n\r\n\r\n",
                "GET /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: -1\r\n\r\n",
            };
            QMap<QByteArray, int> statuses;
            for (int i = 0; i < 2000; ++i) {
                QByteArray request;
                const int kind = i % (requests.size() + 1);
                if (kind == requests.size()) {
                    request.resize(1 + random.bounded(4096));
                    for (char &c : request)
                        c = char(random.bounded(256));
                } else {
                    request = requests[kind];
                }
                const int fd = connectTo(server.port());
                QVERIFY(fd >= 0);
                sendAll(fd, request);
                // Truncated requests are left hanging up: the client gives up, not the server.
                // Requests the server cannot tell from unfinished ones wait for its timeout: the
                // client hangs up on them, as it would on a truncated one.
                const bool unfinished = kind == 5 || kind == 8 || kind == 10 || kind == requests.size();
                const QByteArray reply = unfinished ? QByteArray() : readUntilClosed(fd, 3000);
                if (!unfinished)
                    QVERIFY2(reply.startsWith("HTTP/1.1 4") || reply.startsWith("HTTP/1.1 5"),
                        qPrintable(QString::number(server.connections()) + u' ' + QString::number(i) + u' '
                            + QString::number(kind) + u' ' + QString::fromLatin1(reply.left(20))));
                ::close(fd);
                statuses[reply.left(12)]++;
                if (kind == 0 || kind == 1)
                    QVERIFY2(reply.startsWith("HTTP/1.1 431"), reply.left(40).constData());
                if (kind == 2 || kind == 3)
                    QVERIFY2(reply.startsWith("HTTP/1.1 405") || reply.startsWith("HTTP/1.1 501"),
                        reply.left(40).constData());
                if (kind == 4)
                    QVERIFY2(reply.startsWith("HTTP/1.1 413"), reply.left(40).constData());
            }
            qInfo() << "answers" << statuses;
            QCOMPARE(get(server.port(), "/metrics"), 200);
            QTRY_COMPARE_WITH_TIMEOUT(server.connections(), 0, 5000);
        }
        QCOMPARE(openFds(), fdsBefore);
    }

    // Many more idle connections than allowed, opened at once: the server holds no more than its
    // limit, drops them after its timeout, and a scrape made meanwhile gets through in time.
    void idleConnections()
    {
        const int fdsBefore = openFds();
        {
            WebLimits limits;
            limits.timeoutSeconds = 2;
            WebServer server({}, limits, 10);
            QString error;
            QVERIFY2(server.start({ QStringLiteral("127.0.0.1"), 0 }, &error), qPrintable(error));
            server.publish(content(10));
            std::vector<int> idle;
            for (int i = 0; i < 500; ++i) {
                const int fd = connectTo(server.port());
                QVERIFY(fd >= 0);
                idle.push_back(fd);
            }
            QElapsedTimer t;
            t.start();
            int status = 0;
            int most = 0;
            while (status != 200 && t.elapsed() < 4 * 1000 * limits.timeoutSeconds) {
                most = qMax(most, server.connections());
                status = get(server.port(), "/metrics", 500);
            }
            qInfo() << "scrape after" << t.elapsed() << "ms, most connections seen" << most;
            QCOMPARE(status, 200);
            QVERIFY(t.elapsed() <= 1000 * (limits.timeoutSeconds + 1));
            QVERIFY(most <= limits.maxConnections);
            for (const int fd : idle)
                ::close(fd);
            QTRY_COMPARE_WITH_TIMEOUT(server.connections(), 0, 1000 * (limits.timeoutSeconds + 2));
        }
        QCOMPARE(openFds(), fdsBefore);
    }

    // A steady 1,000 requests a second (a few seconds of each; bench_web runs them for 30 s and
    // watches the memory): every one answered, every descriptor given back.
    void steadyLoad()
    {
        const int fdsBefore = openFds();
        {
            WebServer server({}, {}, 10);
            QString error;
            QVERIFY2(server.start({ QStringLiteral("127.0.0.1"), 0 }, &error), qPrintable(error));
            server.publish(content(10));
            for (const char *path : { "/healthz", "/metrics" }) {
                QElapsedTimer t;
                t.start();
                int answered = 0;
                int sent = 0;
                for (; t.elapsed() < 2000; ++sent) {
                    answered += get(server.port(), path) == 200 ? 1 : 0;
                    while (t.nsecsElapsed() < qint64(sent + 1) * 1000000)
                        ::usleep(100);
                }
                qInfo() << path << sent << "requests," << answered << "answered";
                QCOMPARE(answered, sent);
                QVERIFY(sent >= 1000);
            }
            QTRY_COMPARE_WITH_TIMEOUT(server.connections(), 0, 5000);
        }
        QCOMPARE(openFds(), fdsBefore);
    }
};

TAVRIK_TEST(HostileClientTest)
#include "HostileClientTest.moc"
