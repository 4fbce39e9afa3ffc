// The main window's menus: built once, their check marks and enabled states kept in step with
// the active CPU window, and the Window menu's list of windows.
#include "panel/PanelMenus.h"

#include "dialogs/frmAbout.h"
#include "dialogs/frmOptions.h"
#include "history/HistoryCommands.h"
#include "history/frmHistory.h"
#include "log/frmMessages.h"
#include "monitor/frmSetiControl.h"
#include "panel/WindowArrangement.h"
#include "panel/frmWindowList.h"
#include "panel/mfrmTavrik.h"
#include "settings/Options.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/bksPublicWindows.h"

#include <QActionEvent>
#include <QDesktopServices>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QProcess>
#include <QUrl>

namespace {

// The Window menu lists this many windows; the rest are a "More Windows..." away.
constexpr int WindowsListed = 9;

// A menu bar lays itself and then the whole main window out again whenever one of its items
// changes. Refresh, the one command on the bar itself, only goes grey and back twice a cycle, which
// the bar reads as it paints: a repaint of the item is enough. A native menu bar (a desktop's
// global menu) still hears of every change.
class EnabledStateOnly : public QObject
{
public:
    EnabledStateOnly(QMenuBar *bar, QAction *item)
        : QObject(bar)
        , m_bar(bar)
        , m_item(item)
    {
        bar->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_bar || event->type() != QEvent::ActionChanged || m_bar->isNativeMenuBar()
            || static_cast<QActionEvent *>(event)->action() != m_item || m_item->text() != m_text
            || m_item->isVisible() != m_visible || m_item->font() != m_font) {
            m_text = m_item->text();
            m_visible = m_item->isVisible();
            m_font = m_item->font();
            return false;
        }
        m_bar->update(m_bar->actionGeometry(m_item));
        return true;
    }

private:
    QMenuBar *m_bar;
    QAction *m_item;
    QString m_text;
    bool m_visible = false;
    QFont m_font;
};

} // namespace

QAction *mfrmTavrik::addItem(QMenu *menu, const char *name, const QString &caption, const QKeySequence &shortcut)
{
    auto *a = new QAction(caption, this);
    a->setObjectName(QLatin1String(name));
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    if (menu)
        menu->addAction(a);
    return a;
}

