#include "panel/mfrmTavrik.h"

#include "dialogs/frmAbout.h"
#include "dialogs/frmCPUInfo.h"
#include "dialogs/frmOptions.h"
#include "display/frmDisplay.h"
#include "log/frmMessages.h"
#include "monitor/AlertRule.h"
#include "monitor/CpuStatus.h"
#include "monitor/StatusTotals.h"
#include "monitor/UpdateCycle.h"
#include "monitor/frmSetiControl.h"
#include "panel/CpuList.h"
#include "panel/DesktopNotifier.h"
#include "panel/GridPlacement.h"
#include "panel/PanelTray.h"
#include "panel/frmOverview.h"
#include "settings/Options.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/Framework.h"
#include "shared/Prompt.h"
#include "shared/bksPublicWindows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPainter>
#include <QProcess>
#include <QTimer>
#include <QUrl>
#include <QWindowStateChangeEvent>

namespace {

mfrmTavrik *g_instance = nullptr;

// A status-bar value: long durations are shortened with an ellipsis to fit their column, and the
// whole text shows as a tip.
class ValueLabel : public QLabel
{
public:
    using QLabel::QLabel;

    void setValue(const QString &text)
    {
        if (text == this->text())
            return;
        setText(text);
        setToolTip(text);
        m_elidedWidth = -1;
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const QRect r = contentsRect();
        if (m_elidedWidth != r.width()) {
            m_elided = fontMetrics().elidedText(text(), Qt::ElideRight, r.width());
            m_elidedWidth = r.width();
        }
        p.setPen(palette().color(foregroundRole()));
        p.drawText(r, int(alignment()), m_elided);
    }

private:
    QString m_elided;
    int m_elidedWidth = -1; // the width m_elided was made for
};

// The ten commands that act on the active CPU window; the log disables them while it is active.
const char *const CpuCommands[] = { "mnuCPURemove", "mnuCPUInfo", "mnuCPUAllowUpdates", "mnuCPUPutOnDisplay",
    "mnuCPURefresh", "mnuPopRemove", "mnuPopInfo", "mnuPopAllowUpdates", "mnuPopPutOnDisplay", "mnuPopRefresh" };

} // namespace

mfrmTavrik::mfrmTavrik(Options &options, QWidget *parent)
    : QMainWindow(parent)
    , m_options(options)
    , m_totals(std::make_unique<StatusTotals>())
{
    g_instance = this;
    setObjectName(QStringLiteral("mfrmTavrik"));
    setWindowTitle(QStringLiteral("Tavrik Panel"));
    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("MDIClient"));
    m_mdi->setBackground(palette().brush(QPalette::Dark));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(m_mdi, &QMdiArea::subWindowActivated, this, &mfrmTavrik::onSubWindowActivated);

    m_status = new CpuStatusModel(this);
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
        if (QAction *exit = findChild<QAction *>(QStringLiteral("mnuFileExit")); exit->isEnabled())
            close();
    });

    createMenus();
    createStatusBar();
    // During a cycle the status bar is written once, at its end.
    connect(m_totals.get(), &StatusTotals::changed, this, [this] {
        if (!m_cycle->isCycling())
            updateStatusLabels();
    });

    m_cycle = new UpdateCycle(m_options, this);
    m_cycle->setObjectName(QStringLiteral("cycle"));
    m_cycle->setTargets([this] {
        QList<UpdateCycle::Target> targets;
        for (frmSetiControl *cpu : cpuWindows())
            if (cpu->AllowUpdates())
                targets.append({ cpu->key(), cpu->CPUPath() });
        return targets;
    });
    connect(m_cycle, &UpdateCycle::cycleStarted, this, &mfrmTavrik::onCycleStarted);
    connect(m_cycle, &UpdateCycle::readingReady, this, &mfrmTavrik::onReading);
    connect(m_cycle, &UpdateCycle::cycleFinished, this, &mfrmTavrik::onCycleFinished);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &mfrmTavrik::Timer1_Timer);
    Framework::RegisterWindow(this);
}

mfrmTavrik::~mfrmTavrik()
{
    if (g_instance == this)
        g_instance = nullptr;
}

mfrmTavrik *mfrmTavrik::instance()
{
    return g_instance;
}

QAction *mfrmTavrik::addItem(
    QMenu *menu, const char *name, const QString &caption, const QKeySequence &shortcut, void (mfrmTavrik::*handler)())
{
    auto *a = new QAction(caption, this);
    a->setObjectName(QLatin1String(name));
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    if (handler)
        connect(a, &QAction::triggered, this, handler);
    if (menu)
        menu->addAction(a);
    return a;
}

