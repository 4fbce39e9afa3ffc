#include "SimulatedClient.h"
#include "common/TestSupport.h"
#include "dialogs/frmCPUInfo.h"
#include "fleet/Fleet.h"
#include "log/frmMessages.h"
#include "monitor/ClientReader.h"
#include "monitor/StatusTotals.h"
#include "monitor/frmSetiControl.h"
#include "monitor/modDateTime.h"
#include "settings/Options.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/Clock.h"
#include "shared/ElidedLabel.h"
#include "shared/Framework.h"
#include "shared/StateColours.h"
#include "shared/bksPublicWindows.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

class CpuWindowTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<QTemporaryDir> m_client;
    std::unique_ptr<SimulatedClient> m_sim;
    Options m_options;
    std::unique_ptr<Fleet> m_fleet;
    QList<QPointer<frmSetiControl>> m_windows;

    // A CPU of the fleet with its window, as the panel makes them.
    frmSetiControl *window(const QString &name, const QString &path, QMdiArea *area = nullptr)
    {
        Cpu *cpu = m_fleet->restore(name, path);
        auto *w = new frmSetiControl(*m_fleet, cpu->key);
        connect(m_fleet.get(), &Fleet::readingApplied, w, [w](quint64 key) {
            if (key == w->key())
                w->showRecord();
        });
        w->Load(area);
        m_windows << w;
        return w;
    }

    template <typename T = QLabel> static T *get(QWidget *w, const char *name)
    {
        return w->findChild<T *>(QLatin1String(name));
    }
    // What the update cycle hands the fleet after reading the CPU's folder.
    void read(frmSetiControl *w) { m_fleet->applyReading(w->key(), w->CPUPath(), ClientReader::Read(w->CPUPath())); }
    static QColor colour(const QWidget *w) { return w->palette().color(QPalette::WindowText); }
    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    static QString log() { return frmMessages::exists() ? frmMessages::instance()->Message() : QString(); }

