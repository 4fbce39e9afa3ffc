// tavrik-exporter's HTTP server under load, all on the loopback address.
//  1. /metrics of 1,000 simulated CPUs scraped over one kept-alive connection (curl) while update
//     cycles run back to back: median and 99th percentile, without TLS and auth, then with both
//     (the credentials cached after the first request).
//  2. 1,000 requests a second for 30 s of /healthz, then of /metrics, over 10 CPUs: resident
//     memory at the start and end of each, and the open descriptors before and after.
//
// Usage: bench_web [seconds of each steady run, default 30]
#include "SimulatedClient.h"
#include "StatusPage.h"
#include "WebServer.h"
#include "export/Exporter.h"
#include "settings/Options.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <thread>

#include <crypt.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr double GoalMedianMs = 50;
constexpr double GoalP99Ms = 200;
constexpr double GoalGrowth = 0.10;

const char *verdict(bool met)
{
    return met ? "met" : "NOT MET";
}

long rssKb()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return f.readAll().split(' ').value(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

int openFds()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

// One GET on a fresh connection; true for a 200.
bool get(quint16 port, const char *path)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = false;
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0) {
        const QByteArray request
            = QByteArray("GET ") + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
        QByteArray reply;
        if (::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) == request.size()) {
            char buffer[65536];
            for (;;) {
                pollfd p { fd, POLLIN, 0 };
                if (::poll(&p, 1, 5000) <= 0)
                    break;
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                if (reply.size() < 16)
                    reply.append(buffer, n);
            }
        }
        ok = reply.startsWith("HTTP/1.1 200");
    }
    if (fd >= 0)
        ::close(fd);
    return ok;
}

struct Latency
{
    double median = 0;
    double p99 = 0;
    int count = 0;
};