void mfrmTavrik::createMenus()
{
    using K = QKeySequence;
    Actions &a = *m_actions;
    auto on = [this](QAction *action, auto handler) { connect(action, &QAction::triggered, this, handler); };
    auto *bar = menuBar();
    auto *file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    a.fileOptions = addItem(file, "mnuFileOptions", QStringLiteral("&Options..."), K(Qt::CTRL | Qt::Key_O));
    on(a.fileOptions, [this] {
        frmOptions options(m_options, this);
        options.exec(); // modal, as every dialog of the panel; the cycle goes on meanwhile
    });
    on(addItem(file, "mnuFileExportHistory", QStringLiteral("Export &History...")),
        [this] { HistoryCommands::Export(this, *m_history); });
    on(addItem(file, "mnuFileClearHistory", QStringLiteral("Clear History...")), [this] {
        if (HistoryCommands::Clear(this, *m_history) && m_historyWindow)
            m_historyWindow->refresh();
    });
    a.fileExit = addItem(file, "mnuFileExit", QStringLiteral("E&xit"), K(Qt::CTRL | Qt::Key_X));
    on(a.fileExit, &QWidget::close);

    auto *cpu = bar->addMenu(QStringLiteral("&CPU"));
    cpu->setObjectName(QStringLiteral("mnuCPU"));
    a.cpuAdd = addItem(cpu, "mnuCPUAdd", QStringLiteral("&Add CPU..."), K(Qt::CTRL | Qt::Key_A));
    on(a.cpuAdd, &mfrmTavrik::mnuCPUAdd_Click);
    a.cpuRemove = addItem(cpu, "mnuCPURemove", QStringLiteral("&Remove CPU..."), K(Qt::CTRL | Qt::Key_R));
    on(a.cpuRemove, &mfrmTavrik::mnuCPURemove_Click);
    a.cpuInfo = addItem(cpu, "mnuCPUInfo", QStringLiteral("&CPU Info..."), K(Qt::CTRL | Qt::Key_C));
    on(a.cpuInfo, &mfrmTavrik::mnuCPUInfo_Click);
    cpu->addSeparator()->setObjectName(QStringLiteral("mnuCPUBar1"));
    a.cpuPutOnDisplay
        = addItem(cpu, "mnuCPUPutOnDisplay", QStringLiteral("Include in Scrolling &Display"), K(Qt::CTRL | Qt::Key_D));
    on(a.cpuPutOnDisplay, &mfrmTavrik::mnuCPUPutOnDisplay_Click);
    a.cpuAllowUpdates
        = addItem(cpu, "mnuCPUAllowUpdates", QStringLiteral("Allow this CPU to &Update"), K(Qt::CTRL | Qt::Key_U));
    on(a.cpuAllowUpdates, &mfrmTavrik::mnuCPUAllowUpdates_Click);
    cpu->addSeparator()->setObjectName(QStringLiteral("mnuCPUBar2"));
    a.cpuRefresh = addItem(cpu, "mnuCPURefresh", QStringLiteral("Re&fresh Me Only"), K(Qt::CTRL | Qt::Key_F));
    on(a.cpuRefresh, &mfrmTavrik::mnuCPURefresh_Click);
    for (QAction *check : { a.cpuPutOnDisplay, a.cpuAllowUpdates })
        check->setCheckable(true);

    a.refresh = addItem(nullptr, "mnuRefresh", QStringLiteral("&Refresh"));
    on(a.refresh, &mfrmTavrik::mnuRefresh_Click);
    bar->addAction(a.refresh);
    new EnabledStateOnly(bar, a.refresh);

    m_mnuWindow = bar->addMenu(QStringLiteral("&Window"));
    m_mnuWindow->setObjectName(QStringLiteral("mnuWindow"));
    on(addItem(m_mnuWindow, "mnuWindowHorizontalTile", QStringLiteral("&Horizontal Tile"), K(Qt::CTRL | Qt::Key_H)),
        [this] { WindowArrangement::Tile(m_mdi, true); });
    on(addItem(m_mnuWindow, "mnuWindowVerticalTile", QStringLiteral("&Vertical Tile"), K(Qt::CTRL | Qt::Key_V)),
        [this] { WindowArrangement::Tile(m_mdi, false); });
    on(addItem(m_mnuWindow, "mnuWindowCascade", QStringLiteral("&Cascade"), K(Qt::CTRL | Qt::Key_K)),
        [this] { m_mdi->cascadeSubWindows(); });
    on(addItem(m_mnuWindow, "mnuWindowArrangeIcons", QStringLiteral("&Arrange Icons"), K(Qt::CTRL | Qt::Key_N)),
        [this] { WindowArrangement::ArrangeIcons(m_mdi); });
    on(addItem(m_mnuWindow, "mnuWindowTileGrid", QStringLiteral("Tile as &Grid"), K(Qt::CTRL | Qt::Key_G)),
        [this] { WindowArrangement::TileAsGrid(m_mdi); });
    on(addItem(m_mnuWindow, "mnuWindowOverview", QStringLiteral("&Overview"), K(Qt::CTRL | Qt::Key_T)),
        &mfrmTavrik::showOverview);
    on(addItem(m_mnuWindow, "mnuWindowHistory", QStringLiteral("Histor&y"), K(Qt::CTRL | Qt::SHIFT | Qt::Key_H)),
        &mfrmTavrik::mnuWindowHistory_Click);
    a.windowMessage = addItem(m_mnuWindow, "mnuWindowMessage", QStringLiteral("&Message"), K(Qt::CTRL | Qt::Key_M));
    a.windowMessage->setCheckable(true);
    // The check mark was already inverted by the action itself.
    on(a.windowMessage, [this](bool show) { frmMessages::instance()->setLogVisible(show); });
    // Invisible in the menu; its F5 key still works because the window itself carries the action.
    QAction *refresh = addItem(m_mnuWindow, "mnuWindowRefresh", QStringLiteral("Refresh"), K(Qt::Key_F5));
    refresh->setVisible(false);
    on(refresh, &mfrmTavrik::mnuRefresh_Click);
    auto *f5 = addItem(nullptr, "mnuWindowRefreshKey", QString(), K(Qt::Key_F5));
    on(f5, &mfrmTavrik::mnuRefresh_Click);
    addAction(f5);
    m_mnuWindow->addSeparator();
    a.windowMore = addItem(nullptr, "mnuWindowMore", QStringLiteral("&More Windows..."));
    on(a.windowMore, [this] {
        frmWindowList list(m_mdi, this);
        list.exec(); // modal, as every dialog of the panel
        if (QMdiSubWindow *sub = list.chosen())
            m_mdi->setActiveSubWindow(sub);
    });
    connect(m_mnuWindow, &QMenu::aboutToShow, this, &mfrmTavrik::fillWindowMenu);

    auto *help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    on(addItem(help, "mnuHelpBrief", QStringLiteral("&Brief Tour..."), K(Qt::Key_F1)), [this] {
        openHelp(bksPublicModule::AddTrailingChar(modTavrik::ProgramFolder()) + QStringLiteral("ReadMe.htm"), true);
    });
    on(addItem(help, "mnuHelpET", QStringLiteral("&E.T. Phone Home"), K(Qt::CTRL | Qt::Key_E)), [this] {
        const QString home = SettingsStore::get(Schema::Author, Schema::HomeUrl, Schema::ProductHomeUrl);
        openHelp(SettingsStore::get(Schema::AppSettings, Schema::ETPhoneHome, home), false);
    });
    on(addItem(help, "mnuHelpSeti", QStringLiteral("Go to &Seti@Home"), K(Qt::CTRL | Qt::Key_S)),
        [this] { openHelp(SettingsStore::get(Schema::AppSettings, Schema::SetiAtHome, Schema::SetiWebSite), false); });
    on(addItem(help, "mnuAbout", QStringLiteral("&About..."), K(Qt::CTRL | Qt::Key_F1)), [this] {
        frmAbout about(this);
        about.setEnableTimer(true);
        about.exec(); // modal, closed by its button or its own timer
    });

    // The pop-up menu's commands act on the window it was opened on.
    m_mnuPop = new QMenu(QStringLiteral("mnuPop"), this);
    m_mnuPop->setObjectName(QStringLiteral("mnuPop"));
    auto onPopup = [this](QAction *action, void (mfrmTavrik::*command)(frmSetiControl *)) {
        connect(action, &QAction::triggered, this, [this, command] { (this->*command)(m_popupCpu); });
    };
    a.popPutOnDisplay = addItem(m_mnuPop, "mnuPopPutOnDisplay", QStringLiteral("Include in Scrolling &Display"));
    onPopup(a.popPutOnDisplay, &mfrmTavrik::toggleDisplay);
    a.popAllowUpdates = addItem(m_mnuPop, "mnuPopAllowUpdates", QStringLiteral("Allow this CPU to &Update"));
    onPopup(a.popAllowUpdates, &mfrmTavrik::toggleUpdates);
    for (QAction *check : { a.popPutOnDisplay, a.popAllowUpdates })
        check->setCheckable(true);
    m_mnuPop->addSeparator()->setObjectName(QStringLiteral("mnuPopBar1"));
    a.popRemove = addItem(m_mnuPop, "mnuPopRemove", QStringLiteral("&Remove CPU"));
    onPopup(a.popRemove, &mfrmTavrik::removeCpu);
    a.popInfo = addItem(m_mnuPop, "mnuPopInfo", QStringLiteral("&Change CPU Info"));
    onPopup(a.popInfo, &mfrmTavrik::editCpu);
    m_mnuPop->addSeparator()->setObjectName(QStringLiteral("mnuPopBar2"));
    a.popRefresh = addItem(m_mnuPop, "mnuPopRefresh", QStringLiteral("&Refresh All"));
    on(a.popRefresh, &mfrmTavrik::mnuRefresh_Click);
    a.popRefreshMe = addItem(m_mnuPop, "mnuPopRefreshMe", QStringLiteral("&Refresh Me Only"));
    onPopup(a.popRefreshMe, &mfrmTavrik::refreshCpu);
    connect(m_mnuPop, &QMenu::aboutToShow, this, &mfrmTavrik::preparePopup);
}

