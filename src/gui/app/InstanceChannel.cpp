#include "app/InstanceChannel.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QWidget>

namespace {
const QByteArray ShowRequest = QByteArrayLiteral("show\n");
const QByteArray Answer = QByteArrayLiteral("ok\n");
} // namespace

InstanceChannel::InstanceChannel(const QString &name, QObject *parent)
    : QObject(parent)
    , m_name(name)
    , m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::onConnection);
}

InstanceChannel::~InstanceChannel() = default;

bool InstanceChannel::listen()
{
    // We hold the lock, so a socket of that name belongs to a copy that is gone.
    QLocalServer::removeServer(m_name);
    return m_server->listen(m_name);
}

void InstanceChannel::onConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (m_open >= MaxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_open;
        connect(socket, &QObject::destroyed, this, [this] { --m_open; });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(IdleMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        auto read = [this, socket] {
            if (!socket->canReadLine())
                return;
            const QByteArray line = socket->readLine(64);
            if (line == ShowRequest) {
                socket->write(Answer);
                Q_EMIT showRequested();
            }
            socket->disconnectFromServer();
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        read();
    }
}

bool InstanceChannel::AskToShow(const QString &name, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(ShowRequest);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    return socket.readLine(64) == Answer;
}

void InstanceChannel::BringForward(QWidget *window)
{
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}
