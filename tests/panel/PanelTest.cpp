#include "common/TestSupport.h"
#include "dialogs/frmCPUInfo.h"
#include "history/frmHistory.h"
#include "log/frmMessages.h"
#include "monitor/CpuStatus.h"
#include "monitor/StatusTotals.h"
#include "monitor/UpdateCycle.h"
#include "monitor/frmSetiControl.h"
#include "monitor/modDateTime.h"
#include "panel/CpuList.h"
#include "panel/frmOverview.h"
#include "panel/mfrmTavrik.h"
#include "settings/Options.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/Clock.h"
#include "shared/Framework.h"
#include "shared/Prompt.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <memory>
#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <csignal>
#endif

// The panel end to end: real CPU windows over client directories in a temporary folder.
namespace {

const QStringList SweepCpus { "Den/Attic", "Laptop", "Box 7", "Loft", "Garage" };

// The child of the kill sweep: start-up and exit of the panel against the store in args[0],
// killed before its args[1]-th write of the settings file.
int startAndExit(const QStringList &args)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, args.value(0));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, args.value(0));
    const int killAt = args.value(1).toInt();
    int writes = 0;
    SettingsStore::setBeforeWrite([&] {
        if (++writes == killAt)
#ifdef Q_OS_WIN
            ::TerminateProcess(::GetCurrentProcess(), 0xf291); // QProcess::kill()'s code: a crash to QProcess
#else
            ::raise(SIGKILL);
#endif
    });
    Options options;
    modTavrik::LoadOptions(options);
    mfrmTavrik w(options);
    w.Load();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &w, [&w] {
        if (!w.isLoading() && w.cycle().isIdle())
            w.closeFromSystem();
    });
    poll.start(10);
    QObject::connect(&w, &QObject::destroyed, qApp, &QCoreApplication::quit);
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    QObject::connect(qApp, &QApplication::lastWindowClosed, qApp, &QCoreApplication::quit);
    w.show();
    return QCoreApplication::exec();
}
const bool startAndExitRegistered = TestRegistry::AddChild("startAndExit", startAndExit);

} // namespace

class PanelTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<QTemporaryDir> m_clients;
    Options m_options;

    // Lets the readings in flight reach their windows.
    static void settle(mfrmTavrik &w) { QTRY_VERIFY(!w.isLoading() && w.cycle().isIdle()); }

    QString writeClient(
        const char *name, double prog = 0.5, double cpu = 10, int nwus = 1, int nresults = 1, double totalCpu = 10)
    {
        const QString dir = m_clients->filePath(QLatin1String(name)) + u'/';
        WriteTextFile(dir + "State.txt",
            QByteArray("ver=3\nprog=") + QByteArray::number(prog) + "\ncpu=" + QByteArray::number(cpu) + "\n");
        WriteTextFile(dir + "User_Info.txt",
            QString::asprintf("id=7\nnwus=%d\nnresults=%d\ntotal_cpu=%g\n", nwus, nresults, totalCpu).toUtf8());
        return dir;
    }

    static QString label(mfrmTavrik &w, const char *name) { return w.findChild<QLabel *>(name)->text(); }
    static QAction *item(mfrmTavrik &w, const char *name) { return w.findChild<QAction *>(name); }

    static QStringList names(const QList<frmSetiControl *> &cpus)
    {
        QStringList out;
        for (auto *c : cpus)
            out.append(c->CPUName());
        return out;
    }

    void storeHandOver(const QStringList &cpuNames, const QStringList &paths)
    {
        for (int i = 0; i < cpuNames.size(); ++i) {
            SettingsStore::save(QString::number(i), Schema::CPUName, cpuNames[i]);
            SettingsStore::save(cpuNames[i], Schema::CPUPath, paths[i]);
        }
        SettingsStore::saveInt(Schema::AppSettings, Schema::TotalCPUs, int(cpuNames.size()));
    }

    // Types into the dialog as a user would (an empty path keeps what is there) and presses Close.
    static void fillAndClose(frmCPUInfo &dlg, const QString &name, const QString &path)
    {
        dlg.findChild<QLineEdit *>(QStringLiteral("tbCPUName"))->setText(name);
        if (!path.isEmpty())
            dlg.findChild<QLineEdit *>(QStringLiteral("tbSetiDir"))->setText(path);
        dlg.findChild<QPushButton *>(QStringLiteral("Command1_0"))->click();
    }

    static void activate(mfrmTavrik &w, QWidget *cpu)
    {
        w.mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(cpu->parentWidget()));
    }
    static QString stored(const QString &section, const QString &key) { return SettingsStore::get(section, key, {}); }