void mfrmTavrik::createMenus()
{
    using K = QKeySequence;
    auto *bar = menuBar();
    auto *file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    addItem(file, "mnuFileOptions", QStringLiteral("&Options..."), K(Qt::CTRL | Qt::Key_O), nullptr);
    connect(findChild<QAction *>(QStringLiteral("mnuFileOptions")), &QAction::triggered, this, [this] {
        frmOptions options(m_options, this);
        options.exec(); // modal, as every dialog of the panel; the cycle goes on meanwhile
    });
    addItem(file, "mnuFileExit", QStringLiteral("E&xit"), K(Qt::CTRL | Qt::Key_X), nullptr);
    connect(findChild<QAction *>(QStringLiteral("mnuFileExit")), &QAction::triggered, this, &QWidget::close);

    auto *cpu = bar->addMenu(QStringLiteral("&CPU"));
    cpu->setObjectName(QStringLiteral("mnuCPU"));
    addItem(cpu, "mnuCPUAdd", QStringLiteral("&Add CPU..."), K(Qt::CTRL | Qt::Key_A), &mfrmTavrik::mnuCPUAdd_Click);
    addItem(cpu, "mnuCPURemove", QStringLiteral("&Remove CPU..."), K(Qt::CTRL | Qt::Key_R),
        &mfrmTavrik::mnuCPURemove_Click);
    addItem(cpu, "mnuCPUInfo", QStringLiteral("&CPU Info..."), K(Qt::CTRL | Qt::Key_C), &mfrmTavrik::mnuCPUInfo_Click);
    cpu->addSeparator()->setObjectName(QStringLiteral("mnuCPUBar1"));
    addItem(cpu, "mnuCPUPutOnDisplay", QStringLiteral("Include in Scrolling &Display"), K(Qt::CTRL | Qt::Key_D),
        &mfrmTavrik::mnuCPUPutOnDisplay_Click)
        ->setCheckable(true);
    addItem(cpu, "mnuCPUAllowUpdates", QStringLiteral("Allow this CPU to &Update"), K(Qt::CTRL | Qt::Key_U),
        &mfrmTavrik::mnuCPUAllowUpdates_Click)
        ->setCheckable(true);
    cpu->addSeparator()->setObjectName(QStringLiteral("mnuCPUBar2"));
    addItem(cpu, "mnuCPURefresh", QStringLiteral("Re&fresh Me Only"), K(Qt::CTRL | Qt::Key_F),
        &mfrmTavrik::mnuCPURefresh_Click);

    bar->addAction(addItem(nullptr, "mnuRefresh", QStringLiteral("&Refresh"), K(), &mfrmTavrik::mnuRefresh_Click));

    m_mnuWindow = bar->addMenu(QStringLiteral("&Window"));
    m_mnuWindow->setObjectName(QStringLiteral("mnuWindow"));
    addItem(m_mnuWindow, "mnuWindowHorizontalTile", QStringLiteral("&Horizontal Tile"), K(Qt::CTRL | Qt::Key_H),
        &mfrmTavrik::mnuWindowHorizontalTile_Click);
    addItem(m_mnuWindow, "mnuWindowVerticalTile", QStringLiteral("&Vertical Tile"), K(Qt::CTRL | Qt::Key_V),
        &mfrmTavrik::mnuWindowVerticalTile_Click);
    addItem(m_mnuWindow, "mnuWindowCascade", QStringLiteral("&Cascade"), K(Qt::CTRL | Qt::Key_K), nullptr);
    connect(findChild<QAction *>(QStringLiteral("mnuWindowCascade")), &QAction::triggered, m_mdi,
        &QMdiArea::cascadeSubWindows);
    addItem(m_mnuWindow, "mnuWindowArrangeIcons", QStringLiteral("&Arrange Icons"), K(Qt::CTRL | Qt::Key_N),
        &mfrmTavrik::mnuWindowArrangeIcons_Click);
    addItem(m_mnuWindow, "mnuWindowTileGrid", QStringLiteral("Tile as &Grid"), K(Qt::CTRL | Qt::Key_G),
        &mfrmTavrik::mnuWindowTileGrid_Click);
    addItem(m_mnuWindow, "mnuWindowOverview", QStringLiteral("&Overview"), K(Qt::CTRL | Qt::Key_T),
        &mfrmTavrik::mnuWindowOverview_Click);
    addItem(m_mnuWindow, "mnuWindowMessage", QStringLiteral("&Message"), K(Qt::CTRL | Qt::Key_M),
        &mfrmTavrik::mnuWindowMessage_Click)
        ->setCheckable(true);
    // Invisible in the menu; its F5 key still works because the window itself carries the action.
    QAction *refresh = addItem(
        m_mnuWindow, "mnuWindowRefresh", QStringLiteral("Refresh"), K(Qt::Key_F5), &mfrmTavrik::mnuRefresh_Click);
    refresh->setVisible(false);
    auto *f5 = addItem(nullptr, "mnuWindowRefreshKey", QString(), K(Qt::Key_F5), &mfrmTavrik::mnuRefresh_Click);
    addAction(f5);
    m_mnuWindow->addSeparator();
    connect(m_mnuWindow, &QMenu::aboutToShow, this, &mfrmTavrik::fillWindowMenu);

    auto *help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    addItem(help, "mnuHelpBrief", QStringLiteral("&Brief Tour..."), K(Qt::Key_F1), nullptr);
    connect(findChild<QAction *>(QStringLiteral("mnuHelpBrief")), &QAction::triggered, this, [this] {
        openHelp(bksPublicModule::AddTrailingChar(modTavrik::ProgramFolder()) + QStringLiteral("ReadMe.htm"), true);
    });
    addItem(help, "mnuHelpET", QStringLiteral("&E.T. Phone Home"), K(Qt::CTRL | Qt::Key_E), nullptr);
    connect(findChild<QAction *>(QStringLiteral("mnuHelpET")), &QAction::triggered, this, [this] {
        const QString home = SettingsStore::get(Schema::Author, Schema::HomeUrl, Schema::ProductHomeUrl);
        openHelp(SettingsStore::get(Schema::AppSettings, Schema::ETPhoneHome, home), false);
    });
    addItem(help, "mnuHelpSeti", QStringLiteral("Go to &Seti@Home"), K(Qt::CTRL | Qt::Key_S), nullptr);
    connect(findChild<QAction *>(QStringLiteral("mnuHelpSeti")), &QAction::triggered, this,
        [this] { openHelp(SettingsStore::get(Schema::AppSettings, Schema::SetiAtHome, Schema::SetiWebSite), false); });
    addItem(help, "mnuAbout", QStringLiteral("&About..."), K(Qt::CTRL | Qt::Key_F1), nullptr);
    connect(findChild<QAction *>(QStringLiteral("mnuAbout")), &QAction::triggered, this, [this] {
        frmAbout about(this);
        about.setEnableTimer(true);
        about.exec(); // modal, closed by its button or its own timer
    });

    m_mnuPop = new QMenu(QStringLiteral("mnuPop"), this);
    m_mnuPop->setObjectName(QStringLiteral("mnuPop"));
    addItem(m_mnuPop, "mnuPopPutOnDisplay", QStringLiteral("Include in Scrolling &Display"), K(),
        &mfrmTavrik::mnuCPUPutOnDisplay_Click)
        ->setCheckable(true);
    addItem(m_mnuPop, "mnuPopAllowUpdates", QStringLiteral("Allow this CPU to &Update"), K(),
        &mfrmTavrik::mnuCPUAllowUpdates_Click)
        ->setCheckable(true);
    m_mnuPop->addSeparator()->setObjectName(QStringLiteral("mnuPopBar1"));
    addItem(m_mnuPop, "mnuPopRemove", QStringLiteral("&Remove CPU"), K(), &mfrmTavrik::mnuCPURemove_Click);
    addItem(m_mnuPop, "mnuPopInfo", QStringLiteral("&Change CPU Info"), K(), &mfrmTavrik::mnuCPUInfo_Click);
    m_mnuPop->addSeparator()->setObjectName(QStringLiteral("mnuPopBar2"));
    addItem(m_mnuPop, "mnuPopRefresh", QStringLiteral("&Refresh All"), K(), &mfrmTavrik::mnuRefresh_Click);
    addItem(m_mnuPop, "mnuPopRefreshMe", QStringLiteral("&Refresh Me Only"), K(), &mfrmTavrik::mnuCPURefresh_Click);
    connect(m_mnuPop, &QMenu::aboutToShow, this, &mfrmTavrik::preparePopup);
}

