#include "panel/mfrmTavrik.h"

#include "dialogs/frmCPUInfo.h"
#include "dialogs/frmOptions.h"
#include "display/frmDisplay.h"
#include "fleet/Fleet.h"
#include "history/HistoryStore.h"
#include "history/frmHistory.h"
#include "log/frmMessages.h"
#include "monitor/AlertRule.h"
#include "monitor/CpuStatus.h"
#include "monitor/StatusTotals.h"
#include "monitor/UpdateCycle.h"
#include "monitor/frmSetiControl.h"
#include "panel/CpuList.h"
#include "panel/DesktopNotifier.h"
#include "panel/PanelMenus.h"
#include "panel/PanelStatusBar.h"
#include "panel/PanelTray.h"
#include "panel/WindowArrangement.h"
#include "panel/frmOverview.h"
#include "settings/Options.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/Clock.h"
#include "shared/Framework.h"
#include "shared/Prompt.h"
#include "shared/bksPublicWindows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

namespace {

mfrmTavrik *g_instance = nullptr;

} // namespace

mfrmTavrik::mfrmTavrik(Options &options, QWidget *parent)
    : QMainWindow(parent)
    , m_options(options)
    , m_actions(std::make_unique<Actions>())
{
    g_instance = this;
    setObjectName(QStringLiteral("mfrmTavrik"));
    setWindowTitle(QStringLiteral("Tavrik Panel"));
    // The CPU windows take their title icon from here; without one each would load the style's.
    if (QApplication::windowIcon().isNull())
        setWindowIcon(QIcon(QStringLiteral(":/media/tavrik.png")));
    m_fleet = new Fleet(m_options, this);
    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("MDIClient"));
    m_mdi->setBackground(palette().brush(QPalette::Dark));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(m_mdi, &QMdiArea::subWindowActivated, this, &mfrmTavrik::onSubWindowActivated);

    m_status = new CpuStatusModel(this);
    m_history = new HistoryStore(HistoryStore::DefaultFile(), this);
    m_history->setKeepDays(m_options.keepHistoryDays());
    connect(m_history, &HistoryStore::usualPaces, m_fleet, &Fleet::setUsualPaces);
    connect(m_history, &HistoryStore::statusChanged, this,
        [](bool on, const QString &line) { frmMessages::Append(line, on ? LogKind::Note : LogKind::Failure); });
    connect(&m_options, &Options::changed, this, [this](const QString &key) {
        if (key == Schema::KeepHistoryDays)
            m_history->setKeepDays(m_options.keepHistoryDays());
    });
    m_tray = new PanelTray(this);
    auto *notifier = new DesktopNotifier(m_tray, this);
    m_alerts = std::make_unique<AlertRule>(notifier);
    connect(notifier, &DesktopNotifier::cpuActivated, this, &mfrmTavrik::activateCpu);
    connect(m_tray, &PanelTray::showHideRequested, this, [this] {
        if (isVisible() && !isMinimized()) {
            m_stateBeforeMinimised = windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
            hide();
            if (m_overview)
                m_overview->followPanel(false);
            return;
        }
        restoreWindow();
        if (m_overview)
            m_overview->followPanel(true);
    });
    connect(m_tray, &PanelTray::refreshRequested, this, &mfrmTavrik::mnuRefresh_Click);
    connect(m_tray, &PanelTray::exitRequested, this, [this] {
        if (m_actions->fileExit->isEnabled())
            close();
    });

    createMenus();
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_mdi, 1);
    m_statusBar = new PanelStatusBar(central);
    layout->addWidget(m_statusBar);
    setCentralWidget(central);

    // During a cycle the status bar is written once, at its end.
    connect(&m_fleet->totals(), &StatusTotals::changed, this, [this] {
        if (!m_fleet->cycle().isCycling())
            m_statusBar->show(m_fleet->totals());
    });
    connect(m_fleet, &Fleet::cpuAdded, this, &mfrmTavrik::onCpuAdded);
    connect(m_fleet, &Fleet::cpuRemoved, this, &mfrmTavrik::onCpuRemoved);
    connect(m_fleet, &Fleet::cpuChanged, this, [this](quint64 key) {
        if (frmSetiControl *cpu = m_windows.value(key)) {
            cpu->savePlace(); // within the fleet's write of the change
            cpu->showRecord();
            m_status->setCpu(key, cpu->CPUName());
            if (cpu == activeCpu())
                showChecks(cpu);
        }
    });
    connect(m_fleet, &Fleet::readingApplied, this, &mfrmTavrik::onReadingApplied);
    connect(m_fleet, &Fleet::logged, this, [](const LogEntries &entries) { frmMessages::Append(entries); });
    connect(m_fleet, &Fleet::alarmDue, this, [this] {
        const QString unheard = bksPublicModule::PlayWave(m_options.alarmSound(), m_options.soundsOn(), false, false);
        if (!unheard.isEmpty())
            frmMessages::Append(QStringLiteral("The download alarm could not be played: %1 (the sound is %2).")
                                    .arg(unheard, QDir::toNativeSeparators(m_options.alarmSound())));
    });
    connect(m_fleet, &Fleet::cycleStarted, this, &mfrmTavrik::onCycleStarted);
    connect(m_fleet, &Fleet::cycleFinished, this, &mfrmTavrik::onCycleFinished);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &mfrmTavrik::Timer1_Timer);
    Framework::RegisterWindow(this);
}

