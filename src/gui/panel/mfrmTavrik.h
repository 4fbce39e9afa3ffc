#pragma once

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include "display/frmDisplay.h"
#include "panel/CpuList.h"
#include "panel/frmOverview.h"

#include <memory>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;
class AlertRule;
class CpuStatusModel;
class PanelTray;
class StatusTotals;
class UpdateCycle;
struct ClientSnapshot;
struct Options;

class frmSetiControl;

// The main window: the MDI area with the CPU windows and the log, the menus, the status bar
// with the four totals, and the one-second timer of the update cycle. The cycle itself reads the
// clients in the background; this window hands each reading to its CPU window.
class mfrmTavrik : public QMainWindow
{
    Q_OBJECT
public:
    explicit mfrmTavrik(Options &options, QWidget *parent = nullptr);
    ~mfrmTavrik() override;

    static mfrmTavrik *instance(); // the main window while it exists

    // Caption, placement, minimised start, message window, then the CPU list; the CPUs are then
    // read in the background.
    void Load();
    // Opens a CPU window; a blank name or path makes the window ask for the CPU. Null when the
    // window got no valid CPU.
    frmSetiControl *LoadCPUs(const QString &name, const QString &path);
    // The stored CPUs' windows are still being made.
    bool isLoading() const;

    // The active CPU window, or null when the active child is not a CPU window.
    frmSetiControl *activeCpu() const;
    QList<frmSetiControl *> cpuWindows() const;
    void EditActiveCPU();

    // A close asked for by the system (session end, SIGTERM): it waits for a running cycle to end
    // instead of being refused.
    void closeFromSystem();

    UpdateCycle &cycle() { return *m_cycle; }
    Options &options() { return m_options; }
    StatusTotals &totals() { return *m_totals; }
    QMdiArea *mdiArea() const { return m_mdi; }
    frmDisplay *display() const { return m_display; }
    CpuStatusModel &statusModel() { return *m_status; }
    frmOverview *overview() const { return m_overview; }
    PanelTray *tray() const { return m_tray; }

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
    void mnuWindowTileGrid_Click();
    void mnuWindowOverview_Click();
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
    void onCpuStatus(frmSetiControl *cpu);
    void activateCpu(quint64 key);
    void placeNewWindow(frmSetiControl *cpu);
    void onReading(quint64 key, const QString &path, const ClientSnapshot &files);
    void onCycleStarted();
    void onCycleFinished();
    void readNow(const QList<frmSetiControl *> &cpus);
    void loadSlice();
    void finishLoading();
    void setCpuCommandsEnabled(bool enabled);
    void preparePopup();
    void fillWindowMenu();
    void updateStatusLabels();
    void openHelp(const QString &target, bool localFile);
    void restoreWindow();
    void showDisplay();
    void unloadDisplay();
    void unloadAll();

    Options &m_options;
    QMdiArea *m_mdi = nullptr;
    QHash<quint64, QPointer<frmSetiControl>> m_cpusByKey; // where the cycle's readings go
    std::unique_ptr<StatusTotals> m_totals;
    UpdateCycle *m_cycle = nullptr;
    QTimer *m_timer = nullptr;
    QPointer<frmDisplay> m_display;
    CpuStatusModel *m_status = nullptr;
    std::unique_ptr<AlertRule> m_alerts;
    PanelTray *m_tray = nullptr;
    QPointer<frmOverview> m_overview;
    QLabel *m_lblDownloaded = nullptr;
    QLabel *m_lblUploaded = nullptr;
    QLabel *m_lblTotalTime = nullptr;
    QLabel *m_lblCurrentTime = nullptr;
    QMenu *m_mnuPop = nullptr;
    QMenu *m_mnuWindow = nullptr;
    QList<QAction *> m_windowListActions;
    std::unique_ptr<CpuList::StoredList> m_toLoad; // while the windows are being made
    qsizetype m_loaded = 0; // of m_toLoad's CPUs
    bool m_closeAfterCycle = false; // a close from the system came during a cycle
    bool m_closing = false;
    Qt::WindowStates m_stateBeforeMinimised; // what restoring brings back
};
