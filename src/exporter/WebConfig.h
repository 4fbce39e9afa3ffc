#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <optional>

struct sockaddr;

// --web.listen-address: "HOST:PORT", "[V6]:PORT", ":PORT" (every interface) or a host alone.
struct ListenAddress
{
    static constexpr quint16 DefaultPort = 9747;
    QString host; // empty: every interface
    quint16 port = DefaultPort;

    static std::optional<ListenAddress> Parse(const QString &text, QString *error);
};

// 127.0.0.0/8, ::1 and IPv4 on ::1's mapped form: what only this machine can reach.
bool IsLoopback(const sockaddr *address);

// "localhost", or a name or address all of whose addresses are loopback ones.
bool IsLoopbackHost(const QString &host);

// --web.config.file, in the exporter toolkit's format (tls_server_config, basic_auth_users).
struct WebConfig
{
    QString certFile; // absolute, or relative to the config file's folder
    QString keyFile;
    bool tls13Only = false; // min_version: TLS13; TLS 1.2 is the floor otherwise
    QMap<QByteArray, QByteArray> users; // name -> bcrypt hash

    bool tls() const { return !certFile.isEmpty(); }
    bool auth() const { return !users.isEmpty(); }

    static std::optional<WebConfig> Parse(const QByteArray &yaml, const QString &baseDir, QString *error);
    static std::optional<WebConfig> Load(const QString &file, QString *error);
};