private Q_SLOTS:
    void init()
    {
        m_settings = std::make_unique<IsolatedSettings>();
        m_client = std::make_unique<QTemporaryDir>();
        m_sim = std::make_unique<SimulatedClient>(m_client->path(), SimulatedClient::Options());
        m_sim->setProgress(0.5, 3600);
        m_sim->setAccount(120, 119, 7200);
        QVERIFY(m_sim->start());
        m_options.setValues(OptionValues());
        m_options.update([](OptionValues &v) { v.AlarmInterval = 5; });
        m_fleet = std::make_unique<Fleet>(m_options);
        connect(m_fleet.get(), &Fleet::logged, this, [](const LogEntries &entries) { frmMessages::Append(entries); });
        Clock::SetFake(QDateTime(QDate(2026, 12, 6), QTime(10, 0)));
    }

    void cleanup()
    {
        for (const auto &w : std::as_const(m_windows))
            delete w.data();
        m_windows.clear();
        frmMessages::unloadInstance();
        flushDeletes();
        m_fleet.reset();
        m_settings.reset();
        Clock::SetFake({});
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    // A working client read after loading, read again unchanged, then finished and downloading.
    void showsTheClientAsItGoes()
    {
        frmSetiControl *w = window(QStringLiteral("Alpha"), m_client->path()); // no separator at the end
        read(w);
        const QString dir = m_client->path() + u'/';
        auto *percent = get(w, "lblPercent");
        QStringList shown { w->windowTitle(), Framework::Tag(w), w->percentText(), get(w, "lblTime")->text() };
        for (const char *name : { "lblPath", "lblPackageDown", "lblPackageUp", "lblPackage" })
            shown << get(w, name)->text();
        QCOMPARE(
            shown, QStringList({ "Alpha", "-1", "50%", modDateTime::SecondsToText(3600), dir, "120", "119", "120" }));
        QVERIFY(Framework::LoadedWindows().contains(w));
        const StateColours::Set colours = StateColours::For(w->palette());
        QCOMPARE(colour(percent), colours.moving);
        QCOMPARE(w->attentionWords(), QString());
        QCOMPARE(get<QProgressBar>(w, "ProgressBar1")->value(), 50);
        QCOMPARE(m_fleet->totals().downloaded(), QStringLiteral("120"));
        QCOMPARE(m_fleet->totals().currentSeconds(), 3600.0);
        QVERIFY(log().contains(QStringLiteral("Starting Update of Alpha\r\nReading file ") + dir));
        QVERIFY(log().contains(QStringLiteral("Loaded successfully.\r\nName: Alpha\r\nPath: ") + dir + u'\r'));

        read(w);
        QCOMPARE(colour(percent), colours.stalled);
        QCOMPARE(get(w, "lblState")->text(), QStringLiteral("stalled"));
        QCOMPARE(w->toolTip(), QStringLiteral("Alpha: stalled"));
        // What a screen reader gets: the window's state, and each value named by what it is.
        QCOMPARE(QAccessible::queryAccessibleInterface(w)->text(QAccessible::Description),
            QStringLiteral("Alpha, 50 percent, stalled"));
        QStringList names;
        for (const char *name : { "lblPath", "lblState", "ProgressBar1", "lblPercent", "lblTime", "lblPackage",
                 "lblPackageDown", "lblPackageUp", "Label3" })
            names << QAccessible::queryAccessibleInterface(w->findChild<QWidget *>(name))->text(QAccessible::Name);
        QCOMPARE(names,
            QStringList({ "Folder", "State", "Progress of the work unit", "Done", "CPU time", "Work units",
                "Downloaded", "Uploaded", "Download" }));
        // A long path loses its middle, never its ends, and its tip is the whole path.
        const QString longPath = dir + QStringLiteral("shares/lab/nodes/seven/client/") + QString(40, u'x') + u'/';
        auto *path = static_cast<ElidedLabel *>(get(window(QStringLiteral("Far"), longPath), "lblPath"));
        QCOMPARE(path->toolTip(), longPath);
        const QString elided = path->shownText();
        QVERIFY2(elided.startsWith(dir.left(4)) && elided.endsWith(QStringLiteral("xx/")) && elided.contains(u'\u2026'),
            qPrintable(elided));
        QVERIFY(path->fontMetrics().horizontalAdvance(elided) <= path->contentsRect().width());
        QCOMPARE(m_fleet->totals().currentSeconds(), 3600.0); // read twice, counted once
        QVERIFY(!get<QWidget>(w, "picDownloading")->isVisible());

        m_sim->setDownloadBytes(SimulatedClient::FullDownload / 4);
        QVERIFY(m_sim->start());
        read(w); // the unit is done
        Clock::Advance(31000);
        read(w); // unchanged at 100: the download is watched
        QVERIFY(get<QWidget>(w, "picDownloading")->isVisible());
        QCOMPARE(get(w, "Label3")->text(), QStringLiteral("Downloading a new work unit..."));
        QCOMPARE(colour(get(w, "Label3")), colours.text);
        QCOMPARE(w->percentText(), QStringLiteral("25%"));
        QCOMPARE(colour(percent), colours.stalled);
        QCOMPARE(w->attentionWords(), QStringLiteral("downloading"));
        // A dark palette at run time: the texts follow it and stay readable.
        QPalette dark = w->palette();
        dark.setColor(QPalette::Window, QColor(40, 40, 40));
        dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
        w->setPalette(dark);
        for (const char *name : { "lblPercent", "Label3" })
            QVERIFY2(StateColours::Contrast(colour(get(w, name)), QColor(40, 40, 40)) >= 4.5, name);
        QCOMPARE(m_fleet->totals().uploaded(), QStringLiteral("120"));
    }

    // A download that takes longer than the alarm interval sounds the alarm once per interval.
    void alarm()
    {
        QSignalSpy alarms(m_fleet.get(), &Fleet::alarmDue);
        m_sim->setDownloadBytes(1000);
        QVERIFY(m_sim->start());
        frmSetiControl *w = window(QStringLiteral("Beta"), m_client->path());
        read(w); // from 0 to 100: moving
        read(w); // the watch starts
        for (int minutes : { 5, 0, 5, 0 }) {
            Clock::Advance(minutes * 60000 + (minutes ? 0 : 1000));
            read(w);
        }
        QCOMPARE(alarms.count(), 2);
        QVERIFY(log().contains(QStringLiteral("Failed to download new work unit in time given.  Adjust alarm")));
        // The download's start is kept with the CPU while it is timed, for a restart to go on from.
        QCOMPARE(SettingsStore::get(QStringLiteral("Beta"), Schema::DownloadStarted, {}),
            Cpu::DownloadStartedText(QDateTime(QDate(2026, 12, 6), QTime(10, 0)).toMSecsSinceEpoch()));
        m_sim->setProgress(0.01, 10);
        QVERIFY(m_sim->start());
        read(w);
        QCOMPARE(SettingsStore::get(QStringLiteral("Beta"), Schema::DownloadStarted, QStringLiteral("gone")),
            QStringLiteral("gone"));
    }

    // The hand-over at shutdown leaves numbered entries and every CPU's section with its
    // window's place; a stored minimised window keeps its stored place.
    void handOverEntries()
    {
        const QString &app = Schema::AppSettings;
        QVERIFY(SettingsStore::save(QStringLiteral("B"), Schema::WindowState, QStringLiteral("1")));
        QVERIFY(SettingsStore::save(QStringLiteral("B"), Schema::Top, QStringLiteral("999")));
        QVERIFY(SettingsStore::save(QStringLiteral("B"), Schema::AllowUpdates, QStringLiteral("False")));
        QList<QPointer<frmSetiControl>> windows;
        for (const char *name : { "A", "B", "C" })
            windows << window(QLatin1String(name), m_client->path());
        QVERIFY(windows[0]->AllowUpdates() && windows[0]->PutOnDisplay() && !windows[1]->AllowUpdates());
        QCOMPARE(Framework::WindowStateCode(windows[1]), 1);
        QCOMPARE(Framework::GeometryTwips(windows[0]), QRect(105, 105, 4725, 1590));

        {
            const SettingsStore::Batch batch;
            m_fleet->handOver();
            for (const auto &w : windows) {
                w->savePlace();
                w->Unload();
            }
        }
        QVERIFY(windows[2] && windows[2]->isUnloaded()); // deleted later, not at once
        flushDeletes();
        QVERIFY(!windows[0] && !windows[1] && !windows[2]);
        QStringList stored { SettingsStore::get(app, Schema::TotalCPUs, {}) };
        for (int i = 0; i < 3; ++i)
            stored << SettingsStore::get(QString::number(i), Schema::CPUName, {});
        for (const QString &key : { Schema::CPUPath, Schema::WindowState, Schema::AllowUpdates, Schema::Top })
            stored << SettingsStore::get(QStringLiteral("A"), key, {})
                   << SettingsStore::get(QStringLiteral("B"), key, {});
        const QString path = m_client->path() + u'/';
        QCOMPARE(stored, QStringList({ "3", "A", "B", "C", path, path, "0", "1", "True", "False", "105", "999" }));
        QCOMPARE(SettingsStore::getPlacement(QStringLiteral("A"), QRect()), QRect(105, 105, 4725, 1590));
    }

    void closeBoxMinimises()
    {
        QMdiArea area;
        area.show();
        frmSetiControl *w = window(QStringLiteral("Mdi"), m_client->path(), &area);
        QPointer<QMdiSubWindow> sub = qobject_cast<QMdiSubWindow *>(w->parentWidget());
        QVERIFY(sub && sub->windowTitle() == QLatin1String("Mdi"));
        QVERIFY(!sub->close());
        QVERIFY(!w->isUnloaded());
        QCOMPARE(Framework::WindowStateCode(w), 1);
        w->Unload();
        flushDeletes();
        QVERIFY(!sub && area.subWindowList().isEmpty());
    }

    // The right button anywhere asks for the pop-up menu; a double click edits only from the
    // window's background.
    void mouse_data()
    {
        QTest::addColumn<QString>("target");
        for (const char *name : { "", "Label1", "Label2", "Label3", "Label5", "Label7", "lblPackage", "lblPackageDown",
                 "lblPackageUp", "lblPath", "lblPercent", "lblTime", "picDownloading", "ProgressBar1" })
            QTest::newRow(*name ? name : "background") << QString::fromLatin1(name);
    }

    void mouse()
    {
        QFETCH(QString, target);
        Cpu *cpu = m_fleet->restore(QStringLiteral("Mouse"), QStringLiteral("/m/"));
        frmSetiControl w(*m_fleet, cpu->key);
        w.show();
        get<QWidget>(&w, "picDownloading")->show();
        QWidget *t = target.isEmpty() ? &w : w.findChild<QWidget *>(target);
        const QPoint at = target.isEmpty() ? QPoint(2, 30) : QPoint(1, 1);
        QVERIFY(t && (!target.isEmpty() || w.childAt(at) == w.findChild<QWidget *>(QStringLiteral("body"))));
        QSignalSpy popup(&w, &frmSetiControl::popupMenuRequested);
        QSignalSpy edit(&w, &frmSetiControl::editRequested);
        QTest::mouseClick(t, Qt::LeftButton, {}, at);
        QTest::mousePress(t, Qt::RightButton, {}, at);
        QCOMPARE(popup.count(), 1);
        QCOMPARE(popup.first().first().toPoint(), t->mapToGlobal(at));
        QTest::mouseDClick(t, Qt::LeftButton, {}, at);
        QCOMPARE(edit.count(), target.isEmpty() ? 1 : 0);
        // From the keyboard: the Menu key and Shift+F10 open it, F10 alone does not.
        QTest::keyClick(&w, Qt::Key_Menu);
        QTest::keyClick(&w, Qt::Key_F10, Qt::ShiftModifier);
        QTest::keyClick(&w, Qt::Key_F10);
        QCOMPARE(popup.count(), 3);
    }

    // A reading of a CPU since removed, or of a folder it no longer has, changes nothing.
    void readingAfterRemoveOrEdit()
    {
        QPointer<frmSetiControl> w = window(QStringLiteral("Brief"), m_client->path());
        const quint64 key = w->key();
        const QString path = w->CPUPath();
        const ClientSnapshot files = ClientReader::Read(path);
        QVERIFY(m_fleet->edit(key, QStringLiteral("Brief"), QStringLiteral("/elsewhere"), true, true));
        const QString before = log();
        m_fleet->applyReading(key, path, files);
        QCOMPARE(log(), before);
        m_fleet->remove(key);
        w->Unload();
        m_fleet->applyReading(key, QStringLiteral("/elsewhere/"), files);
        QCOMPARE(log(), before);
        flushDeletes();
        QVERIFY(!w);
    }
};

TAVRIK_TEST(CpuWindowTest)
#include "CpuWindowTest.moc"