mfrmTavrik::~mfrmTavrik()
{
    // The area hides its children as the window goes, and would report activations to a window
    // that is no longer one.
    disconnect(m_mdi, nullptr, this, nullptr);
    if (g_instance == this)
        g_instance = nullptr;
}

mfrmTavrik *mfrmTavrik::instance()
{
    return g_instance;
}

UpdateCycle &mfrmTavrik::cycle()
{
    return m_fleet->cycle();
}

StatusTotals &mfrmTavrik::totals()
{
    return m_fleet->totals();
}

void mfrmTavrik::Load(bool minimizedThisRun)
{
    setWindowTitle(QStringLiteral("Tavrik Panel V.") + modTavrik::ProgramVersion());
    Framework::SetGeometryTwips(this, SettingsStore::getPlacement(Schema::MainWindow, Schema::MainWindowPlacement));
    frmMessages::setMdiArea(m_mdi);
    if (m_options.startMinimized() || minimizedThisRun)
        setWindowState(windowState() | Qt::WindowMinimized);
    show();
    if (SettingsStore::getBool(Schema::AppSettings, Schema::MessageWindow, Schema::BoolTrue).value_or(true)) {
        frmMessages::instance()->setLogVisible(true);
        m_actions->windowMessage->setChecked(true);
    }
    // The windows are made a few at a time, with the event loop running in between, and each
    // slice is read in the background at once: the panel answers from its first frame, however
    // many CPUs and however slow their shares.
    m_toLoad = std::make_unique<CpuList::StoredList>(CpuList::Read());
    m_fleet->setNotLoaded(m_toLoad->notLoaded);
    for (const QString &note : std::as_const(m_toLoad->notes))
        frmMessages::Append(note);
    // Painting the area while each window joins it costs more than making the windows.
    m_mdi->viewport()->setUpdatesEnabled(false);
    QTimer::singleShot(0, this, &mfrmTavrik::loadSlice);
}

void mfrmTavrik::loadSlice()
{
    if (!m_toLoad)
        return;
    constexpr int SliceMs = 8;
    QElapsedTimer slice;
    slice.start();
    while (m_loaded < m_toLoad->cpus.size() && slice.elapsed() < SliceMs) {
        const auto &[name, path] = m_toLoad->cpus.at(m_loaded++);
        m_fleet->restore(name, path);
    }
    m_fleet->readNow(std::exchange(m_loadedKeys, {}));
    // The list is taken over in a turn of its own: that write waits for the disk.
    QTimer::singleShot(0, this, m_loaded < m_toLoad->cpus.size() ? &mfrmTavrik::loadSlice : &mfrmTavrik::finishLoading);
}

void mfrmTavrik::finishLoading()
{
    if (!m_toLoad)
        return;
    while (m_loaded < m_toLoad->cpus.size()) {
        const auto &[name, path] = m_toLoad->cpus.at(m_loaded++);
        m_fleet->restore(name, path);
    }
    m_fleet->readNow(std::exchange(m_loadedKeys, {}));
    {
        const SettingsStore::Batch batch; // the list and the new history ids in one write
        CpuList::TakeOver(*m_toLoad);
        m_fleet->storeNewIds();
    }
    m_toLoad.reset();
    m_mdi->viewport()->setUpdatesEnabled(true);
    // The last window made is the active one, as when each became active in turn.
    if (!m_mdi->activeSubWindow() && m_fleet->count() > 0)
        if (frmSetiControl *last = m_windows.value(m_fleet->cpus().last()->key))
            m_mdi->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(Framework::FrameOf(last)));
    if (frmMessages::exists()) {
        QList<QRect> places;
        for (frmSetiControl *cpu : std::as_const(m_windows))
            places.append(Framework::FrameOf(cpu)->geometry());
        frmMessages::instance()->placeBelow(places);
    }
    m_timer->start();
}