void mfrmTavrik::showChecks(const frmSetiControl *cpu)
{
    const Actions &a = *m_actions;
    for (QAction *item : { a.cpuAllowUpdates, a.popAllowUpdates })
        item->setChecked(cpu->AllowUpdates());
    for (QAction *item : { a.cpuPutOnDisplay, a.popPutOnDisplay })
        item->setChecked(cpu->PutOnDisplay());
}

void mfrmTavrik::onSubWindowActivated(QMdiSubWindow *sub)
{
    QWidget *w = sub ? sub->widget() : nullptr;
    if (auto *log = qobject_cast<frmMessages *>(w)) {
        connect(log, &frmMessages::closedByUser, this, &mfrmTavrik::onLogClosed, Qt::UniqueConnection);
        setCpuCommandsEnabled(false);
        m_actions->windowMessage->setChecked(true);
        return;
    }
    setCpuCommandsEnabled(true);
    if (auto *cpu = qobject_cast<frmSetiControl *>(w))
        showChecks(cpu);
}

void mfrmTavrik::onLogClosed()
{
    m_actions->windowMessage->setChecked(false);
}

void mfrmTavrik::setCpuCommandsEnabled(bool enabled)
{
    for (QAction *item : m_actions->cpuCommands())
        item->setEnabled(enabled);
}

