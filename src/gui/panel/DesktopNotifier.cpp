#include "panel/DesktopNotifier.h"

#include "panel/PanelTray.h"

#ifdef QT_DBUS_LIB
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <utility>

namespace {

const QString Interface = QStringLiteral("org.freedesktop.Notifications");

// Icon names every icon theme has.
QString iconOf(AlertUrgency urgency)
{
    switch (urgency) {
    case AlertUrgency::Critical:
        return QStringLiteral("dialog-error");
    case AlertUrgency::Normal:
        return QStringLiteral("dialog-warning");
    default:
        return QStringLiteral("dialog-information");
    }
}

} // namespace

DesktopNotifier::DesktopNotifier(PanelTray *tray, QObject *parent)
    : DesktopNotifier(tray, QDBusConnection::sessionBus(), parent)
{
}

DesktopNotifier::DesktopNotifier(PanelTray *tray, const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_tray(tray)
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(
        Service, Path, Interface, QStringLiteral("ActionInvoked"), this, SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this, SLOT(onClosed(uint, uint)));
    auto *watcher = new QDBusPendingCallWatcher(
        m_bus.asyncCall(QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("GetCapabilities"))),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<QStringList> reply = *w;
        m_markup = !reply.isError() && reply.value().contains(QStringLiteral("body-markup"));
        w->deleteLater();
        m_ready = true;
        for (const AlertNotice &n : std::exchange(m_waiting, {}))
            send(n);
    });
}

void DesktopNotifier::showAlerts(const QList<AlertNotice> &notices)
{
    for (const AlertNotice &n : notices) {
        if (!m_bus.isConnected())
            fallBack(n);
        else if (!m_ready) // how to write the body is not known yet
            m_waiting.append(n);
        else
            send(n);
    }
}

void DesktopNotifier::send(const AlertNotice &notice)
{
    const quint64 first = notice.keys.value(0);
    const uint replaces = notice.recovered && notice.keys.size() == 1 ? m_idOfCpu.value(first) : 0;
    QString body = notice.text;
    if (m_markup)
        body = body.toHtmlEscaped();
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(notice.urgency)));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("tavrik"));
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    call << QStringLiteral("Tavrik") << replaces << iconOf(notice.urgency) << notice.title << body
         << QStringList { QStringLiteral("default"), QStringLiteral("Show") } << hints << -1;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, notice](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError()) {
            fallBack(notice);
            return;
        }
        const uint id = reply.value();
        m_cpuOfId.insert(id, notice.keys.value(0));
        // A summary names several CPUs; replacing it would take the others' news away.
        for (quint64 key : notice.keys) {
            if (notice.keys.size() == 1)
                m_idOfCpu.insert(key, id);
            else
                m_idOfCpu.remove(key);
        }
    });
}

void DesktopNotifier::onActionInvoked(uint id, const QString &action)
{
    if (action == QLatin1String("default") && m_cpuOfId.contains(id))
        Q_EMIT cpuActivated(m_cpuOfId.value(id));
}

void DesktopNotifier::onClosed(uint id, uint)
{
    // Closed notices stay in the service's history, but their ids are no longer ours to replace.
    m_cpuOfId.remove(id);
}

#else

DesktopNotifier::DesktopNotifier(PanelTray *tray, QObject *parent)
    : QObject(parent)
    , m_tray(tray)
{
}

void DesktopNotifier::showAlerts(const QList<AlertNotice> &notices)
{
    for (const AlertNotice &n : notices)
        fallBack(n);
}

#endif

void DesktopNotifier::fallBack(const AlertNotice &notice)
{
    if (m_tray)
        m_tray->showMessage(notice.title, notice.text, notice.state);
    Q_EMIT fellBack(notice.title);
}