bool mfrmTavrik::isLoading() const
{
    return m_toLoad != nullptr;
}

void mfrmTavrik::onCpuAdded(quint64 key)
{
    auto *cpu = new frmSetiControl(*m_fleet, key);
    QPointer<frmSetiControl> guard(cpu);
    connect(cpu, &frmSetiControl::activated, this, [this, guard] {
        if (guard)
            showChecks(guard);
    });
    connect(cpu, &frmSetiControl::popupMenuRequested, this, [this, guard](const QPoint &pos) {
        if (guard)
            popupFor(guard, pos);
    });
    connect(cpu, &frmSetiControl::editRequested, this, [this, guard] { editCpu(guard); });
    m_windows.insert(key, cpu);
    m_loadedKeys.append(key);
    cpu->Load(m_mdi, !isLoading());
    m_status->setCpu(key, cpu->CPUName());
    if (!cpu->hasStoredPlace())
        WindowArrangement::PlaceNew(m_mdi, cpu);
}

void mfrmTavrik::onCpuRemoved(quint64 key)
{
    m_status->remove(key);
    m_alerts->forget(key);
    m_tray->setState(m_status->worst(), m_status->summary());
    if (frmSetiControl *cpu = m_windows.take(key))
        cpu->Unload();
}

void mfrmTavrik::onReadingApplied(quint64 key, const ReadingOutcome &outcome)
{
    const Cpu *record = m_fleet->find(key);
    if (!record)
        return;
    if (frmSetiControl *cpu = m_windows.value(key))
        cpu->showRecord();
    m_status->setStatus(key, record->name, record->status);
    m_history->observe(record->historyId, record->name, outcome.result, record->status, Clock::NowUtc());
    m_alerts->setEnabled(m_options.notifications());
    m_alerts->observe(key, record->name, record->status);
    // A cycle's changes go out together at its end; the tray's summary counts every CPU.
    if (!m_fleet->cycle().isCycling()) {
        m_alerts->flush();
        m_tray->setState(m_status->worst(), m_status->summary());
    }
}

void mfrmTavrik::activateCpu(quint64 key)
{
    frmSetiControl *cpu = m_windows.value(key);
    if (!cpu)
        return;
    restoreWindow();
    if (auto *sub = qobject_cast<QMdiSubWindow *>(Framework::FrameOf(cpu))) {
        if (sub->isMinimized())
            sub->showNormal();
        m_mdi->setActiveSubWindow(sub);
    }
}