void mfrmTavrik::createStatusBar()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_mdi, 1);

    auto *picStatus = new QFrame(central);
    picStatus->setObjectName(QStringLiteral("picStatus"));
    picStatus->setFrameShape(QFrame::StyledPanel);
    picStatus->setFixedHeight(Framework::TwipsToPixelsY(495, this));
    auto *grid = new QGridLayout(picStatus);
    // Two rows of 195 twips fill the bar's 495 twips; no extra spacing, or the headings' underline
    // is cut off.
    grid->setContentsMargins(Framework::TwipsToPixelsX(60, this), 0, Framework::TwipsToPixelsX(60, this), 0);
    grid->setVerticalSpacing(0);

    QFont headingFont = Framework::FormFont();
    headingFont.setUnderline(true);
    struct Column
    {
        const char *heading;
        const char *headingText;
        const char *value;
        QLabel **label;
        int width;
    };
    const Column columns[] = {
        { "lblReceived", "Downloaded", "lblDownloaded", &m_lblDownloaded, 1215 },
        { "Label4", "Uploaded", "lblUploaded", &m_lblUploaded, 1215 },
        { "Label3_0", "Total Uploaded CPU Time", "lblTotalTime", &m_lblTotalTime, 4815 },
        { "Label3_1", "Current CPU Time", "lblCurrentTime", &m_lblCurrentTime, 4815 },
    };
    int col = 0;
    for (const Column &c : columns) {
        auto *heading = new QLabel(QLatin1String(c.headingText), picStatus);
        heading->setObjectName(QLatin1String(c.heading));
        heading->setFont(headingFont);
        heading->setAlignment(Qt::AlignCenter);
        auto *value = new ValueLabel(QStringLiteral("0"), picStatus);
        value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        value->setObjectName(QLatin1String(c.value));
        value->setAlignment(Qt::AlignCenter);
        value->setMinimumWidth(Framework::TwipsToPixelsX(600, this));
        *c.label = value;
        grid->addWidget(heading, 0, col);
        grid->addWidget(value, 1, col);
        grid->setColumnStretch(col, c.width);
        ++col;
    }
    layout->addWidget(picStatus);
    setCentralWidget(central);
}

