#include "common/TestSupport.h"
#include "core/Schema.h"
#include "core/SettingsStore.h"
#include "core/modTavrik.h"
#include "dialogs/frmCPUInfo.h"
#include "log/frmMessages.h"
#include "monitor/SimulatedClient.h"
#include "monitor/StatusTotals.h"
#include "monitor/frmSetiControl.h"
#include "monitor/modDateTime.h"
#include "shared/Clock.h"
#include "shared/Framework.h"
#include "shared/bksPublicModule.h"

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

namespace {

QColor textColour(const QWidget *w)
{
    return w->palette().color(QPalette::WindowText);
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class CpuWindowTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<QTemporaryDir> m_client;
    std::unique_ptr<StatusTotals> m_totalsOwner;
    StatusTotals *m_totals = nullptr;
    QList<QPointer<frmSetiControl>> m_windows;

    QString clientDir() const { return m_client->path() + u'/'; }

    SimulatedClient::Options options() const
    {
        SimulatedClient::Options o;
        o.seed = 7;
        return o;
    }

    frmSetiControl *newWindow(const QString &name, const QString &path)
    {
        auto *w = new frmSetiControl(*m_totals);
        w->setCPUName(name);
        w->setCPUPath(path);
        m_windows.append(w);
        return w;
    }

    QString log() const { return frmMessages::exists() ? frmMessages::instance()->Message() : QString(); }

    template <typename T>
    static T *control(QWidget *w, const char *name)
    {
        return w->findChild<T *>(QLatin1String(name));
    }

private Q_SLOTS:
    void init()
    {
        m_settings = std::make_unique<IsolatedSettings>();
        m_client = std::make_unique<QTemporaryDir>();
        m_totalsOwner = std::make_unique<StatusTotals>();
        m_totals = m_totalsOwner.get();
        modTavrik::AlarmInterval = 5;
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
        m_totalsOwner.reset();
        m_settings.reset();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void setPathAddsSeparator()
    {
        frmSetiControl w(*m_totals);
        w.setCPUPath(QStringLiteral("/opt/seti"));
        QCOMPARE(w.CPUPath(), QStringLiteral("/opt/seti/"));
        w.setCPUPath(QStringLiteral("/opt/seti/"));
        QCOMPARE(w.CPUPath(), QStringLiteral("/opt/seti/"));
        QCOMPARE(Framework::Tag(&w), QStringLiteral("-1"));
    }

    // A working client, read at load and again unchanged, then finished and downloading.
    void showsTheClientAsItGoes()
    {
        SimulatedClient sim(m_client->path(), options());
        sim.setProgress(0.5, 3600);
        sim.setAccount(120, 119, 7200);
        QVERIFY(sim.start());

        frmSetiControl *w = newWindow(QStringLiteral("Alpha"), m_client->path());
        QVERIFY(w->Load(nullptr));
        QVERIFY(w->isVisible());
        QCOMPARE(w->windowTitle(), QStringLiteral("Alpha"));
        QCOMPARE(control<QLabel>(w, "lblPath")->text(), clientDir());
        auto *percent = control<QLabel>(w, "lblPercent");
        QCOMPARE(percent->text(), QStringLiteral("50%"));
        QCOMPARE(w->percentText(), QStringLiteral("50%"));
        QCOMPARE(textColour(percent), QColor(0, 0, 255));
        QCOMPARE(control<QProgressBar>(w, "ProgressBar1")->value(), 50);
        QCOMPARE(control<QLabel>(w, "lblTime")->text(), modDateTime::SecondsToText(3600));
        QCOMPARE(control<QLabel>(w, "lblPackageDown")->text(), QStringLiteral("120"));
        QCOMPARE(control<QLabel>(w, "lblPackageUp")->text(), QStringLiteral("119"));
        QCOMPARE(control<QLabel>(w, "lblPackage")->text(), QStringLiteral("120"));
        QVERIFY(!control<QWidget>(w, "picDownloading")->isVisible());
        QCOMPARE(m_totals->downloaded(), QStringLiteral("120"));
        QCOMPARE(m_totals->totalTimeText(), modDateTime::SecondsToText(7200));
        QVERIFY(Framework::LoadedWindows().contains(w));
        QVERIFY(log().contains(QStringLiteral("Starting Update of Alpha\r\nReading file ") + clientDir()
                               + QStringLiteral("State.txt\r\n")));
        QVERIFY(log().contains(QStringLiteral("Loaded successfully.\r\nName: Alpha\r\nPath: ") + clientDir()));

        w->UpdateDisplay();
        QCOMPARE(textColour(percent), QColor(255, 0, 0));
        QVERIFY(!control<QWidget>(w, "picDownloading")->isVisible());

        sim.setDownloadBytes(SimulatedClient::FullDownload / 4);
        QVERIFY(sim.start());
        w->UpdateDisplay(); // the unit is done: 100 in blue
        QCOMPARE(percent->text(), QStringLiteral("100%"));
        QCOMPARE(textColour(percent), QColor(0, 0, 255));
        Clock::Advance(31000);
        w->UpdateDisplay(); // unchanged at 100: the download is watched
        QVERIFY(control<QWidget>(w, "picDownloading")->isVisible());
        auto *label3 = control<QLabel>(w, "Label3");
        QCOMPARE(label3->text(), QStringLiteral("Downloading a new work unit..."));
        QCOMPARE(textColour(label3), QColor(0, 0, 0));
        QCOMPARE(percent->text(), QStringLiteral("25%"));
        QCOMPARE(textColour(percent), QColor(255, 0, 0));
        QCOMPARE(m_totals->downloaded(), QStringLiteral("120")); // nresults rose to 120: it still leads
        QCOMPARE(m_totals->uploaded(), QStringLiteral("120"));
    }

    // A download that takes longer than the alarm interval sounds the alarm once per interval.
    void alarm()
    {
        QTemporaryDir sounds;
        const QString wave = sounds.filePath(QStringLiteral("alarm.wav"));
        QVERIFY(WriteTextFile(wave, "RIFF"));
        modTavrik::AlarmSound = wave;
        modTavrik::SoundsOn = true;
        QStringList played;
        bksPublicModule::SetWavePlayer([&played](const QString &path, bool wait, bool loop) {
            played << QStringLiteral("%1 %2 %3").arg(path).arg(wait).arg(loop);
        });
        SimulatedClient sim(m_client->path(), options());
        sim.setDownloadBytes(1000);
        QVERIFY(sim.start());

        frmSetiControl *w = newWindow(QStringLiteral("Beta"), m_client->path());
        QVERIFY(w->Load(nullptr)); // 100 after 0: moving
        w->UpdateDisplay(); // the watch starts
        Clock::Advance(5 * 60 * 1000);
        w->UpdateDisplay();
        QVERIFY(played.isEmpty());
        Clock::Advance(1000);
        w->UpdateDisplay();
        QCOMPARE(played, QStringList{wave + QStringLiteral(" 0 0")});
        QVERIFY(log().contains(QStringLiteral("Failed to download new work unit in time given.  Adjust alarm time")));
        Clock::Advance(5 * 60 * 1000);
        w->UpdateDisplay();
        QCOMPARE(played.size(), 1);
        Clock::Advance(1000);
        w->UpdateDisplay();
        QCOMPARE(played.size(), 2);
    }

    void unreachableDirectory()
    {
        frmSetiControl *w = newWindow(QStringLiteral("Gone"), clientDir() + QStringLiteral("nowhere"));
        QVERIFY(w->Load(nullptr));
        auto *label3 = control<QLabel>(w, "Label3");
        QVERIFY(control<QWidget>(w, "picDownloading")->isVisible());
        QCOMPARE(label3->text(), QStringLiteral("Path not found..."));
        QCOMPARE(textColour(label3), QColor(255, 0, 0));
        QVERIFY(log().contains(QStringLiteral("Path not found - Possible reasons include: computer may be\r\n")));
    }

    // Windows unloaded at shutdown leave numbered entries and their own sections; loading lowers
    // the count again.
    void handOverEntries()
    {
        SimulatedClient sim(m_client->path(), options());
        QVERIFY(sim.start());
        const QString &app = Schema::AppSettings;
        QVERIFY(SettingsStore::save(app, Schema::TotalCPUs, QStringLiteral("1")));
        QVERIFY(SettingsStore::save(QStringLiteral("B"), Schema::WindowState, QStringLiteral("1")));
        QVERIFY(SettingsStore::save(QStringLiteral("B"), Schema::Top, QStringLiteral("999")));
        QVERIFY(SettingsStore::save(QStringLiteral("B"), Schema::AllowUpdates, QStringLiteral("False")));
        QVERIFY(SettingsStore::save(QStringLiteral("C"), Schema::PutOnDisplay, QStringLiteral("0")));

        QList<QPointer<frmSetiControl>> windows;
        for (const char *name : {"A", "B", "C"}) {
            windows << newWindow(QLatin1String(name), m_client->path());
            QVERIFY(windows.last()->Load(nullptr));
        }
        QCOMPARE(SettingsStore::get(app, Schema::TotalCPUs, QString()), QStringLiteral("0"));
        QVERIFY(windows[0]->AllowUpdates() && windows[0]->PutOnDisplay());
        QVERIFY(!windows[1]->AllowUpdates());
        QCOMPARE(Framework::WindowStateCode(windows[1]), 1);
        QVERIFY(!windows[2]->PutOnDisplay());
        const QRect placed = Framework::GeometryTwips(windows[0]);

        for (const auto &w : windows)
            w->Unload();
        for (const auto &w : windows)
            QVERIFY(w && w->isUnloaded()); // deleted later, not at once
        flushDeletes();
        for (const auto &w : windows)
            QVERIFY(!w);

        QCOMPARE(SettingsStore::get(app, Schema::TotalCPUs, QString()), QStringLiteral("3"));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(SettingsStore::get(QString::number(i), Schema::CPUName, QString()), QString(QChar(u'A' + i)));
        QCOMPARE(SettingsStore::get(QStringLiteral("A"), Schema::CPUPath, QString()), clientDir());
        QCOMPARE(SettingsStore::get(QStringLiteral("A"), Schema::WindowState, QString()), QStringLiteral("0"));
        QCOMPARE(SettingsStore::get(QStringLiteral("A"), Schema::AllowUpdates, QString()), QStringLiteral("True"));
        QCOMPARE(SettingsStore::getPlacement(QStringLiteral("A"), QRect()), placed);
        QCOMPARE(SettingsStore::get(QStringLiteral("B"), Schema::WindowState, QString()), QStringLiteral("1"));
        QCOMPARE(SettingsStore::get(QStringLiteral("B"), Schema::AllowUpdates, QString()), QStringLiteral("False"));
        QCOMPARE(SettingsStore::get(QStringLiteral("B"), Schema::Top, QString()), QStringLiteral("999"));
        QCOMPARE(SettingsStore::get(QStringLiteral("C"), Schema::PutOnDisplay, QString()), QStringLiteral("False"));
    }

    void defaultPlacement()
    {
        SimulatedClient sim(m_client->path(), options());
        QVERIFY(sim.start());
        frmSetiControl *w = newWindow(QStringLiteral("New"), m_client->path());
        QVERIFY(w->Load(nullptr));
        const QRect px = Framework::TwipsToPixels(QRect(105, 105, 4725, 1590), w);
        QCOMPARE(QRect(w->pos(), w->size()), px);
        QVERIFY(SettingsStore::save(Schema::AppSettings, Schema::DefaultSCWidth, QStringLiteral("6000")));
        frmSetiControl *w2 = newWindow(QStringLiteral("Newer"), m_client->path());
        QVERIFY(w2->Load(nullptr));
        QCOMPARE(w2->width(), Framework::TwipsToPixelsX(6000, w2));
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
        SimulatedClient sim(m_client->path(), options());
        QVERIFY(sim.start());
        QVERIFY(SettingsStore::save(Schema::AppSettings, Schema::DefaultAllowUpdates, QStringLiteral("0")));
        const QString settingsBefore = QString::fromLatin1([&] {
            QFile f(m_settings->configFile());
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }());
        bool boxesFromDefaults = false;
        const QString dir = m_client->path();
        frmCPUInfo::setScript([&](frmCPUInfo &dialog) {
            boxesFromDefaults = !control<QCheckBox>(&dialog, "Check1_0")->isChecked()
                && control<QCheckBox>(&dialog, "Check1_1")->isChecked();
            if (!answer) {
                control<QPushButton>(&dialog, "Command1_1")->click();
                return;
            }
            control<QLineEdit>(&dialog, "tbCPUName")->setText(QStringLiteral("Fresh"));
            control<QLineEdit>(&dialog, "tbSetiDir")->setText(dir);
            control<QPushButton>(&dialog, "Command1_0")->click();
        });

        QPointer<frmSetiControl> w = newWindow(QString(), QString());
        QCOMPARE(w->Load(nullptr), answer);
        QVERIFY(boxesFromDefaults);
        if (answer) {
            QCOMPARE(w->CPUName(), QStringLiteral("Fresh"));
            QCOMPARE(w->CPUPath(), clientDir());
            QVERIFY(w->AllowUpdates()); // the new CPU's own section decides, and it has none yet
            QVERIFY(w->isVisible());
            return;
        }
        QVERIFY(log().contains(QStringLiteral("Name or path not valid.\r\nName: \r\nPath:\r\n")));
        QVERIFY(w->isUnloaded());
        flushDeletes();
        QVERIFY(!w);
        QFile f(m_settings->configFile());
        QCOMPARE(QString::fromLatin1(f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray()), settingsBefore);
    }

    void closeBoxMinimises()
    {
        SimulatedClient sim(m_client->path(), options());
        QVERIFY(sim.start());
        QMdiArea area;
        area.resize(800, 600);
        area.show();
        frmSetiControl *w = newWindow(QStringLiteral("Mdi"), m_client->path());
        QVERIFY(w->Load(&area));
        auto *sub = qobject_cast<QMdiSubWindow *>(w->parentWidget());
        QVERIFY(sub);
        QCOMPARE(sub->windowTitle(), QStringLiteral("Mdi"));
        QVERIFY(!sub->close());
        QVERIFY(!w->isUnloaded());
        QCOMPARE(Framework::WindowStateCode(w), 1);
        QCOMPARE(area.subWindowList().size(), 1);

        QPointer<QMdiSubWindow> frame(sub);
        w->Unload();
        flushDeletes();
        QVERIFY(!frame);
        QVERIFY(area.subWindowList().isEmpty());
    }

    void mouse_data()
    {
        QTest::addColumn<QString>("target");
        for (const char *name : {"", "Label1", "Label2", "Label3", "Label5", "Label7", "lblPackage", "lblPackageDown",
                                 "lblPackageUp", "lblPath", "lblPercent", "lblTime", "picDownloading", "ProgressBar1"})
            QTest::newRow(*name ? name : "window") << QString::fromLatin1(name);
    }

    // The right button anywhere asks for the pop-up menu; a double click edits only from the
    // window's background.
    void mouse()
    {
        QFETCH(QString, target);
        frmSetiControl w(*m_totals);
        w.show();
        control<QWidget>(&w, "picDownloading")->show();
        QWidget *t = target.isEmpty() ? &w : w.findChild<QWidget *>(target);
        QVERIFY(t);
        const QPoint at = target.isEmpty() ? QPoint(2, 30) : QPoint(1, 1);
        if (target.isEmpty())
            QVERIFY(!w.childAt(at));
        QSignalSpy popup(&w, &frmSetiControl::popupMenuRequested);
        QSignalSpy edit(&w, &frmSetiControl::editRequested);
        QTest::mousePress(t, Qt::LeftButton, {}, at);
        QTest::mouseRelease(t, Qt::LeftButton, {}, at);
        QCOMPARE(popup.count(), 0);
        QTest::mousePress(t, Qt::RightButton, {}, at);
        QCOMPARE(popup.count(), 1);
        QCOMPARE(popup.first().first().toPoint(), t->mapToGlobal(at));
        QTest::mouseDClick(t, Qt::LeftButton, {}, at);
        QCOMPARE(edit.count(), target.isEmpty() ? 1 : 0);
    }

    // A window unloaded by something that runs while its update lets events through is not
    // touched again.
    void unloadedDuringItsOwnUpdate()
    {
        SimulatedClient sim(m_client->path(), options());
        QVERIFY(sim.start());
        QPointer<frmSetiControl> w = newWindow(QStringLiteral("Brief"), m_client->path());
        QVERIFY(w->Load(nullptr));
        const QString before = log();
        QTimer::singleShot(0, w, [w] { w->Unload(); });
        w->GetSetiStats();
        QVERIFY(QApplication::overrideCursor() == nullptr);
        flushDeletes();
        QVERIFY(!w);
        QCOMPARE(log(), before);
        QCOMPARE(SettingsStore::get(QStringLiteral("0"), Schema::CPUName, QString()), QStringLiteral("Brief"));
    }

    void updateDisplayNeedsNameAndPath()
    {
        frmSetiControl w(*m_totals);
        w.setCPUName(QStringLiteral("NoPath"));
        w.UpdateDisplay();
        QVERIFY(log().isEmpty());
        QCOMPARE(m_totals->currentSeconds(), 0.0);
    }
};

TAVRIK_TEST(CpuWindowTest)
#include "CpuWindowTest.moc"
