#pragma once

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include "display/frmDisplay.h"
#include "panel/CpuList.h"
#include "panel/frmOverview.h"

#include <memory>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;
class AlertRule;
class CpuStatusModel;
class Fleet;
class HistoryStore;
class frmHistory;
class Options;
class PanelStatusBar;
class PanelTray;
class StatusTotals;
class UpdateCycle;
struct ReadingOutcome;

class frmSetiControl;

// The main window: the MDI area with a window for each CPU of the fleet and the log, the menus,
// the status bar with the four totals, and the one-second timer of the update cycle. The fleet
// owns the CPUs and applies their readings; this window shows them and carries the commands.
class mfrmTavrik : public QMainWindow
{
    Q_OBJECT
public:
    explicit mfrmTavrik(Options &options, QWidget *parent = nullptr);
    ~mfrmTavrik() override;

    static mfrmTavrik *instance(); // the main window while it exists

    // Caption, placement, minimised start (also for this run only), message window, then the CPU
    // list; the CPUs are then read in the background.
    void Load(bool minimizedThisRun = false);
    // The stored CPUs' windows are still being made.
    bool isLoading() const;

    // The active CPU window, or null when the active child is not a CPU window.
    frmSetiControl *activeCpu() const;
    QList<frmSetiControl *> cpuWindows() const;
    frmSetiControl *windowOf(quint64 key) const;
    void EditActiveCPU();

    // A close asked for by the system (session end, SIGTERM): it waits for a running cycle to end
    // instead of being refused.
    void closeFromSystem();

    Fleet &fleet() { return *m_fleet; }
    UpdateCycle &cycle();
    Options &options() { return m_options; }
    StatusTotals &totals();
    QMdiArea *mdiArea() const { return m_mdi; }
    frmDisplay *display() const { return m_display; }
    CpuStatusModel &statusModel() { return *m_status; }
    frmOverview *overview() const { return m_overview; }
    PanelTray *tray() const { return m_tray; }
    HistoryStore &history() { return *m_history; }
    frmHistory *historyWindow() const;
    void mnuWindowHistory_Click();

    // Menu commands on the active CPU window, public for tests. The pop-up menu's twins act on the
    // window it was opened on.
    void mnuCPUAdd_Click();
    void mnuCPURemove_Click();
    void mnuCPUInfo_Click();
    void mnuCPUPutOnDisplay_Click();
    void mnuCPUAllowUpdates_Click();
    void mnuCPURefresh_Click();
    void mnuRefresh_Click();
    void Timer1_Timer();
    // Opens the pop-up menu for this CPU window (as its right button does).
    void popupFor(frmSetiControl *cpu, const QPoint &globalPos);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct Actions;
    void createMenus();
    QAction *addItem(QMenu *menu, const char *name, const QString &caption, const QKeySequence &shortcut = {});
    void onSubWindowActivated(QMdiSubWindow *sub);
    void onLogClosed();
    void showChecks(const frmSetiControl *cpu);
    void onCpuAdded(quint64 key);
    void onCpuRemoved(quint64 key);
    void onReadingApplied(quint64 key, const ReadingOutcome &outcome);
    void activateCpu(quint64 key);
    void onCycleStarted();
    void onCycleFinished();
    void loadSlice();
    void finishLoading();
    void setCpuCommandsEnabled(bool enabled);
    void preparePopup();
    void fillWindowMenu();
    void showOverview();
    void openHelp(const QString &target, bool localFile);
    void restoreWindow();
    void showDisplay();
    void unloadDisplay();

    void removeCpu(frmSetiControl *cpu);
    void editCpu(frmSetiControl *cpu);
    void toggleUpdates(frmSetiControl *cpu);
    void toggleDisplay(frmSetiControl *cpu);
    void refreshCpu(frmSetiControl *cpu);

    Options &m_options;
    std::unique_ptr<Actions> m_actions;
    Fleet *m_fleet = nullptr;
    QMdiArea *m_mdi = nullptr;
    QHash<quint64, QPointer<frmSetiControl>> m_windows;
    QTimer *m_timer = nullptr;
    QPointer<frmDisplay> m_display;
    CpuStatusModel *m_status = nullptr;
    std::unique_ptr<AlertRule> m_alerts;
    PanelTray *m_tray = nullptr;
    QPointer<frmOverview> m_overview;
    HistoryStore *m_history = nullptr;
    QPointer<frmHistory> m_historyWindow;
    PanelStatusBar *m_statusBar = nullptr;
    QMenu *m_mnuPop = nullptr;
    QMenu *m_mnuWindow = nullptr;
    QPointer<frmSetiControl> m_popupCpu; // the window the pop-up menu was opened on
    QList<QAction *> m_windowListActions;
    std::unique_ptr<CpuList::StoredList> m_toLoad; // while the windows are being made
    qsizetype m_loaded = 0; // of m_toLoad's CPUs
    QList<quint64> m_loadedKeys; // made in this slice, read together
    bool m_closing = false;
    Qt::WindowStates m_stateBeforeMinimised; // what restoring brings back
};
