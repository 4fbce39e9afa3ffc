#include "SimulatedClient.h"
#include "common/TestSupport.h"
#include "dialogs/frmCPUInfo.h"
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
    std::unique_ptr<StatusTotals> m_totals;
    Options m_options;
    QList<QPointer<frmSetiControl>> m_windows;

    frmSetiControl *window(const QString &name, const QString &path)
    {
        auto *w = new frmSetiControl(m_options, *m_totals);
        w->setCPUName(name);
        w->setCPUPath(path);
        m_windows << w;
        return w;
    }

    template <typename T = QLabel> static T *get(QWidget *w, const char *name)
    {
        return w->findChild<T *>(QLatin1String(name));
    }
    // What the update cycle hands the window after reading its folder.
    static void read(frmSetiControl *w) { w->UpdateDisplay(ClientReader::Read(w->CPUPath())); }
    static QColor colour(const QWidget *w) { return w->palette().color(QPalette::WindowText); }
    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    static QString log() { return frmMessages::exists() ? frmMessages::instance()->Message() : QString(); }
    static QString settingsText(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private Q_SLOTS:
    void init()
    {
        m_settings = std::make_unique<IsolatedSettings>();
        m_client = std::make_unique<QTemporaryDir>();
        m_sim = std::make_unique<SimulatedClient>(m_client->path(), SimulatedClient::Options());
        m_sim->setProgress(0.5, 3600);
        m_sim->setAccount(120, 119, 7200);
        QVERIFY(m_sim->start());
        m_totals = std::make_unique<StatusTotals>();
        m_options = Options();
        m_options.AlarmInterval = 5;
        Clock::SetFake(QDateTime(QDate(2026, 12, 6), QTime(10, 0)));
    }

    void cleanup()
    {
        for (const auto &w : std::as_const(m_windows))
            delete w.data();
        m_windows.clear();
        frmCPUInfo::setScript({});
        frmMessages::unloadInstance();
        flushDeletes();
        m_totals.reset();
        m_settings.reset();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    // A working client read after loading, read again unchanged, then finished and downloading.
    void showsTheClientAsItGoes()
    {
        frmSetiControl *w = window(QStringLiteral("Alpha"), m_client->path()); // no separator at the end
        QVERIFY(w->Load(nullptr));
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
        QCOMPARE(m_totals->downloaded(), QStringLiteral("120"));
        QCOMPARE(m_totals->currentSeconds(), 3600.0);
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
        w->setCPUPath(longPath);
        w->applyNameAndPath();
        auto *path = static_cast<ElidedLabel *>(get(w, "lblPath"));
        QCOMPARE(path->toolTip(), longPath);
        const QString elided = path->shownText();
        QVERIFY2(elided.startsWith(dir.left(4)) && elided.endsWith(QStringLiteral("xx/")) && elided.contains(u'\u2026'),
            qPrintable(elided));
        QVERIFY(path->fontMetrics().horizontalAdvance(elided) <= path->contentsRect().width());
        w->setCPUPath(dir);
        w->applyNameAndPath();
        QCOMPARE(m_totals->currentSeconds(), 3600.0); // read twice, counted once
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
        QCOMPARE(m_totals->uploaded(), QStringLiteral("120"));
    }

    // A download that takes longer than the alarm interval sounds the alarm once per interval.
    void alarm()
    {
        QTemporaryDir sounds;
        m_options.AlarmSound = sounds.filePath(QStringLiteral("alarm.wav"));
        m_options.SoundsOn = true;
        QVERIFY(WriteTextFile(m_options.AlarmSound, "RIFF"));
        QStringList played;
        bksPublicModule::SetWavePlayer([&played](const QString &path, bool wait, bool loop) {
            played << QStringLiteral("%1 %2 %3").arg(path).arg(wait).arg(loop);
        });
        m_sim->setDownloadBytes(1000);
        QVERIFY(m_sim->start());
        frmSetiControl *w = window(QStringLiteral("Beta"), m_client->path());
        QVERIFY(w->Load(nullptr));
        read(w); // from 0 to 100: moving
        read(w); // the watch starts
        for (int minutes : { 5, 0, 5, 0, 5, 0 }) {
            if (played.size() == 2) // the sound is gone: the alarm that cannot be heard is written down
                QFile::remove(m_options.AlarmSound);
            Clock::Advance(minutes * 60000 + (minutes ? 0 : 1000));
            read(w);
        }
        QCOMPARE(played, QStringList(2, m_options.AlarmSound + QStringLiteral(" 0 0")));
        QCOMPARE(log().count(QStringLiteral("The download alarm of Beta could not be played: the sound file does not "
                                            "exist (the sound is %1).")
                                 .arg(QDir::toNativeSeparators(m_options.AlarmSound))),
            1);
        QVERIFY(log().contains(QStringLiteral("Failed to download new work unit in time given.  Adjust alarm")));
    }

    // Windows unloaded at shutdown leave numbered entries and their own sections. A stored
    // minimised window keeps its stored place.
    void handOverEntries()
    {
        const QString &app = Schema::AppSettings;
        QVERIFY(SettingsStore::save(QStringLiteral("B"), Schema::WindowState, QStringLiteral("1")));
        QVERIFY(SettingsStore::save(QStringLiteral("B"), Schema::Top, QStringLiteral("999")));
        QVERIFY(SettingsStore::save(QStringLiteral("B"), Schema::AllowUpdates, QStringLiteral("False")));
        QList<QPointer<frmSetiControl>> windows;
        for (const char *name : { "A", "B", "C" }) {
            windows << window(QLatin1String(name), m_client->path());
            QVERIFY(windows.last()->Load(nullptr));
        }
        QVERIFY(windows[0]->AllowUpdates() && windows[0]->PutOnDisplay() && !windows[1]->AllowUpdates());
        QCOMPARE(Framework::WindowStateCode(windows[1]), 1);
        QCOMPARE(Framework::GeometryTwips(windows[0]), QRect(105, 105, 4725, 1590));

        for (const auto &w : windows)
            w->Unload();
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

    // A window shown without a CPU asks for one; given none it reports it and leaves nothing.
    void blankCpuAsksForOne_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::newRow("given a CPU") << true;
        QTest::newRow("cancelled") << false;
    }

    void blankCpuAsksForOne()
    {
        QFETCH(bool, answer);
        QVERIFY(SettingsStore::save(Schema::AppSettings, Schema::DefaultAllowUpdates, QStringLiteral("0")));
        const QString settingsBefore = settingsText(m_settings->configFile());
        bool boxesFromDefaults = false;
        frmCPUInfo::setScript([&](frmCPUInfo &dialog) {
            boxesFromDefaults
                = !get<QCheckBox>(&dialog, "Check1_0")->isChecked() && get<QCheckBox>(&dialog, "Check1_1")->isChecked();
            get<QLineEdit>(&dialog, "tbCPUName")->setText(QStringLiteral("Fresh"));
            get<QLineEdit>(&dialog, "tbSetiDir")->setText(m_client->path());
            get<QPushButton>(&dialog, answer ? "Command1_0" : "Command1_1")->click();
        });
        QPointer<frmSetiControl> w = window(QString(), QString());
        QCOMPARE(w->Load(nullptr), answer);
        QVERIFY(boxesFromDefaults);
        if (answer) {
            QCOMPARE(w->CPUName() + w->CPUPath(), QStringLiteral("Fresh") + m_client->path() + u'/');
            QVERIFY(w->AllowUpdates()); // the new CPU's own section decides, and it has none yet
            return;
        }
        QVERIFY(log().contains(QStringLiteral("Name or path not valid.\r\nName: \r\nPath:\r\n")));
        flushDeletes();
        QVERIFY(!w);
        QCOMPARE(settingsText(m_settings->configFile()), settingsBefore);
    }

    void closeBoxMinimises()
    {
        QMdiArea area;
        area.show();
        frmSetiControl *w = window(QStringLiteral("Mdi"), m_client->path());
        QVERIFY(w->Load(&area));
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
        frmSetiControl w(m_options, *m_totals);
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

    // A reading that arrives after the window was unloaded, or for a window without a path,
    // changes nothing.
    void readingAfterUnloadOrWithoutPath()
    {
        QPointer<frmSetiControl> w = window(QStringLiteral("Brief"), m_client->path());
        QVERIFY(w->Load(nullptr));
        const QString before = log();
        const ClientSnapshot files = ClientReader::Read(w->CPUPath());
        w->Unload();
        w->UpdateDisplay(files);
        QCOMPARE(log(), before);
        flushDeletes();
        QVERIFY(!w);

        frmSetiControl *noPath = window(QStringLiteral("NoPath"), QString());
        noPath->UpdateDisplay(files);
        QCOMPARE(log(), before);
    }
};

TAVRIK_TEST(CpuWindowTest)
#include "CpuWindowTest.moc"
