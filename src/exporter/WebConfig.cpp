#include "WebConfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <yaml-cpp/yaml.h>

std::optional<ListenAddress> ListenAddress::Parse(const QString &text, QString *error)
{
    ListenAddress a;
    QString portText;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close < 0 || (close + 1 < text.size() && text.at(close + 1) != u':')) {
            *error = QStringLiteral("%1: an IPv6 address goes in brackets, as [::1]:%2").arg(text).arg(DefaultPort);
            return std::nullopt;
        }
        a.host = text.mid(1, close - 1);
        portText = text.mid(close + 2);
    } else if (text.count(u':') > 1) {
        *error = QStringLiteral("%1: an IPv6 address goes in brackets, as [::1]:%2").arg(text).arg(DefaultPort);
        return std::nullopt;
    } else {
        const qsizetype colon = text.indexOf(u':');
        a.host = colon < 0 ? text : text.left(colon);
        portText = colon < 0 ? QString() : text.mid(colon + 1);
    }
    if (!portText.isEmpty()) {
        bool ok = false;
        const uint port = portText.toUInt(&ok);
        if (!ok || port > 65535) {
            *error = QStringLiteral("%1: the port must be a number from 0 to 65535").arg(text);
            return std::nullopt;
        }
        a.port = quint16(port);
    } else if (text.endsWith(u':')) {
        *error = QStringLiteral("%1: no port after the colon").arg(text);
        return std::nullopt;
    }
    if (a.host.isEmpty() && portText.isEmpty()) {
        *error = QStringLiteral("an empty listen address");
        return std::nullopt;
    }
    return a;
}

bool IsLoopback(const sockaddr *address)
{
    if (address->sa_family == AF_INET) {
        const auto *v4 = reinterpret_cast<const sockaddr_in *>(address);
        return (ntohl(v4->sin_addr.s_addr) >> 24) == 127;
    }
    if (address->sa_family == AF_INET6) {
        const in6_addr &v6 = reinterpret_cast<const sockaddr_in6 *>(address)->sin6_addr;
        if (IN6_IS_ADDR_LOOPBACK(&v6))
            return true;
        return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
    }
    return false;
}

bool IsLoopbackHost(const QString &host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    if (host.isEmpty())
        return false;
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found) != 0 || !found)
        return false;
    bool loopback = true;
    for (const addrinfo *a = found; a; a = a->ai_next)
        loopback = loopback && IsLoopback(a->ai_addr);
    freeaddrinfo(found);
    return loopback;
}

std::optional<WebConfig> WebConfig::Parse(const QByteArray &yaml, const QString &baseDir, QString *error)
{
    WebConfig c;
    auto fail = [&](const QString &why) {
        *error = why;
        return std::nullopt;
    };
    auto path = [&](const YAML::Node &n) {
        const QString p = QString::fromStdString(n.as<std::string>());
        return p.isEmpty() ? p : QDir(baseDir).absoluteFilePath(p);
    };
    try {
        const YAML::Node root = YAML::Load(yaml.toStdString());
        if (root.IsNull())
            return c;
        if (!root.IsMap())
            return fail(QStringLiteral("not a mapping of settings"));
        for (const auto &entry : root) {
            const std::string key = entry.first.as<std::string>();
            const YAML::Node &value = entry.second;
            if (key == "tls_server_config") {
                if (value.IsNull())
                    continue;
                for (const auto &t : value) {
                    const std::string k = t.first.as<std::string>();
                    if (k == "cert_file") {
                        c.certFile = path(t.second);
                    } else if (k == "key_file") {
                        c.keyFile = path(t.second);
                    } else if (k == "min_version") {
                        const std::string v = t.second.as<std::string>();
                        if (v == "TLS13")
                            c.tls13Only = true;
                        else if (v != "TLS12")
                            return fail(
                                QStringLiteral("min_version %1: TLS12 or TLS13").arg(QString::fromStdString(v)));
                    } else {
                        return fail(
                            QStringLiteral("tls_server_config: %1 is not supported").arg(QString::fromStdString(k)));
                    }
                }
                if (c.certFile.isEmpty() != c.keyFile.isEmpty())
                    return fail(QStringLiteral("tls_server_config needs both cert_file and key_file"));
            } else if (key == "basic_auth_users") {
                if (value.IsNull())
                    continue;
                if (!value.IsMap())
                    return fail(QStringLiteral("basic_auth_users: a mapping of user names to bcrypt hashes"));
                for (const auto &u : value) {
                    const QByteArray name = QByteArray::fromStdString(u.first.as<std::string>());
                    const QByteArray hash = QByteArray::fromStdString(u.second.as<std::string>());
                    // Only bcrypt: a clear or fast hash here would be a password in waiting.
                    const bool bcrypt = hash.size() == 60
                        && (hash.startsWith("$2a$") || hash.startsWith("$2b$") || hash.startsWith("$2y$"));
                    if (name.isEmpty() || name.contains(':') || !bcrypt)
                        return fail(QStringLiteral("basic_auth_users: %1 needs a bcrypt hash ($2y$…, 60 characters)")
                                        .arg(QString::fromUtf8(name)));
                    c.users.insert(name, hash);
                }
            } else {
                return fail(QStringLiteral("%1 is not supported").arg(QString::fromStdString(key)));
            }
        }
    } catch (const YAML::Exception &e) {
        return fail(QString::fromStdString(e.what()));
    }
    return c;
}

std::optional<WebConfig> WebConfig::Load(const QString &file, QString *error)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(file, f.errorString());
        return std::nullopt;
    }
    auto c = Parse(f.read(1024 * 1024), QFileInfo(file).absolutePath(), error);
    if (!c)
        *error = QStringLiteral("%1: %2").arg(file, *error);
    return c;
}