void mfrmTavrik::onCycleStarted()
{
    for (QAction *item : { m_actions->refresh, m_actions->fileExit })
        item->setEnabled(false);
    frmMessages::HoldEntries(true);
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void mfrmTavrik::onCycleFinished()
{
    m_history->cycleFinished();
    QApplication::restoreOverrideCursor();
    frmMessages::HoldEntries(false);
    m_alerts->flush();
    m_tray->setState(m_status->worst(), m_status->summary());
    for (QAction *item : { m_actions->refresh, m_actions->fileExit })
        item->setEnabled(true);
    m_statusBar->show(m_fleet->totals());
}

frmSetiControl *mfrmTavrik::activeCpu() const
{
    QMdiSubWindow *sub = m_mdi->activeSubWindow();
    if (!sub)
        sub = m_mdi->currentSubWindow();
    auto *cpu = sub ? qobject_cast<frmSetiControl *>(sub->widget()) : nullptr;
    return cpu && !cpu->isUnloaded() ? cpu : nullptr;
}

frmSetiControl *mfrmTavrik::windowOf(quint64 key) const
{
    return m_windows.value(key);
}

QList<frmSetiControl *> mfrmTavrik::cpuWindows() const
{
    QList<frmSetiControl *> out;
    out.reserve(m_fleet->count());
    for (const Cpu *cpu : m_fleet->cpus())
        if (frmSetiControl *w = m_windows.value(cpu->key); w && !w->isUnloaded())
            out.append(w);
    return out;
}

void mfrmTavrik::mnuCPUAdd_Click()
{
    frmCPUInfo dialog(this);
    dialog.setNameCheck([this](const QString &typed) { return m_fleet->nameRefusal(typed, 0); });
    const QString &app = Schema::AppSettings;
    if (const auto v = SettingsStore::getBool(app, Schema::DefaultAllowUpdates, Schema::BoolTrue))
        dialog.setAllowUpdates(*v);
    if (const auto v = SettingsStore::getBool(app, Schema::DefaultPutOnDisplay, Schema::BoolTrue))
        dialog.setPutOnDisplay(*v);
    dialog.showModal();
    const SettingsStore::Batch batch; // the CPU and its window's place in one write
    if (Cpu *cpu = m_fleet->add(dialog.CPUName(), dialog.CPUPath(), dialog.AllowUpdates(), dialog.PutOnDisplay())) {
        if (frmSetiControl *window = m_windows.value(cpu->key))
            window->savePlace();
        m_fleet->readNow({ cpu->key });
        m_loadedKeys.removeOne(cpu->key);
    }
}

void mfrmTavrik::mnuCPURemove_Click()
{
    removeCpu(activeCpu());
}

void mfrmTavrik::removeCpu(frmSetiControl *cpu)
{
    if (!cpu || cpu->isUnloaded())
        return;
    // The item promises a question: one stray key press used to delete the CPU's stored settings.
    if (!Prompt::AskYesNo(this, QStringLiteral("Remove the CPU \"%1\"?").arg(cpu->CPUName()), QStringLiteral("Tavrik")))
        return;
    if (const Cpu *record = cpu->cpu())
        m_history->cpuRemoved(record->historyId);
    m_fleet->remove(cpu->key());
}

void mfrmTavrik::mnuCPUInfo_Click()
{
    EditActiveCPU();
}

void mfrmTavrik::EditActiveCPU()
{
    editCpu(activeCpu());
}

void mfrmTavrik::editCpu(frmSetiControl *window)
{
    QPointer<frmSetiControl> cpu = window;
    if (!cpu || cpu->isUnloaded())
        return;
    frmCPUInfo dialog(this);
    const quint64 key = cpu->key();
    dialog.setNameCheck([this, key](const QString &typed) { return m_fleet->nameRefusal(typed, key); });
    dialog.setCPUName(cpu->CPUName());
    dialog.setCPUPath(cpu->CPUPath());
    dialog.setAllowUpdates(cpu->AllowUpdates());
    dialog.setPutOnDisplay(cpu->PutOnDisplay());
    dialog.showModal();
    if (!cpu)
        return;
    if (m_fleet->edit(key, dialog.CPUName(), dialog.CPUPath(), dialog.AllowUpdates(), dialog.PutOnDisplay()))
        m_fleet->readNow({ key });
}

void mfrmTavrik::toggleUpdates(frmSetiControl *cpu)
{
    if (cpu && !cpu->isUnloaded())
        m_fleet->setAllowUpdates(cpu->key(), !cpu->AllowUpdates());
}

void mfrmTavrik::toggleDisplay(frmSetiControl *cpu)
{
    if (cpu && !cpu->isUnloaded())
        m_fleet->setPutOnDisplay(cpu->key(), !cpu->PutOnDisplay());
}

void mfrmTavrik::refreshCpu(frmSetiControl *cpu)
{
    if (cpu && !cpu->isUnloaded())
        m_fleet->readNow({ cpu->key() });
}

void mfrmTavrik::mnuCPUPutOnDisplay_Click()
{
    toggleDisplay(activeCpu());
}

void mfrmTavrik::mnuCPUAllowUpdates_Click()
{
    toggleUpdates(activeCpu());
}

void mfrmTavrik::mnuCPURefresh_Click()
{
    refreshCpu(activeCpu());
}

void mfrmTavrik::mnuRefresh_Click()
{
    m_fleet->cycle().refresh();
}

void mfrmTavrik::Timer1_Timer()
{
    m_fleet->cycle().tick();
}

void mfrmTavrik::popupFor(frmSetiControl *cpu, const QPoint &globalPos)
{
    // The right button makes the window the active one, so the menu and the CPU menu agree.
    if (auto *sub = qobject_cast<QMdiSubWindow *>(Framework::FrameOf(cpu)))
        m_mdi->setActiveSubWindow(sub);
    m_popupCpu = cpu;
    m_mnuPop->popup(globalPos);
}

void mfrmTavrik::showOverview()
{
    if (!m_overview) {
        m_overview = new frmOverview(*m_status, this);
        connect(m_overview, &frmOverview::cpuActivated, this, &mfrmTavrik::activateCpu);
        connect(m_fleet, &Fleet::cycleFinished, m_overview, &frmOverview::fitColumns);
    }
    if (m_overview->isVisible()) {
        m_overview->raise();
        m_overview->activateWindow();
        return;
    }
    m_overview->Load();
}

frmHistory *mfrmTavrik::historyWindow() const
{
    return m_historyWindow;
}

void mfrmTavrik::mnuWindowHistory_Click()
{
    if (!m_historyWindow) {
        // A child window of the panel, as the log is.
        m_historyWindow = new frmHistory(*m_history);
        m_mdi->addSubWindow(m_historyWindow);
    }
    if (auto *sub = qobject_cast<QMdiSubWindow *>(Framework::FrameOf(m_historyWindow)); sub && !sub->isHidden()) {
        m_historyWindow->refresh();
        m_mdi->setActiveSubWindow(sub);
        return;
    }
    m_historyWindow->Load();
}

void mfrmTavrik::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || m_closing)
        return;
    const auto before = static_cast<QWindowStateChangeEvent *>(event)->oldState();
    if (isMinimized() && !before.testFlag(Qt::WindowMinimized))
        m_stateBeforeMinimised = before & (Qt::WindowMaximized | Qt::WindowFullScreen);
    if (m_overview)
        m_overview->followPanel(!isMinimized());
    if (isMinimized())
        showDisplay();
    else
        unloadDisplay();
}