// curl keeps one connection for all the URLs of one run, as a Prometheus server does.
Latency scrape(const QString &url, const QStringList &extra, int count, QString *error)
{
    QStringList args { QStringLiteral("-sS"), QStringLiteral("--fail"), QStringLiteral("-w"),
        QStringLiteral("%{http_code} %{time_total} %{num_connects}\\n") };
    args += extra;
    for (int i = 0; i < count; ++i)
        args << QStringLiteral("-o") << QStringLiteral("/dev/null") << url;
    QProcess curl;
    curl.start(QStringLiteral("curl"), args);
    if (!curl.waitForFinished(600000) || curl.exitCode() != 0) {
        *error = QString::fromLocal8Bit(curl.readAllStandardError());
        return {};
    }
    QList<double> ms;
    int connects = 0;
    for (const QByteArray &line : curl.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 3 && f[0] == "200") {
            ms.append(f[1].toDouble() * 1000);
            connects += f[2].toInt();
        }
    }
    if (ms.size() != count || connects != 1) {
        *error = QStringLiteral("%1 of %2 answered, on %3 connections").arg(ms.size()).arg(count).arg(connects);
        return {};
    }
    std::sort(ms.begin(), ms.end());
    return { ms[ms.size() / 2], ms[qMin(ms.size() - 1, ms.size() * 99 / 100)], int(ms.size()) };
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int steadySeconds = argc > 1 ? QByteArray(argv[1]).toInt() : 30;
    QTemporaryDir dir;

    auto cpusIn = [&](const QString &folder, int count) {
        QList<QPair<QString, QString>> list;
        for (int i = 0; i < count; ++i) {
            SimulatedClient::Options o;
            o.seed = quint32(i + 1);
            o.stall = i % 10 == 1;
            o.download = i % 10 == 2;
            const QString path = dir.filePath(QStringLiteral("%1/cpu%2/").arg(folder).arg(i));
            SimulatedClient client(path, o);
            client.setProgress(0.1 + 0.0008 * i, 1000 + i);
            if (!client.start())
                qFatal("bench_web: %s", qPrintable(client.error()));
            list.append({ QStringLiteral("cpu %1").arg(i), path });
        }
        return list;
    };

    // TLS with a fresh certificate for 127.0.0.1 and a user at bcrypt's usual cost of 10.
    const QString cert = dir.filePath(QStringLiteral("cert.pem"));
    const QString key = dir.filePath(QStringLiteral("key.pem"));
    if (QProcess::execute(QStringLiteral("openssl"),
            { QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("1"), QStringLiteral("-subj"),
                QStringLiteral("/CN=localhost"), QStringLiteral("-addext"),
                QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"), key, QStringLiteral("-out"),
                cert })
        != 0)
        qFatal("bench_web: openssl could not make a certificate");
    char salt[CRYPT_GENSALT_OUTPUT_SIZE];
    crypt_gensalt_rn("$2b$", 10, nullptr, 0, salt, sizeof salt);
    crypt_data data {};
    WebConfig secure;
    secure.certFile = cert;
    secure.keyFile = key;
    secure.users.insert("prometheus", QByteArray(crypt_r("scrape secret", salt, &data)));

    Options options;
    options.update([](OptionValues &v) { v.AlarmInterval = 5; });
    Exporter big(options, QString());
    big.setCpus(cpusIn(QStringLiteral("big"), 1000));
    Exporter small(options, QString());
    small.setCpus(cpusIn(QStringLiteral("small"), 10));

    WebServer plain({}, {}, 10);
    WebServer tls(secure, {}, 10);
    WebServer steady({}, {}, 1);
    QString error;
    const ListenAddress loopback { QStringLiteral("127.0.0.1"), 0 };
    if (!plain.start(loopback, &error) || !tls.start(loopback, &error) || !steady.start(loopback, &error))
        qFatal("bench_web: %s", qPrintable(error));

    auto publish = [](Exporter &exporter, int interval, std::initializer_list<WebServer *> servers) {
        StatusSnapshot status = exporter.statusSnapshot();
        status.intervalSeconds = interval;
        auto content = std::make_shared<const WebContent>(WebContent { MetricsText::Render(exporter.snapshot()),
            StatusPage::Html(status), StatusPage::Json(status), WebServer::NowMs() });
        for (WebServer *s : servers)
            s->publish(content);
    };
    // The big exporter's cycles run back to back while it is scraped, so one is always under way.
    std::atomic<bool> bigCycles { true };
    std::atomic<int> bigDone { 0 };
    QObject::connect(&big, &Exporter::cycleWritten, &app, [&] {
        publish(big, 10, { &plain, &tls });
        ++bigDone;
        if (bigCycles)
            big.runCycle();
    });
    QObject::connect(&small, &Exporter::cycleWritten, &app, [&] { publish(small, 1, { &steady }); });
    QTimer smallTimer;
    QObject::connect(&smallTimer, &QTimer::timeout, &small, &Exporter::runCycle);
    big.runCycle();

    int failed = 0;
    std::thread client([&] {
        while (bigDone.load() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const int scrapes = 500;
        const QString base = QStringLiteral("127.0.0.1:%1/metrics");
        const Latency open = scrape(QStringLiteral("http://") + base.arg(plain.port()), {}, scrapes, &error);
        const Latency closed = scrape(QStringLiteral("https://") + base.arg(tls.port()),
            { QStringLiteral("--cacert"), cert, QStringLiteral("-u"), QStringLiteral("prometheus:scrape secret") },
            scrapes, &error);
        const int cyclesDuring = bigDone.load();
        bigCycles = false;
        if (!open.count || !closed.count) {
            std::fprintf(stderr, "bench_web: %s\n", qPrintable(error));
            failed = 1;
        } else {
            for (const auto &[name, l] :
                { std::pair { "without TLS and auth", open }, std::pair { "TLS + auth", closed } })
                std::printf("/metrics, 1,000 CPUs, %d scrapes on one connection, %s: median %.1f ms (goal <= %.0f) %s, "
                            "99th percentile %.1f ms (goal <= %.0f) %s\n",
                    l.count, name, l.median, GoalMedianMs, verdict(l.median <= GoalMedianMs), l.p99, GoalP99Ms,
                    verdict(l.p99 <= GoalP99Ms));
            std::printf("update cycles over the 1,000 CPUs ended meanwhile: %d\n", cyclesDuring);
        }

        QMetaObject::invokeMethod(&app, [&] {
            smallTimer.start(1000);
            small.runCycle();
        });
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const int fdsBefore = openFds();
        for (const char *path : { "/healthz", "/metrics" }) {
            // One second at the pace first, so the measured start has the buffers a steady run keeps.
            QElapsedTimer t;
            t.start();
            long startKb = 0;
            int sent = 0;
            int answered = 0;
            for (; t.elapsed() < (steadySeconds + 1) * 1000; ++sent) {
                if (sent == 1000)
                    startKb = rssKb();
                answered += get(steady.port(), path) ? 1 : 0;
                while (t.nsecsElapsed() < qint64(sent + 1) * 1000000)
                    ::usleep(100);
            }
            const long endKb = rssKb();
            const double growth = double(endKb - startKb) / double(startKb);
            std::printf("%s at 1,000 requests/s for %d s: %d of %d answered, resident memory %.1f MB -> %.1f MB "
                        "(%+.1f %%, goal <= +%.0f %%) %s\n",
                path, steadySeconds, answered, sent, startKb / 1024.0, endKb / 1024.0, growth * 100, GoalGrowth * 100,
                verdict(growth <= GoalGrowth && answered == sent));
            failed |= answered != sent;
        }
        QElapsedTimer settle;
        settle.start();
        while (steady.connections() > 0 && settle.elapsed() < 15000)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const int fdsAfter = openFds();
        std::printf("open descriptors: %d before the steady runs, %d after %s\n", fdsBefore, fdsAfter,
            verdict(fdsAfter <= fdsBefore));
        QMetaObject::invokeMethod(&app, [&] { QCoreApplication::exit(failed); });
    });
    const int rc = app.exec();
    client.join();
    return rc;
}
