#pragma once

#include <QMainWindow>
#include <QPointer>

#include "display/frmDisplay.h"

#include <memory>

class CycleController;
class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;
class StatusTotals;

class frmSetiControl;

// The main window: the MDI area with the CPU windows and the log, the menus, the status bar
// with the four totals, and the one-second timer of the update cycle.
class mfrmTavrik : public QMainWindow
{
    Q_OBJECT
public:
    explicit mfrmTavrik(QWidget *parent = nullptr);
    ~mfrmTavrik() override;

    static mfrmTavrik *instance(); // the main window while it exists

    // Caption, placement, minimised start, message window, then the CPU list.
    void Load();
    // Opens a CPU window; a blank name or path makes the window ask for the CPU.
    void LoadCPUs(const QString &name, const QString &path);

    // The active CPU window, or null when the active child is not a CPU window.
    frmSetiControl *activeCpu() const;
    QList<frmSetiControl *> cpuWindows() const;
    void EditActiveCPU();

    // A close asked for by the system (session end, SIGTERM): it waits for a running cycle to end
    // instead of being refused.
    void closeFromSystem();

    CycleController &cycle() { return *m_cycle; }
    StatusTotals &totals() { return *m_totals; }
    QMdiArea *mdiArea() const { return m_mdi; }
    frmDisplay *display() const { return m_display; }

    // Menu commands, public for the pop-up twins and for tests.
    void mnuCPUAdd_Click();
    void mnuCPURemove_Click();
    void mnuCPUInfo_Click();
    void mnuCPUPutOnDisplay_Click();
    void mnuCPUAllowUpdates_Click();
    void mnuCPURefresh_Click();
    void mnuRefresh_Click();
    void mnuWindowMessage_Click();
    void mnuWindowHorizontalTile_Click();
    void mnuWindowVerticalTile_Click();
    void mnuWindowArrangeIcons_Click();
    void Timer1_Timer();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void createMenus();
    void createStatusBar();
    QAction *addItem(QMenu *menu, const char *name, const QString &caption, const QKeySequence &shortcut,
                     void (mfrmTavrik::*handler)());
    void onSubWindowActivated(QMdiSubWindow *sub);
    void onCpuActivated(frmSetiControl *cpu);
    void toggleActiveCpu(bool (frmSetiControl::*get)() const, void (frmSetiControl::*set)(bool));
    void onLogClosedByUser();
    void setCpuCommandsEnabled(bool enabled);
    void preparePopup();
    void fillWindowMenu();
    void updateStatusLabels();
    void updateCpus();
    void openHelp(const QString &target, bool localFile);
    void showDisplay();
    void unloadDisplay();
    void unloadAll();
    bool isBusy() const; // loading the CPU list or running a cycle: closing waits

    QMdiArea *m_mdi = nullptr;
    std::unique_ptr<StatusTotals> m_totals;
    std::unique_ptr<CycleController> m_cycle;
    QTimer *m_timer = nullptr;
    QPointer<frmDisplay> m_display;
    QLabel *m_lblDownloaded = nullptr;
    QLabel *m_lblUploaded = nullptr;
    QLabel *m_lblTotalTime = nullptr;
    QLabel *m_lblCurrentTime = nullptr;
    QMenu *m_mnuPop = nullptr;
    QMenu *m_mnuWindow = nullptr;
    QList<QAction *> m_windowListActions;
    bool m_closeWhenIdle = false;
    bool m_loading = false;
    bool m_closing = false;
};
