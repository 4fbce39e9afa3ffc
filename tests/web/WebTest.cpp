#include "BasicAuth.h"
#include "StatusPage.h"
#include "WebConfig.h"
#include "common/TestSupport.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <arpa/inet.h>
#include <crypt.h>
#include <netinet/in.h>

namespace {

CpuCard view(const QString &name, CpuState state, const QString &key)
{
    CpuCard v;
    v.name = name;
    v.state = state;
    v.stateKey = key;
    v.stateText = CpuStatus::StateName(state);
    return v;
}

QByteArray hashOf(const QByteArray &password)
{
    // The cheapest bcrypt cost keeps the test quick; the check is the same at any cost.
    char salt[CRYPT_GENSALT_OUTPUT_SIZE];
    crypt_gensalt_rn("$2b$", 4, nullptr, 0, salt, sizeof salt);
    crypt_data data {};
    return QByteArray(crypt_r(password.constData(), salt, &data));
}

QByteArray basic(const QByteArray &userAndPassword)
{
    return "Basic " + userAndPassword.toBase64();
}

} // namespace

class WebTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A name is text wherever it lands, the CPUs come in order of attention (the configured
    // order among equals), and the page's one style is what its policy allows.
    void pageAndJson()
    {
        StatusSnapshot s;
        s.intervalSeconds = 7;
        s.cpus = { view(QStringLiteral("<script>alert(1)</script>"), CpuState::Working, QStringLiteral("working")),
            view(QStringLiteral("b \"&' c"), CpuState::DownloadLate, QStringLiteral("download_late")),
            view(QStringLiteral("lab\\2"), CpuState::Working, QStringLiteral("working")),
            view(QStringLiteral("gone"), CpuState::Unreachable, QStringLiteral("unreachable")) };
        s.cpus[0].etaSeconds = 2 * 3600 + 5 * 60;
        const QString html = QString::fromUtf8(StatusPage::Html(s));
        QVERIFY(!html.contains(QLatin1String("<script")));
        QVERIFY(html.contains(QLatin1String("<h2>&lt;script&gt;alert(1)&lt;/script&gt;</h2>")));
        QVERIFY(html.contains(QLatin1String("<h2>b &quot;&amp;&#39; c</h2>")));
        QVERIFY(html.contains(QLatin1String("<dt>Finishes in</dt><dd>2 h 05 min</dd>")));
        QVERIFY(html.contains(QLatin1String("http-equiv=\"refresh\" content=\"7\"")));
        QStringList order;
        for (qsizetype at = html.indexOf(QLatin1String("<h2>")); at >= 0;
             at = html.indexOf(QLatin1String("<h2>"), at + 1))
            order.append(html.mid(at + 4, html.indexOf(QLatin1String("</h2>"), at) - at - 4));
        QCOMPARE(
            order, QStringList({ "gone", "b &quot;&amp;&#39; c", "&lt;script&gt;alert(1)&lt;/script&gt;", "lab\\2" }));
        QCOMPARE(html.count(QLatin1String("<style>")), 1);
        const qsizetype from = html.indexOf(QLatin1String("<style>")) + 7;
        const QByteArray style = html.mid(from, html.indexOf(QLatin1String("</style>")) - from).toUtf8();
        QCOMPARE(StatusPage::StyleHash(),
            "sha256-" + QCryptographicHash::hash(style, QCryptographicHash::Sha256).toBase64());

        QJsonParseError error;
        const QJsonObject json = QJsonDocument::fromJson(StatusPage::Json(s), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonArray cpus = json.value(QLatin1String("cpus")).toArray();
        QCOMPARE(cpus.size(), 4);
        QCOMPARE(cpus[1].toObject().value(QLatin1String("name")).toString(), s.cpus[1].name);
        QCOMPARE(cpus[1].toObject().value(QLatin1String("state")).toString(), QStringLiteral("download_late"));
        QCOMPARE(cpus[2].toObject().value(QLatin1String("name")).toString(), s.cpus[0].name);
        QCOMPARE(cpus[2].toObject().value(QLatin1String("eta_seconds")).toInt(), 7500);
        QVERIFY(cpus[0].toObject().value(QLatin1String("eta_seconds")).isNull());
    }

    // What each address means, and whether listening there needs TLS and auth.
    void listenAddress()
    {
        struct Row
        {
            const char *text;
            const char *host; // nullptr: refused
            int port;
            bool loopback;
        };
        const Row rows[] = { { "127.8.9.10:9100", "127.8.9.10", 9100, true }, { "localhost", "localhost", 9747, true },
            { ":9200", "", 9200, false }, { "[::1]:80", "::1", 80, true }, { "[::]:80", "::", 80, false },
            { "[::ffff:127.0.0.1]:80", "::ffff:127.0.0.1", 80, true }, { "128.0.0.1:1", "128.0.0.1", 1, false },
            { "0.0.0.0:1", "0.0.0.0", 1, false }, { "::1:80", nullptr, 0, false },
            { "localhost:65536", nullptr, 0, false }, { "localhost:http", nullptr, 0, false },
            { ":", nullptr, 0, false } };
        for (const Row &row : rows) {
            QString error;
            const auto a = ListenAddress::Parse(QString::fromLatin1(row.text), &error);
            QVERIFY2(bool(a) == bool(row.host), row.text);
            if (a) {
                QCOMPARE(a->host, QLatin1String(row.host));
                QCOMPARE(int(a->port), row.port);
                QVERIFY2(IsLoopbackHost(a->host) == row.loopback, row.text);
            }
        }
    }

    // Relative paths are the config file's folder's; anything that would weaken it is refused.
    void webConfig()
    {
        QString why;
        const auto c = WebConfig::Parse("tls_server_config:\n  cert_file: c.pem\n  key_file: /k.pem\n"
                                        "  min_version: TLS13\nbasic_auth_users:\n  alice: $2y$10$"
                + QByteArray(53, 'a'),
            QStringLiteral("/etc/tavrik"), &why);
        QVERIFY2(c, qPrintable(why));
        QCOMPARE(c->certFile, QStringLiteral("/etc/tavrik/c.pem"));
        QCOMPARE(c->keyFile, QStringLiteral("/k.pem"));
        QVERIFY(c->tls13Only && c->tls() && c->auth());
        const QByteArray refused[]
            = { "tls_server_config:\n  cert_file: c.pem\n", "tls_server_config:\n  min_version: TLS11\n",
                  "basic_auth_users:\n  alice: secret\n", "basic_auth_users:\n  alice: $1$abc$def\n",
                  "http_server_config:\n  http2: true\n", "basic_auth_users: [\n", "- a\n" };
        for (const QByteArray &yaml : refused) {
            why.clear();
            QVERIFY2(!WebConfig::Parse(yaml, QString(), &why) && !why.isEmpty(), yaml.constData());
        }
    }

    // Right once, then remembered; wrong ones cost nothing for a while but then make the address
    // wait, longer each time, while credentials that passed before still do.
    void basicAuth()
    {
        BasicAuth auth({ { "alice", hashOf("right horse") }, { "bob", hashOf("other") }, { "carol", hashOf("pw") } });
        qint64 now = 1000000;
        auto check = [&](const QByteArray &header, const char *client = "10.0.0.1") {
            return auth.check(header, client, now).result;
        };
        using R = BasicAuth::Result;
        QCOMPARE(check({}), R::Missing);
        QCOMPARE(check(basic("alice:right horse")), R::Ok);
        QCOMPARE(check(basic("alice:wrong")), R::Wrong);
        QCOMPARE(check(basic("mallory:right horse")), R::Wrong);
        QCOMPARE(check("Bearer abc"), R::Wrong); // a third failure: now 1 s of waiting
        const BasicAuth::Answer waiting = auth.check(basic("bob:other"), "10.0.0.1", now);
        QCOMPARE(waiting.result, R::Wait);
        QCOMPARE(waiting.retryAfterSeconds, 1);
        QCOMPARE(check(basic("alice:right horse")), R::Ok); // remembered: no check, no wait
        QCOMPARE(check(basic("bob:other"), "10.0.0.2"), R::Ok); // another address
        now += 1000;
        QCOMPARE(check(basic("bob:wrong")), R::Wrong);
        QCOMPARE(auth.check(basic("alice:guess"), "10.0.0.1", now).retryAfterSeconds, 2);
        now += 2000;
        QCOMPARE(check(basic("carol:pw")), R::Ok); // a success clears the address
        QCOMPARE(check(basic("bob:x")), R::Wrong);
        QCOMPARE(check(basic("bob:y")), R::Wrong);
        now += BasicAuth::CacheMs + 1;
        QCOMPARE(check(basic("alice:right horse"), "10.0.0.3"), R::Ok); // checked again after expiry
        QCOMPARE(check(basic("alice:right horse:"), "10.0.0.3"), R::Wrong);
        QCOMPARE(check("Basic !!!", "10.0.0.3"), R::Wrong);
        QVERIFY(!BasicAuth::Verify("x", "*0"));
    }
};

TAVRIK_TEST(WebTest)
#include "WebTest.moc"
