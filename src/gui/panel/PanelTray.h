#pragma once

#include "monitor/AlertRule.h"

#include <QObject>

class QAction;
class QMenu;
class QSystemTrayIcon;

// The panel's icon in the desktop's tray, where the desktop has one: it shows the worst state of
// all CPUs, its tip counts them, its menu shows or hides the panel, refreshes and exits. Alerts
// go out as the tray's messages, which reach the desktop's notification service.
class PanelTray : public QObject, public AlertSink
{
    Q_OBJECT
public:
    explicit PanelTray(QObject *parent = nullptr);
    ~PanelTray() override;

    bool isAvailable() const { return m_icon != nullptr; }
    void setState(CpuState worst, const QString &summary);
    void showAlert(const QString &title, const QString &text) override;

Q_SIGNALS:
    void showHideRequested();
    void refreshRequested();
    void exitRequested();

private:
    QSystemTrayIcon *m_icon = nullptr;
    QMenu *m_menu = nullptr;
    CpuState m_worst = CpuState::Unknown;
};