void mfrmTavrik::restoreWindow()
{
    // Back to the state it had before it was minimised or hidden: a maximised panel stays maximised.
    if (!isVisible() || isMinimized()) {
        setWindowState(m_stateBeforeMinimised);
        show();
    }
    raise();
    activateWindow();
}

void mfrmTavrik::showDisplay()
{
    if (m_display || !m_options.scroll())
        return;
    m_display = new frmDisplay(m_options, [this] { return m_fleet->displayViews(); });
    m_display->setEnableTimer(true);
    connect(m_display, &frmDisplay::showMainWindowRequested, this, &mfrmTavrik::restoreWindow);
    m_display->Load();
}

void mfrmTavrik::unloadDisplay()
{
    if (m_display)
        m_display->Unload();
    m_display = nullptr;
}

void mfrmTavrik::closeFromSystem()
{
    // The system does not wait: a running cycle is abandoned and its readings dropped.
    if (m_fleet->cycle().isCycling()) {
        m_fleet->cycle().stop();
        onCycleFinished();
    }
    close();
}

void mfrmTavrik::closeEvent(QCloseEvent *event)
{
    // The user's Exit is disabled during a cycle; a close from the system waits for its end.
    if (m_fleet->cycle().isCycling()) {
        event->ignore();
        return;
    }
    // CPUs whose windows are not made yet are handed over as they were stored, unbuilt.
    const QList<QPair<QString, QString>> unbuilt
        = m_toLoad ? m_toLoad->cpus.mid(m_loaded) : QList<QPair<QString, QString>>();
    m_toLoad.reset();
    m_closing = true;
    m_timer->stop();
    m_fleet->cycle().stop();
    {
        // The whole hand-over is one write: a kill before it leaves the list of the running panel.
        const SettingsStore::Batch batch;
        m_fleet->handOver(unbuilt);
        for (frmSetiControl *cpu : cpuWindows()) {
            cpu->savePlace();
            cpu->Unload();
        }
        frmMessages::unloadInstance();
        if (!isMinimized())
            SettingsStore::savePlacement(Schema::MainWindow, Framework::GeometryTwips(this));
        modTavrik::SaveOptions(m_options);
        SettingsStore::save(Schema::AppSettings, Schema::CPUs, QString());
    }
    if (m_overview)
        m_overview->Unload();
    if (m_historyWindow)
        m_historyWindow->Unload();
    // Without its main window the display would stand for nothing.
    unloadDisplay();
    event->accept();
}
