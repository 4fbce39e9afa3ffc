#pragma once

#include "monitor/CpuStatus.h"

#include <QObject>

class QAction;
class QMenu;
class QSystemTrayIcon;

// The panel's icon in the desktop's tray, where the desktop has one: it shows the worst state of
// all CPUs, its tip counts them, its menu shows or hides the panel, refreshes and exits. Where
// the desktop has no notification service, alerts show as its balloons.
class PanelTray : public QObject
{
    Q_OBJECT
public:
    explicit PanelTray(QObject *parent = nullptr);
    ~PanelTray() override;

    bool isAvailable() const { return m_icon != nullptr; }
    void setState(CpuState worst, const QString &summary);
    // A balloon with the state's icon; false when there is no tray to show it.
    bool showMessage(const QString &title, const QString &text, CpuState state);

Q_SIGNALS:
    void showHideRequested();
    void refreshRequested();
    void exitRequested();

private:
    QSystemTrayIcon *m_icon = nullptr;
    QMenu *m_menu = nullptr;
    CpuState m_worst = CpuState::Unknown;
};
