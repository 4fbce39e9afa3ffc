#pragma once

#include "WebServer.h"

#include <QCommandLineOption>

#include <memory>

class QCommandLineParser;
class Exporter;

// The exporter's --web.* options, and the server they describe.
class WebOptions
{
public:
    WebOptions();
    void addTo(QCommandLineParser &parser) const;
    bool listening(const QCommandLineParser &parser) const;

    // The server, listening; or none, with the message and the exit status (2: a wrong option or
    // an address off the loopback without TLS and auth, 1: it could not listen).
    std::unique_ptr<WebServer> start(
        const QCommandLineParser &parser, int intervalSeconds, QString *error, int *status) const;

    // Hands the server what the cycle that just ended leaves to serve.
    static void Publish(WebServer &server, const Exporter &exporter, int intervalSeconds);

private:
    QCommandLineOption m_listen;
    QCommandLineOption m_config;
    QCommandLineOption m_insecure;
    QCommandLineOption m_maxConnections;
    QCommandLineOption m_timeout;
    QCommandLineOption m_maxHeader;
};