void mfrmTavrik::Load()
{
    setWindowTitle(QStringLiteral("Tavrik Panel V.") + modTavrik::ProgramVersion());
    Framework::SetGeometryTwips(this, SettingsStore::getPlacement(Schema::MainWindow, Schema::MainWindowPlacement));
    frmMessages::setMdiArea(m_mdi);
    if (m_options.StartMinimized)
        setWindowState(windowState() | Qt::WindowMinimized);
    show();
    if (SettingsStore::getBool(Schema::AppSettings, Schema::MessageWindow, Schema::BoolTrue).value_or(true)) {
        frmMessages::instance()->setLogVisible(true);
        findChild<QAction *>(QStringLiteral("mnuWindowMessage"))->setChecked(true);
    }
    // The windows are made a few at a time, with the event loop running in between, and each
    // slice is read in the background at once: the panel answers from its first frame, however
    // many CPUs and however slow their shares.
    m_toLoad = std::make_unique<CpuList::StoredList>(CpuList::Read());
    QTimer::singleShot(0, this, &mfrmTavrik::loadSlice);
}

void mfrmTavrik::loadSlice()
{
    if (!m_toLoad)
        return;
    constexpr int SliceMs = 8;
    QElapsedTimer slice;
    slice.start();
    QList<frmSetiControl *> loaded;
    while (m_loaded < m_toLoad->cpus.size() && slice.elapsed() < SliceMs) {
        const auto &[name, path] = m_toLoad->cpus.at(m_loaded++);
        if (frmSetiControl *cpu = LoadCPUs(name, path))
            loaded.append(cpu);
    }
    readNow(loaded);
    // The list is taken over in a turn of its own: that write waits for the disk.
    QTimer::singleShot(0, this, m_loaded < m_toLoad->cpus.size() ? &mfrmTavrik::loadSlice : &mfrmTavrik::finishLoading);
}

void mfrmTavrik::finishLoading()
{
    if (!m_toLoad)
        return;
    QList<frmSetiControl *> loaded;
    while (m_loaded < m_toLoad->cpus.size()) {
        const auto &[name, path] = m_toLoad->cpus.at(m_loaded++);
        if (frmSetiControl *cpu = LoadCPUs(name, path))
            loaded.append(cpu);
    }
    readNow(loaded);
    CpuList::TakeOver(*m_toLoad);
    m_toLoad.reset();
    if (frmMessages::exists()) {
        QList<QRect> places;
        for (frmSetiControl *cpu : cpuWindows())
            places.append(Framework::FrameOf(cpu)->geometry());
        frmMessages::instance()->placeBelow(places);
    }
    m_timer->start();
}

bool mfrmTavrik::isLoading() const
{
    return m_toLoad != nullptr;
}

frmSetiControl *mfrmTavrik::LoadCPUs(const QString &name, const QString &path)
{
    auto *cpu = new frmSetiControl(m_options, *m_totals);
    cpu->setCPUName(name);
    cpu->setCPUPath(path);
    QPointer<frmSetiControl> guard(cpu);
    connect(cpu, &frmSetiControl::activated, this, [this, guard] {
        if (guard)
            onCpuActivated(guard);
    });
    connect(cpu, &frmSetiControl::popupMenuRequested, this, [this](const QPoint &pos) { m_mnuPop->popup(pos); });
    connect(cpu, &frmSetiControl::editRequested, this, &mfrmTavrik::EditActiveCPU);
    connect(cpu, &frmSetiControl::statusChanged, this, [this, guard] {
        if (guard)
            onCpuStatus(guard);
    });
    m_cpusByKey.insert(cpu->key(), cpu);
    if (!cpu->Load(m_mdi))
        return nullptr;
    m_status->setCpu(cpu->key(), cpu->CPUName());
    if (!cpu->hasStoredPlace())
        placeNewWindow(cpu);
    return cpu;
}

