#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QWidget;

// The running copy's ear for a second start: the second copy connects, says "show" and leaves;
// the running copy then brings its main window to the front. The single-instance lock decides who
// runs; this only carries the request.
class InstanceChannel : public QObject
{
    Q_OBJECT
public:
    explicit InstanceChannel(const QString &name, QObject *parent = nullptr);
    ~InstanceChannel() override;

    // Listens (replacing a socket left behind by a copy that died); false when it cannot.
    bool listen();
    // From the second copy: true when the running copy took the request. Waits on the socket
    // alone, at most timeoutMs.
    static bool AskToShow(const QString &name, int timeoutMs = 3000);
    // Shows, restores (from minimised) and raises a top-level window.
    static void BringForward(QWidget *window);

    // A request is one short line: more connections at once than this, or one silent for longer,
    // are closed, so no one can use up the program's files and leave the channel deaf.
    static constexpr int MaxConnections = 8;
    static constexpr int IdleMs = 3000;

Q_SIGNALS:
    void showRequested();

private:
    void onConnection();

    QString m_name;
    QLocalServer *m_server = nullptr;
    int m_open = 0; // connections being served
};