private Q_SLOTS:
    void init()
    {
        m_settings = std::make_unique<IsolatedSettings>();
        m_clients = std::make_unique<QTemporaryDir>();
        m_options.setValues(OptionValues());
        modTavrik::LoadOptions(m_options);
    }

    void cleanup()
    {
        frmMessages::unloadInstance();
        frmCPUInfo::setScript({});
        m_settings.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void runCloseAndRestart()
    {
        const QStringList cpuNames { QStringLiteral("Den/Attic"), QStringLiteral("Laptop"), QStringLiteral("Box, 7") };
        const QStringList paths { writeClient("a", 0.25, 3600, 10, 8, 100000),
            writeClient("b", 0.5, 60, 12, 11, 200000), writeClient("c", 0.75, 1, 3, 2, 50) };
        storeHandOver(cpuNames, paths);
        {
            mfrmTavrik w(m_options);
            w.Load();
            settle(w);
            QCOMPARE(w.windowTitle(), QStringLiteral("Tavrik Panel V.1.0.0"));
            QCOMPARE(names(w.cpuWindows()), cpuNames);
            QCOMPARE(stored(Schema::AppSettings, Schema::TotalCPUs), QStringLiteral("0"));
            QVERIFY(frmMessages::exists());
            QVERIFY(item(w, "mnuWindowMessage")->isChecked());
            // Nothing made while the area was not painted stays unpainted afterwards.
            QVERIFY(frmMessages::instance()
                        ->findChild<QPlainTextEdit *>(QStringLiteral("tbMessage"))
                        ->viewport()
                        ->updatesEnabled());
            for (frmSetiControl *cpu : w.cpuWindows())
                QVERIFY(cpu->updatesEnabled() && cpu->isEnabled());

            settle(w);
            w.mnuRefresh_Click();
            QVERIFY(!item(w, "mnuRefresh")->isEnabled() && !item(w, "mnuFileExit")->isEnabled());
            settle(w);
            QCOMPARE(label(w, "lblDownloaded"), QStringLiteral("12"));
            QCOMPARE(label(w, "lblUploaded"), QStringLiteral("11"));
            QCOMPARE(label(w, "lblTotalTime"), modDateTime::SecondsToText(200000));
            QCOMPARE(label(w, "lblCurrentTime"), modDateTime::SecondsToText(3661));
            QVERIFY(item(w, "mnuRefresh")->isEnabled() && item(w, "mnuFileExit")->isEnabled());

            // Refreshing one CPU by hand does not count its time twice.
            activate(w, w.cpuWindows().at(0));
            QCOMPARE(w.activeCpu(), w.cpuWindows().at(0));
            w.mnuCPURefresh_Click();
            settle(w);
            QCOMPARE(label(w, "lblCurrentTime"), modDateTime::SecondsToText(3661));

            // A switch is stored at once.
            w.mnuCPUAllowUpdates_Click();
            QVERIFY(!w.cpuWindows().at(0)->AllowUpdates());
            QVERIFY(!item(w, "mnuCPUAllowUpdates")->isChecked());
            QCOMPARE(SettingsStore::get(cpuNames[0], Schema::AllowUpdates, QString()), QStringLiteral("False"));
            QVERIFY(w.close());
        }
        QCOMPARE(stored(Schema::AppSettings, Schema::TotalCPUs), QStringLiteral("3"));
        QCOMPARE(SettingsStore::get(Schema::AppSettings, Schema::CPUs, QStringLiteral("x")), QString());
        for (int i = 0; i < 3; ++i)
            QCOMPARE(SettingsStore::get(QString::number(i), Schema::CPUName, QString()), cpuNames[i]);

        mfrmTavrik again(m_options);
        again.Load();
        settle(again);
        QCOMPARE(names(again.cpuWindows()), cpuNames);
        QVERIFY(!again.cpuWindows().at(0)->AllowUpdates());
        QCOMPARE(stored(Schema::AppSettings, Schema::CPUs), QStringLiteral("Den/Attic,Laptop,Box, 7,"));
        QVERIFY(again.close());
    }

    // Twelve CPUs without stored places, on a 1600x1000 screen: none covers another or the log,
    // before and after Tile as Grid; the overview lists them and brings one up.
    void twelveCpusGridAndOverview()
    {
        QStringList cpuNames, paths;
        for (int i = 0; i < 12; ++i) {
            cpuNames.append(QStringLiteral("cpu%1").arg(i));
            paths.append(i == 5 ? m_clients->filePath(QStringLiteral("gone/")) : writeClient("c", 0.5));
        }
        storeHandOver(cpuNames, paths);
        SettingsStore::savePlacement(Schema::MainWindow, Framework::PixelsToTwips(QRect(0, 0, 1600, 1000)));
        mfrmTavrik w(m_options);
        w.Load();
        settle(w);
        auto frames = [&w] {
            QList<QRect> out;
            for (QMdiSubWindow *sub : w.mdiArea()->subWindowList())
                out.append(sub->geometry());
            return out;
        };
        auto apart = [](const QList<QRect> &rects) {
            for (int i = 0; i < rects.size(); ++i)
                for (int j = i + 1; j < rects.size(); ++j)
                    if (rects[i].intersects(rects[j]))
                        return false;
            return rects.size() == 13;
        };
        QVERIFY(apart(frames()));
        // With no place of its own the log lies below the grid, as wide, at least eight lines high.
        auto *log = Framework::FrameOf(frmMessages::instance());
        const QRect grid = [&w] {
            QRect r;
            for (frmSetiControl *cpu : w.cpuWindows())
                r |= Framework::FrameOf(cpu)->geometry();
            return r;
        }();
        QCOMPARE(log->geometry().top(), grid.bottom() + 1);
        QCOMPARE(log->width(), grid.right() + 1);
        QVERIFY(frmMessages::instance()->findChild<QPlainTextEdit *>()->height()
            > 8 * frmMessages::instance()->fontMetrics().lineSpacing());
        qobject_cast<QMdiSubWindow *>(log)->showMaximized();
        item(w, "mnuWindowTileGrid")->trigger();
        QVERIFY(!log->isMaximized());
        QVERIFY(apart(frames()));
        const int width = w.mdiArea()->viewport()->width();
        for (frmSetiControl *cpu : w.cpuWindows()) {
            QVERIFY(Framework::FrameOf(cpu)->geometry().right() < width);
            QVERIFY(Framework::FrameOf(cpu)->geometry().bottom() < w.mdiArea()->viewport()->height());
        }

        item(w, "mnuWindowOverview")->trigger();
        QTableView *table = w.overview()->table();
        QCOMPARE(table->model()->rowCount(), 12);
        table->sortByColumn(CpuStatusModel::State, Qt::DescendingOrder);
        const QModelIndex top = table->model()->index(0, CpuStatusModel::Name);
        QCOMPARE(top.data().toString(), QStringLiteral("cpu5"));
        QCOMPARE(top.siblingAtColumn(CpuStatusModel::State).data().toString(), QStringLiteral("unreachable"));
        Q_EMIT table->activated(top);
        QCOMPARE(w.activeCpu()->CPUName(), QStringLiteral("cpu5"));

        // The history is a child window of the area, hidden by its close box and shown again.
        for (int open = 0; open < 2; ++open) {
            item(w, "mnuWindowHistory")->trigger();
            auto *history = qobject_cast<QMdiSubWindow *>(Framework::FrameOf(w.historyWindow()));
            QVERIFY(history && history->mdiArea() == w.mdiArea() && history->isVisible());
            QCOMPARE(w.mdiArea()->activeSubWindow(), history);
            history->close();
            QVERIFY(w.historyWindow() && history->isHidden());
        }
        QVERIFY(w.close());
    }

    void addEditRemoveAreStoredAtOnce()
    {
        const QString path = writeClient("a");
        SettingsStore::save(Schema::AppSettings, Schema::CPUs, QStringLiteral("Den,"));
        SettingsStore::save(QStringLiteral("Den"), Schema::CPUPath, path);
        mfrmTavrik w(m_options);
        w.Load();
        settle(w);
        QCOMPARE(names(w.cpuWindows()), QStringList { QStringLiteral("Den") });

        const QString newPath = writeClient("n", 0.1);
        frmCPUInfo::setScript([&](frmCPUInfo &dlg) { fillAndClose(dlg, QStringLiteral("Attic"), newPath); });
        w.mnuCPUAdd_Click();
        QCOMPARE(names(w.cpuWindows()), (QStringList { QStringLiteral("Den"), QStringLiteral("Attic") }));
        // Without a normal exit the next start still finds both.
        QCOMPARE(stored(Schema::AppSettings, Schema::CPUs), QStringLiteral("Den,Attic,"));
        QVERIFY(SettingsStore::sectionExists(QStringLiteral("Attic")));

        frmSetiControl *attic = w.cpuWindows().at(1);
        activate(w, attic);
        frmCPUInfo::setScript([](frmCPUInfo &dlg) { fillAndClose(dlg, QStringLiteral("Loft"), QString()); });
        w.EditActiveCPU();
        frmCPUInfo::setScript({});
        QCOMPARE(attic->CPUName(), QStringLiteral("Loft"));
        QCOMPARE(attic->windowTitle(), QStringLiteral("Loft"));
        QVERIFY(!SettingsStore::sectionExists(QStringLiteral("Attic")));
        QCOMPARE(SettingsStore::get(QStringLiteral("Loft"), Schema::CPUPath, QString()), newPath);
        QCOMPARE(stored(Schema::AppSettings, Schema::CPUs), QStringLiteral("Den,Loft,"));

        // Remove asks first; No keeps the CPU and its settings.
        activate(w, attic);
        Prompt::SetNextYesNo(false);
        w.mnuCPURemove_Click();
        QCOMPARE(w.cpuWindows().size(), 2);
        QVERIFY(SettingsStore::sectionExists(QStringLiteral("Loft")));
        Prompt::SetNextYesNo(true);
        w.mnuCPURemove_Click();
        QCOMPARE(Prompt::Asked(), QStringList(2, QStringLiteral("Tavrik")));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(names(w.cpuWindows()), QStringList { QStringLiteral("Den") });
        QVERIFY(!SettingsStore::sectionExists(QStringLiteral("Loft")));
        QVERIFY(!SettingsStore::sectionExists(QStringLiteral("0")));
        QCOMPARE(stored(Schema::AppSettings, Schema::CPUs), QStringLiteral("Den,"));
        QCOMPARE(SettingsStore::getInt16(Schema::AppSettings, Schema::TotalCPUs, QStringLiteral("0")), qint16(0));

        // An Add given no CPU says so and stores nothing.
        frmCPUInfo::setScript(
            [](frmCPUInfo &dlg) { dlg.findChild<QPushButton *>(QStringLiteral("Command1_1"))->click(); });
        w.mnuCPUAdd_Click();
        frmCPUInfo::setScript({});
        QCOMPARE(w.cpuWindows().size(), 1);
        QCOMPARE(stored(Schema::AppSettings, Schema::CPUs), QStringLiteral("Den,"));
        QVERIFY(frmMessages::instance()->Message().contains(QLatin1String("Name or path not valid.\r\nName: ")));
        QVERIFY(w.close());
    }

    // The pop-up menu's commands act on the window it was opened on, which becomes the active one.
    void popupActsOnItsWindow()
    {
        storeHandOver({ QStringLiteral("Den"), QStringLiteral("Attic") }, { writeClient("a"), writeClient("b") });
        mfrmTavrik w(m_options);
        w.Load();
        settle(w);
        frmSetiControl *den = w.cpuWindows().at(0);
        frmSetiControl *attic = w.cpuWindows().at(1);
        for (const char *command : { "mnuPopAllowUpdates", "mnuPopPutOnDisplay", "mnuPopInfo", "mnuPopRemove" }) {
            activate(w, attic);
            w.popupFor(den, QPoint(10, 10));
            w.findChild<QMenu *>(QStringLiteral("mnuPop"))->close();
            QCOMPARE(w.activeCpu(), den);
            activate(w, attic); // the menu still acts on the window it was opened for
            QString asked;
            frmCPUInfo::setScript([&](frmCPUInfo &dlg) {
                asked = dlg.findChild<QLineEdit *>(QStringLiteral("tbCPUName"))->text();
                fillAndClose(dlg, QStringLiteral("Study"), QString());
            });
            Prompt::SetNextYesNo(true);
            item(w, command)->trigger();
            frmCPUInfo::setScript({});
            if (qstrcmp(command, "mnuPopInfo") == 0)
                QCOMPARE(asked, QStringLiteral("Den"));
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(names(w.cpuWindows()), QStringList { QStringLiteral("Attic") });
        QVERIFY(attic->AllowUpdates() && attic->PutOnDisplay());
        QVERIFY(!SettingsStore::sectionExists(QStringLiteral("Study"))
            && SettingsStore::sectionExists(QStringLiteral("Attic")));
        QCOMPARE(Prompt::Asked().last(), QStringLiteral("Tavrik"));
        QVERIFY(w.close());
    }

    // The log of a cycle over five CPUs in every kind of state reads as it always has.
    void cycleLogMatchesStoredText()
    {
        const QString root = m_clients->path() + u'/';
        auto client = [&](const char *name, const QByteArray &state, bool download = false) {
            const QString dir = root + QLatin1String(name) + u'/';
            WriteTextFile(dir + "State.txt", state);
            WriteTextFile(dir + "User_Info.txt", "id=7\nnwus=12\nnresults=11\ntotal_cpu=200000\n");
            if (download)
                WriteTextFile(dir + "wtemp.txt", QByteArray(90112, 'x'));
            return dir;
        };
        storeHandOver({ "Working", "Stalled", "Downloading", "Broken", "Gone" },
            { client("working", "ver=3\nprog=0.25\ncpu=100\n"), client("stalled", "ver=3\nprog=0.5\ncpu=200\n"),
                client("downloading", "prog=1.0\ncpu=300\n", true), client("broken", "ver=3\nprog=0.75\n"),
                root + "gone/" });
        Clock::SetFake(QDateTime(QDate(2026, 12, 6), QTime(10, 0)));
        mfrmTavrik w(m_options);
        w.Load();
        settle(w);
        const qsizetype before = frmMessages::instance()->Message().size();
        client("working", "ver=3\nprog=0.3\ncpu=160\n");
        Clock::Advance(31000);
        w.mnuRefresh_Click();
        settle(w);
        QString log = frmMessages::instance()->Message().mid(before);
        log.replace(root, QStringLiteral("<root>/")).replace(Clock::GeneralDate(), QStringLiteral("<date>"));
        QFile expected(QFINDTESTDATA("cycle-log.txt"));
        QVERIFY(expected.open(QIODevice::ReadOnly));
        QCOMPARE(log, QString::fromUtf8(expected.readAll()));
        QVERIFY(w.close());
    }

    // Killed at any write of the settings file, start-up and exit leave the CPU list whole: the
    // next start finds exactly the stored CPUs, in order.
    void killAtEveryWrite()
    {
        int k = 1;
        for (;; ++k) {
            QTemporaryDir store;
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());
            QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, store.path());
            QStringList paths;
            for (const QString &name : SweepCpus)
                paths << writeClient(qPrintable(name.left(3)));
            storeHandOver(SweepCpus, paths);
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                { "--child", "startAndExit", store.path(), QString::number(k) });
            if (!child.waitForFinished(30000)) {
                child.kill();
                QFAIL("the child did not end");
            }
            QStringList loaded;
            for (const auto &cpu : CpuList::Read().cpus)
                loaded << cpu.first;
            QVERIFY2(loaded == SweepCpus,
                qPrintable(QStringLiteral("killed at write %1: %2").arg(k).arg(loaded.join(u','))));
            if (child.exitStatus() == QProcess::NormalExit) {
                QCOMPARE(child.exitCode(), 0);
                break;
            }
            QVERIFY(k < 20);
        }
        QVERIFY2(k > 2, "start-up and exit write the file at least once each");
    }

    void closeDuringCycle()
    {
        const QString path = writeClient("a");
        storeHandOver({ QStringLiteral("Den") }, { path });
        mfrmTavrik w(m_options);
        w.Load();
        settle(w);
        w.show();
        settle(w);
        w.mnuRefresh_Click();
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        settle(w);
        QCOMPARE(stored(Schema::AppSettings, Schema::TotalCPUs), QStringLiteral("0"));

        // A close from the system does not wait: the cycle is abandoned, the list handed over.
        w.mnuRefresh_Click();
        QVERIFY(w.cycle().isCycling());
        w.closeFromSystem();
        QVERIFY(!w.isVisible());
        QCOMPARE(stored(Schema::AppSettings, Schema::TotalCPUs), QStringLiteral("1"));
    }

    void messageWindowDisablesCpuCommands()
    {
        storeHandOver({ QStringLiteral("Den") }, { writeClient("a") });
        mfrmTavrik w(m_options);
        w.Load();
        settle(w);
        w.show();
        auto *logFrame = qobject_cast<QMdiSubWindow *>(frmMessages::instance()->parentWidget());
        QVERIFY(logFrame);
        w.mdiArea()->setActiveSubWindow(logFrame);
        for (const char *name : { "mnuCPURemove", "mnuCPUInfo", "mnuPopRefresh", "mnuPopAllowUpdates" })
            QVERIFY2(!item(w, name)->isEnabled(), name);
        QVERIFY(item(w, "mnuRefresh")->isEnabled());
        QVERIFY(!w.activeCpu());
        w.mnuCPURemove_Click(); // harmless without an active CPU
        activate(w, w.cpuWindows().at(0));
        QVERIFY(item(w, "mnuCPURemove")->isEnabled());
        QVERIFY(w.close());
    }

    // Help that cannot be shown says so in the log, once, with where the file is.
    void helpWithoutBrowser()
    {
        const QByteArray path = qgetenv("PATH");
        QTemporaryDir tools;
        mfrmTavrik w(m_options);
        for (bool installed : { true, false }) {
            if (installed) {
                QVERIFY(WriteTextFile(tools.filePath(QStringLiteral("xdg-open")), "#!/bin/sh\nexit 3\n"));
                QFile(tools.filePath(QStringLiteral("xdg-open"))).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
            } else {
                QFile::remove(tools.filePath(QStringLiteral("xdg-open")));
            }
            qputenv("PATH", tools.path().toLocal8Bit());
            item(w, "mnuHelpBrief")->trigger();
            qputenv("PATH", path);
            const QString expected = installed ? QStringLiteral("xdg-open ended with code 3")
                                               : QStringLiteral("xdg-open could not be started");
            QTRY_VERIFY(frmMessages::instance()->Message().contains(expected));
            QVERIFY(frmMessages::instance()->Message().contains(QStringLiteral("ReadMe.htm could not be opened")));
        }
    }

    void minimiseShowsTheDisplay_data()
    {
        QTest::addColumn<bool>("scroll");
        QTest::newRow("scroll on") << true;
        QTest::newRow("scroll off") << false;
    }
    void minimiseShowsTheDisplay()
    {
        QFETCH(bool, scroll);
        m_options.update([&](OptionValues &v) { v.Scroll = scroll; });
        storeHandOver({ QStringLiteral("Den") }, { writeClient("a") });
        mfrmTavrik w(m_options);
        w.Load();
        settle(w);
        w.showMaximized();
        w.setWindowState(Qt::WindowMinimized);
        QCOMPARE(bool(w.display()), scroll);
        // Back from the display as it was: maximised.
        if (scroll)
            w.display()->findChild<QAction *>(QStringLiteral("mnuPopMainWindow"))->trigger();
        else
            w.setWindowState(Qt::WindowMaximized);
        QVERIFY(!w.display());
        QVERIFY(w.isMaximized());
        QVERIFY(w.close());
    }
};

TAVRIK_TEST(PanelTest)
#include "PanelTest.moc"