void mfrmTavrik::placeNewWindow(frmSetiControl *cpu)
{
    // The first cell of a grid of this window's size that covers no other window.
    QWidget *frame = Framework::FrameOf(cpu);
    if (frame == cpu || cpu->isMinimized() || cpu->isMaximized())
        return;
    QList<QRect> taken;
    for (QMdiSubWindow *sub : m_mdi->subWindowList()) {
        const auto *log = qobject_cast<frmMessages *>(sub->widget());
        // A log without a place of its own moves below the grid once the CPUs are loaded.
        if (sub != frame && sub->isVisible() && !sub->isMinimized() && !(log && !log->hasStoredPlace()))
            taken.append(sub->geometry());
    }
    frame->move(GridPlacement::FirstFree(frame->pos(), frame->size(), m_mdi->viewport()->width(), taken));
}

void mfrmTavrik::onCpuStatus(frmSetiControl *cpu)
{
    m_status->setStatus(cpu->key(), cpu->CPUName(), cpu->status());
    m_alerts->setEnabled(m_options.Notifications);
    m_alerts->observe(cpu->key(), cpu->CPUName(), cpu->status());
    if (!m_cycle->isCycling()) // a cycle's changes go out together at its end
        m_alerts->flush();
    m_tray->setState(m_status->worst(), m_status->summary());
}

void mfrmTavrik::activateCpu(quint64 key)
{
    if (frmSetiControl *cpu = m_cpusByKey.value(key)) {
        restoreWindow();
        if (auto *sub = qobject_cast<QMdiSubWindow *>(Framework::FrameOf(cpu))) {
            if (sub->isMinimized())
                sub->showNormal();
            m_mdi->setActiveSubWindow(sub);
        }
    }
}

void mfrmTavrik::readNow(const QList<frmSetiControl *> &cpus)
{
    QList<UpdateCycle::Target> targets;
    for (frmSetiControl *cpu : cpus)
        targets.append({ cpu->key(), cpu->CPUPath() });
    m_cycle->readNow(targets);
}

void mfrmTavrik::onReading(quint64 key, const QString &path, const ClientSnapshot &files)
{
    const QPointer<frmSetiControl> cpu = m_cpusByKey.value(key);
    if (!cpu)
        m_cpusByKey.remove(key); // removed since it was asked for
    // A reading of a folder the CPU no longer has is no news about it.
    if (cpu && !cpu->isUnloaded() && cpu->CPUPath() == path)
        cpu->UpdateDisplay(files);
}

