#pragma once

#include "monitor/AlertRule.h"

#include <QHash>
#include <QObject>

#ifdef QT_DBUS_LIB
#include <QDBusConnection>
#endif

class PanelTray;

// Sends alerts to the desktop's notification service (org.freedesktop.Notifications), where they
// stay in its history; the tray's balloon stands in where the service does not answer, and on
// systems without one. "Working again" replaces the CPU's earlier notice; a notice's default
// action asks for its CPU's window.
class DesktopNotifier : public QObject, public AlertSink
{
    Q_OBJECT
public:
    static inline const QString Service = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString Path = QStringLiteral("/org/freedesktop/Notifications");

    // tray may be null: then a notice the service does not take is lost.
    explicit DesktopNotifier(PanelTray *tray, QObject *parent = nullptr);
#ifdef QT_DBUS_LIB
    DesktopNotifier(PanelTray *tray, const QDBusConnection &bus, QObject *parent = nullptr);
#endif

    void showAlerts(const QList<AlertNotice> &notices) override;
#ifdef QT_DBUS_LIB
    // The id of the CPU's last notice of its own, once the service has answered; 0: none.
    uint noticeOf(quint64 key) const
    {
        return m_idOfCpu.value(key);
    }
#endif

Q_SIGNALS:
    void cpuActivated(quint64 key);
    // The service did not take a notice, which went to the tray (or nowhere) instead.
    void fellBack(const QString &title);

#ifdef QT_DBUS_LIB
private Q_SLOTS:
    void onActionInvoked(uint id, const QString &action);
    void onClosed(uint id, uint reason);

private:
    void send(const AlertNotice &notice);
    QDBusConnection m_bus;
    QHash<uint, quint64> m_cpuOfId; // the CPU a shown notice's default action brings forward
    QHash<quint64, uint> m_idOfCpu; // each CPU's last notice of its own, which "working again" replaces
    bool m_markup = false; // the service reads its body as markup
    bool m_ready = false; // the service's capabilities are known
    QList<AlertNotice> m_waiting;
#endif
private:
    void fallBack(const AlertNotice &notice);
    PanelTray *m_tray;
};