void mfrmTavrik::preparePopup()
{
    const Actions &a = *m_actions;
    if (m_popupCpu)
        showChecks(m_popupCpu);
    a.popInfo->setEnabled(a.cpuInfo->isEnabled());
    a.popRemove->setEnabled(a.cpuRemove->isEnabled());
    a.popAllowUpdates->setEnabled(a.cpuAllowUpdates->isEnabled());
    a.popPutOnDisplay->setEnabled(a.cpuPutOnDisplay->isEnabled());
    a.popRefresh->setEnabled(a.refresh->isEnabled());
    a.popRefreshMe->setEnabled(a.cpuRefresh->isEnabled());
}

void mfrmTavrik::fillWindowMenu()
{
    qDeleteAll(m_windowListActions);
    m_windowListActions.clear();
    m_mnuWindow->removeAction(m_actions->windowMore);
    int n = 0;
    for (QMdiSubWindow *sub : m_mdi->subWindowList()) {
        if (!sub->isVisible())
            continue;
        if (++n > WindowsListed) {
            m_mnuWindow->addAction(m_actions->windowMore);
            break;
        }
        auto *a = m_mnuWindow->addAction(QStringLiteral("&%1 %2").arg(n).arg(sub->windowTitle()));
        a->setCheckable(true);
        a->setChecked(sub == m_mdi->activeSubWindow());
        connect(a, &QAction::triggered, m_mdi, [this, sub = QPointer<QMdiSubWindow>(sub)] {
            if (sub)
                m_mdi->setActiveSubWindow(sub);
        });
        m_windowListActions.append(a);
    }
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
        frmMessages::Append(QStringLiteral("%1 could not be opened: %2.").arg(what, why), LogKind::Failure);
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