void mfrmTavrik::onCycleStarted()
{
    for (const char *name : { "mnuRefresh", "mnuFileExit" })
        findChild<QAction *>(QLatin1String(name))->setEnabled(false);
    m_totals->resetCurrent();
    frmMessages::HoldEntries(true);
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void mfrmTavrik::onCycleFinished()
{
    QApplication::restoreOverrideCursor();
    frmMessages::HoldEntries(false);
    m_alerts->flush();
    for (const char *name : { "mnuRefresh", "mnuFileExit" })
        findChild<QAction *>(QLatin1String(name))->setEnabled(true);
    updateStatusLabels();
    if (m_closeAfterCycle)
        close();
}

frmSetiControl *mfrmTavrik::activeCpu() const
{
    QMdiSubWindow *sub = m_mdi->activeSubWindow();
    if (!sub)
        sub = m_mdi->currentSubWindow();
    auto *cpu = sub ? qobject_cast<frmSetiControl *>(sub->widget()) : nullptr;
    return cpu && !cpu->isUnloaded() ? cpu : nullptr;
}

QList<frmSetiControl *> mfrmTavrik::cpuWindows() const
{
    QList<frmSetiControl *> out;
    for (QWidget *w : Framework::LoadedWindows()) {
        auto *cpu = qobject_cast<frmSetiControl *>(w);
        if (cpu && !cpu->isUnloaded())
            out.append(cpu);
    }
    return out;
}

void mfrmTavrik::mnuCPUAdd_Click()
{
    frmSetiControl *cpu = LoadCPUs(QString(), QString());
    if (!cpu)
        return;
    cpu->SaveSection();
    CpuList::Added(cpu->CPUName());
    readNow({ cpu });
}

void mfrmTavrik::mnuCPURemove_Click()
{
    frmSetiControl *cpu = activeCpu();
    if (!cpu)
        return;
    const QString name = cpu->CPUName();
    // The item promises a question: one stray key press used to delete the CPU's stored settings.
    if (!Prompt::AskYesNo(this, QStringLiteral("Remove the CPU \"%1\"?").arg(name), QStringLiteral("Tavrik")))
        return;
    m_cycle->forget(cpu->key());
    m_status->remove(cpu->key());
    m_alerts->forget(cpu->key());
    m_tray->setState(m_status->worst(), m_status->summary());
    const SettingsStore::Batch batch;
    cpu->Unload();
    CpuList::ForgetUnloaded(name);
}

void mfrmTavrik::mnuCPUInfo_Click()
{
    EditActiveCPU();
}

void mfrmTavrik::EditActiveCPU()
{
    QPointer<frmSetiControl> cpu = activeCpu();
    if (!cpu)
        return;
    frmCPUInfo dialog(this);
    dialog.setCPUName(cpu->CPUName());
    dialog.setCPUPath(cpu->CPUPath());
    dialog.setAllowUpdates(cpu->AllowUpdates());
    dialog.setPutOnDisplay(cpu->PutOnDisplay());
    dialog.showModal();
    if (!cpu || bksPublicModule::IsBlank(dialog.CPUPath()) || bksPublicModule::IsBlank(dialog.CPUName()))
        return;
    const QString oldName = cpu->CPUName();
    const QString oldPath = cpu->CPUPath();
    cpu->setCPUPath(dialog.CPUPath());
    cpu->setCPUName(dialog.CPUName());
    cpu->applyNameAndPath();
    m_status->setCpu(cpu->key(), cpu->CPUName());
    cpu->setPutOnDisplay(dialog.PutOnDisplay());
    cpu->setAllowUpdates(dialog.AllowUpdates());
    // The edit is stored at once; an old section is kept while another window still uses that name.
    {
        const SettingsStore::Batch batch;
        if (oldName != cpu->CPUName()) {
            bool shared = false;
            for (frmSetiControl *other : cpuWindows())
                shared = shared || (other != cpu && other->CPUName() == oldName);
            if (!shared)
                SettingsStore::deleteSection(oldName);
            CpuList::Renamed(oldName, cpu->CPUName());
        }
        cpu->SaveSection();
    }
    onCpuActivated(cpu);
    // A reading still on its way belongs to the CPU as it was; the edited one is read at once.
    if (oldName != cpu->CPUName() || oldPath != cpu->CPUPath()) {
        m_cycle->forget(cpu->key());
        readNow({ cpu });
    }
}

void mfrmTavrik::toggleActiveCpu(bool (frmSetiControl::*get)() const, void (frmSetiControl::*set)(bool))
{
    frmSetiControl *cpu = activeCpu();
    if (!cpu)
        return;
    (cpu->*set)(!(cpu->*get)());
    cpu->SaveSection();
    onCpuActivated(cpu); // the check marks follow the window's value
}

void mfrmTavrik::mnuCPUPutOnDisplay_Click()
{
    toggleActiveCpu(&frmSetiControl::PutOnDisplay, &frmSetiControl::setPutOnDisplay);
}

void mfrmTavrik::mnuCPUAllowUpdates_Click()
{
    toggleActiveCpu(&frmSetiControl::AllowUpdates, &frmSetiControl::setAllowUpdates);
}

void mfrmTavrik::mnuCPURefresh_Click()
{
    if (frmSetiControl *cpu = activeCpu())
        readNow({ cpu });
}

void mfrmTavrik::mnuRefresh_Click()
{
    m_cycle->refresh();
}

void mfrmTavrik::Timer1_Timer()
{
    m_cycle->tick();
}

void mfrmTavrik::onCpuActivated(frmSetiControl *cpu)
{
    for (const char *name : { "mnuCPUAllowUpdates", "mnuPopAllowUpdates" })
        findChild<QAction *>(QLatin1String(name))->setChecked(cpu->AllowUpdates());
    for (const char *name : { "mnuCPUPutOnDisplay", "mnuPopPutOnDisplay" })
        findChild<QAction *>(QLatin1String(name))->setChecked(cpu->PutOnDisplay());
}

void mfrmTavrik::onSubWindowActivated(QMdiSubWindow *sub)
{
    QWidget *w = sub ? sub->widget() : nullptr;
    if (auto *log = qobject_cast<frmMessages *>(w)) {
        connect(log, &frmMessages::closedByUser, this, &mfrmTavrik::onLogClosedByUser, Qt::UniqueConnection);
        setCpuCommandsEnabled(false);
        findChild<QAction *>(QStringLiteral("mnuWindowMessage"))->setChecked(true);
        return;
    }
    setCpuCommandsEnabled(true);
    if (auto *cpu = qobject_cast<frmSetiControl *>(w))
        onCpuActivated(cpu);
}

void mfrmTavrik::onLogClosedByUser()
{
    findChild<QAction *>(QStringLiteral("mnuWindowMessage"))->setChecked(false);
}

void mfrmTavrik::setCpuCommandsEnabled(bool enabled)
{
    for (const char *name : CpuCommands)
        findChild<QAction *>(QLatin1String(name))->setEnabled(enabled);
}

void mfrmTavrik::preparePopup()
{
    auto item = [this](const char *name) { return findChild<QAction *>(QLatin1String(name)); };
    item("mnuPopInfo")->setEnabled(item("mnuCPUInfo")->isEnabled());
    item("mnuPopRemove")->setEnabled(item("mnuCPURemove")->isEnabled());
    item("mnuPopAllowUpdates")->setEnabled(item("mnuCPUAllowUpdates")->isEnabled());
    item("mnuPopAllowUpdates")->setChecked(item("mnuCPUAllowUpdates")->isChecked());
    item("mnuPopPutOnDisplay")->setEnabled(item("mnuCPUPutOnDisplay")->isEnabled());
    item("mnuPopPutOnDisplay")->setChecked(item("mnuCPUPutOnDisplay")->isChecked());
    item("mnuPopRefresh")->setEnabled(item("mnuRefresh")->isEnabled());
    item("mnuPopRefreshMe")->setEnabled(item("mnuCPURefresh")->isEnabled());
}

void mfrmTavrik::fillWindowMenu()
{
    qDeleteAll(m_windowListActions);
    m_windowListActions.clear();
    int n = 0;
    for (QMdiSubWindow *sub : m_mdi->subWindowList()) {
        if (!sub->isVisible())
            continue;
        auto *a = m_mnuWindow->addAction(QStringLiteral("&%1 %2").arg(++n).arg(sub->windowTitle()));
        a->setCheckable(true);
        a->setChecked(sub == m_mdi->activeSubWindow());
        connect(a, &QAction::triggered, m_mdi, [this, sub = QPointer<QMdiSubWindow>(sub)] {
            if (sub)
                m_mdi->setActiveSubWindow(sub);
        });
        m_windowListActions.append(a);
    }
}

void mfrmTavrik::mnuWindowMessage_Click()
{
    // The check mark was already inverted by the action itself.
    const bool show = findChild<QAction *>(QStringLiteral("mnuWindowMessage"))->isChecked();
    frmMessages::instance()->setLogVisible(show);
}

namespace {

QList<QMdiSubWindow *> tileable(QMdiArea *mdi)
{
    QList<QMdiSubWindow *> out;
    for (QMdiSubWindow *sub : mdi->subWindowList())
        if (sub->isVisible() && !sub->isMinimized())
            out.append(sub);
    return out;
}

void tile(QMdiArea *mdi, bool horizontal)
{
    const auto subs = tileable(mdi);
    if (subs.isEmpty())
        return;
    const QRect area = mdi->viewport()->rect();
    const int n = int(subs.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow *sub = subs[i];
        if (sub->isMaximized())
            sub->showNormal();
        // Horizontal tiling stacks full-width bands; vertical tiling puts columns side by side.
        if (horizontal)
            sub->setGeometry(
                0, area.height() * i / n, area.width(), area.height() * (i + 1) / n - area.height() * i / n);
        else
            sub->setGeometry(area.width() * i / n, 0, area.width() * (i + 1) / n - area.width() * i / n, area.height());
    }
}

} // namespace

void mfrmTavrik::mnuWindowHorizontalTile_Click()
{
    tile(m_mdi, true);
}

void mfrmTavrik::mnuWindowVerticalTile_Click()
{
    tile(m_mdi, false);
}

void mfrmTavrik::mnuWindowArrangeIcons_Click()
{
    const QRect area = m_mdi->viewport()->rect();
    int x = 0;
    int y = area.height();
    for (QMdiSubWindow *sub : m_mdi->subWindowList()) {
        if (!sub->isMinimized() || !sub->isVisible())
            continue;
        const QSize s = sub->size();
        if (x > 0 && x + s.width() > area.width()) {
            x = 0;
            y -= s.height();
        }
        sub->move(x, y - s.height());
        x += s.width();
    }
}

void mfrmTavrik::mnuWindowTileGrid_Click()
{
    // Each CPU window at its natural size, in a grid as wide as the area; the area scrolls when
    // the rows run past its foot. The log goes below the grid. One maximised child (the log too)
    // would keep the area showing it alone.
    for (QMdiSubWindow *sub : m_mdi->subWindowList())
        if (sub->isMaximized())
            sub->showNormal();
    QList<QMdiSubWindow *> subs;
    QList<QSize> sizes;
    const QSize natural = Framework::TwipsToPixels(
        QRect(0, 0, Schema::DefaultSCWidthValue.toInt(), Schema::DefaultSCHeightValue.toInt()), this)
                              .size();
    for (frmSetiControl *cpu : cpuWindows()) {
        auto *sub = qobject_cast<QMdiSubWindow *>(Framework::FrameOf(cpu));
        if (!sub || !sub->isVisible() || sub->isMinimized())
            continue;
        if (sub->isMaximized())
            sub->showNormal();
        subs.append(sub);
        sizes.append(natural.expandedTo(sub->minimumSizeHint()));
    }
    const int width = m_mdi->viewport()->width();
    const QList<QRect> cells = GridPlacement::Tile(sizes, width);
    int bottom = 0;
    for (int i = 0; i < subs.size(); ++i) {
        subs[i]->setGeometry(cells[i]);
        bottom = qMax(bottom, cells[i].bottom() + 1);
    }
    for (QMdiSubWindow *sub : m_mdi->subWindowList())
        if (qobject_cast<frmMessages *>(sub->widget()) && sub->isVisible() && !sub->isMinimized())
            sub->move(0, bottom);
}

void mfrmTavrik::mnuWindowOverview_Click()
{
    if (!m_overview) {
        m_overview = new frmOverview(*m_status, this);
        connect(m_overview, &frmOverview::cpuActivated, this, &mfrmTavrik::activateCpu);
        connect(m_cycle, &UpdateCycle::cycleFinished, m_overview, &frmOverview::fitColumns);
    }
    if (m_overview->isVisible()) {
        m_overview->raise();
        m_overview->activateWindow();
        return;
    }
    m_overview->Load();
}

void mfrmTavrik::updateStatusLabels()
{
    static_cast<ValueLabel *>(m_lblDownloaded)->setValue(m_totals->downloaded());
    static_cast<ValueLabel *>(m_lblUploaded)->setValue(m_totals->uploaded());
    static_cast<ValueLabel *>(m_lblTotalTime)->setValue(m_totals->totalTimeText());
    static_cast<ValueLabel *>(m_lblCurrentTime)->setValue(m_totals->currentTimeText());
}

void mfrmTavrik::openHelp(const QString &target, bool localFile)
{
    // Only documents and web pages are opened; the settings' text never reaches a shell.
    const QUrl url = localFile ? QUrl::fromLocalFile(target) : QUrl(bksPublicModule::TrimSpaces(target));
    const QString scheme = url.scheme().toLower();
    if (!localFile && scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return;
    const QString what = localFile ? QDir::toNativeSeparators(target) : url.toString();
    auto failed = [what](const QString &why) {
        frmMessages::Append(QStringLiteral("%1 could not be opened: %2.").arg(what, why));
    };
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // QDesktopServices reports success as soon as xdg-open starts; its exit code says whether a
    // program was found to show the page.
    auto *opener = new QProcess(this);
    connect(opener, &QProcess::finished, this, [opener, failed](int code, QProcess::ExitStatus status) {
        opener->deleteLater();
        if (status != QProcess::NormalExit || code != 0)
            failed(QStringLiteral("xdg-open ended with code %1 (no program to show it?)").arg(code));
    });
    connect(opener, &QProcess::errorOccurred, this, [opener, failed](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        opener->deleteLater();
        failed(QStringLiteral("xdg-open could not be started"));
    });
    opener->start(QStringLiteral("xdg-open"), { url.toString(QUrl::FullyEncoded) });
#else
    if (!QDesktopServices::openUrl(url))
        failed(QStringLiteral("the system has no program to show it"));
#endif
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
    if (m_display || !m_options.Scroll)
        return;
    m_display = new frmDisplay(m_options);
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
    if (m_cycle->isCycling())
        m_closeAfterCycle = true;
    else
        close();
}

void mfrmTavrik::closeEvent(QCloseEvent *event)
{
    // The user's Exit is disabled during a cycle; a close from the system waits for its end.
    if (m_cycle->isCycling()) {
        event->ignore();
        return;
    }
    // A close while the windows are still being made makes the rest first, so that every stored
    // CPU is handed over.
    finishLoading();
    m_closing = true;
    m_timer->stop();
    m_cycle->stop();
    // The whole hand-over is one write: a kill before it leaves the list of the running panel.
    const SettingsStore::Batch batch;
    CpuList::BeginHandOver();
    unloadAll();
    if (!isMinimized())
        SettingsStore::savePlacement(Schema::MainWindow, Framework::GeometryTwips(this));
    modTavrik::SaveOptions(m_options);
    SettingsStore::save(Schema::AppSettings, Schema::CPUs, QString());
    if (m_overview)
        m_overview->Unload();
    // Without its main window the display would stand for nothing.
    unloadDisplay();
    event->accept();
}

void mfrmTavrik::unloadAll()
{
    for (frmSetiControl *cpu : cpuWindows())
        cpu->Unload();
    frmMessages::unloadInstance();
}
