#include "panel/PanelTray.h"

#include "shared/StateColours.h"

#include <QMenu>
#include <QSystemTrayIcon>

PanelTray::PanelTray(QObject *parent)
    : QObject(parent)
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_menu = new QMenu;
    m_menu->setObjectName(QStringLiteral("mnuTray"));
    auto item = [this](const char *name, const QString &caption, void (PanelTray::*signal)()) {
        QAction *a = m_menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, signal);
    };
    item("mnuTrayShow", QStringLiteral("&Show/Hide Panel"), &PanelTray::showHideRequested);
    item("mnuTrayRefresh", QStringLiteral("&Refresh"), &PanelTray::refreshRequested);
    m_menu->addSeparator();
    item("mnuTrayExit", QStringLiteral("E&xit"), &PanelTray::exitRequested);

    m_icon = new QSystemTrayIcon(StateColours::Icon(m_worst), this);
    m_icon->setObjectName(QStringLiteral("trayIcon"));
    m_icon->setContextMenu(m_menu);
    m_icon->setToolTip(QStringLiteral("Tavrik Panel"));
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            Q_EMIT showHideRequested();
    });
    m_icon->show();
}

PanelTray::~PanelTray()
{
    delete m_menu;
}

void PanelTray::setState(CpuState worst, const QString &summary)
{
    if (!m_icon)
        return;
    if (worst != m_worst) {
        m_worst = worst;
        m_icon->setIcon(StateColours::Icon(worst));
    }
    m_icon->setToolTip(QStringLiteral("Tavrik Panel\n") + summary);
}

bool PanelTray::showMessage(const QString &title, const QString &text, CpuState state)
{
    if (!m_icon)
        return false;
    m_icon->showMessage(title, text, StateColours::Icon(state), 15000);
    return true;
}
