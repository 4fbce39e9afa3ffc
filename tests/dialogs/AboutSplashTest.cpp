#include "common/TestSupport.h"
#include "core/Schema.h"
#include "core/SettingsStore.h"
#include "core/modTavrik.h"
#include "dialogs/AboutContent.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmSplash.h"
#include "shared/bksPublicModule.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <memory>

namespace {

void deletePending()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class AboutSplashTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_settings = std::make_unique<IsolatedSettings>();
        m_played.clear();
        // File name and wait flag of every sound played, in order ("Drat.wav" / "Kabom.wav wait").
        bksPublicModule::SetWavePlayer([this](const QString &path, bool wait, bool loop) {
            QVERIFY(!loop);
            m_played << QFileInfo(path).fileName() + (wait ? QStringLiteral(" wait") : QString());
        });
    }
    void cleanup()
    {
        deletePending();
        m_settings.reset();
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY2(!qobject_cast<frmAbout *>(w) && !qobject_cast<frmSplash *>(w), "a window was left behind");
    }

    void aboutForcesSoundsOnWhileOpen_data();
    void aboutForcesSoundsOnWhileOpen();
    void aboutSoundOrder();
    void splashTime_data();
    void splashTime();
    void programFolderHoldsTheMedia_data();
    void programFolderHoldsTheMedia();
    void compiledPictures();

private:
    std::unique_ptr<IsolatedSettings> m_settings;
    QStringList m_played;
};

void AboutSplashTest::aboutForcesSoundsOnWhileOpen_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("soundsOn");
    QTest::addColumn<QStringList>("closingSounds");

    const QStringList kabom { QStringLiteral("Kabom.wav wait") };
    QTest::newRow("Close, sounds off") << "button" << false << kabom;
    QTest::newRow("Enter, sounds off") << "enter" << false << kabom;
    QTest::newRow("timer, sounds off") << "timer" << false << kabom;
    QTest::newRow("close box, sounds off") << "closeBox" << false << QStringList();
    QTest::newRow("close box, sounds on") << "closeBox" << true << QStringList();
}

void AboutSplashTest::aboutForcesSoundsOnWhileOpen()
{
    QFETCH(QString, how);
    QFETCH(bool, soundsOn);
    QFETCH(QStringList, closingSounds);

    modTavrik::SoundsOn = soundsOn;
    frmAbout box;
    box.setEnableTimer(true);
    box.show();
    QVERIFY(modTavrik::SoundsOn);
    auto *timer = box.findChild<QTimer *>(QStringLiteral("Timer1"));
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 60000);
    m_played.clear();

    if (how == u"button")
        box.findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    else if (how == u"enter")
        QTest::keyClick(&box, Qt::Key_Return);
    else if (how == u"timer")
        QVERIFY(QMetaObject::invokeMethod(&box, "Timer1_Timer"));
    else
        box.close();

    QVERIFY(!box.isVisible());
    QCOMPARE(m_played, closingSounds);
    QCOMPARE(modTavrik::SoundsOn, soundsOn);
    QVERIFY(!timer->isActive());
}

void AboutSplashTest::aboutSoundOrder()
{
    modTavrik::SoundsOn = false;
    frmAbout box; // without EnableTimer
    box.show();
    QVERIFY(!box.findChild<QTimer *>(QStringLiteral("Timer1"))->isActive());
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&box, &activate);
    QTest::keyClick(&box, Qt::Key_Escape); // no cancel button
    QVERIFY(box.isVisible());
    auto *logo = box.findChild<QLabel *>(QStringLiteral("Image1"));
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(logo, Qt::LeftButton);
    auto *close = box.findChild<QPushButton *>(QStringLiteral("Command1"));
    close->click();
    QVERIFY(!close->isEnabled());
    QCOMPARE(m_played, QStringList({ "Drat.wav", "Smart.wav", "32dohs.wav", "Smart.wav", "Kabom.wav wait" }));

    // Shown again, the box keeps its click toggle but loads afresh.
    m_played.clear();
    box.show();
    QVERIFY(close->isEnabled());
    QVERIFY(modTavrik::SoundsOn);
    QTest::mouseClick(logo, Qt::LeftButton);
    box.close();
    QCOMPARE(m_played, QStringList({ "32dohs.wav" }));
    QCOMPARE(modTavrik::SoundsOn, false);
}

void AboutSplashTest::splashTime_data()
{
    QTest::addColumn<QString>("stored"); // "<none>": no such key
    QTest::addColumn<int>("shownMs"); // 0: no splash

    QTest::newRow("no key") << "<none>" << 5000;
    QTest::newRow("1") << "1" << 1000;
    QTest::newRow("59") << "59" << 59000;
    QTest::newRow("60") << "60" << 0;
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("-3") << "-3" << 0;
    QTest::newRow("text counts as the default") << "abc" << 5000;
}

void AboutSplashTest::splashTime()
{
    QFETCH(QString, stored);
    QFETCH(int, shownMs);
    if (stored != u"<none>")
        SettingsStore::save(Schema::AppSettings, Schema::SplashTime, stored);
    modTavrik::SoundsOn = false;

    QPointer<frmSplash> splash = new frmSplash;
    splash->setEnableTimer(true);
    splash->Load();
    if (shownMs == 0) {
        QVERIFY(!splash->isVisible());
        deletePending();
        QVERIFY(splash.isNull());
        return;
    }
    QVERIFY(splash->isVisible());
    QVERIFY(splash->windowFlags() & Qt::WindowStaysOnTopHint);
    auto *timer = splash->findChild<QTimer *>(QStringLiteral("Timer1"));
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), shownMs);
    // The borrowed about box played nothing and left the sounds setting alone.
    QVERIFY(m_played.isEmpty());
    QCOMPARE(modTavrik::SoundsOn, false);
    const QImage logo = splash->findChild<QLabel *>(QStringLiteral("Image1"))->pixmap().toImage();
    QCOMPARE(logo, AboutContent::Logo().toImage());

    QVERIFY(QMetaObject::invokeMethod(splash, "Timer1_Timer"));
    deletePending();
    QVERIFY(splash.isNull());
}

void AboutSplashTest::programFolderHoldsTheMedia_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<double>("minSeconds");
    QTest::addColumn<double>("maxSeconds");

    QTest::newRow("alarm") << "log.wav" << 0.8 << 1.2;
    QTest::newRow("Drat") << "Drat.wav" << 0.2 << 2.0;
    QTest::newRow("Kabom") << "Kabom.wav" << 1.0 << 1.5;
    QTest::newRow("Smart") << "Smart.wav" << 0.2 << 2.0;
    QTest::newRow("32dohs") << "32dohs.wav" << 0.2 << 2.0;
}

// Every sound the program looks up is a 16-bit mono PCM wave at 22050 Hz of about its length.
void AboutSplashTest::programFolderHoldsTheMedia()
{
    QFETCH(QString, file);
    QFETCH(double, minSeconds);
    QFETCH(double, maxSeconds);

    QFile f(modTavrik::ProgramFolder() + file);
    QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
    const QByteArray wave = f.readAll();
    // "fmt " chunk: PCM, 1 channel, 22050 Hz, 44100 bytes/s, 2-byte frames, 16 bits
    QCOMPARE(wave.mid(8, 28).toHex(), QByteArray("57415645666d742010000000010001002256000044ac000002001000"));
    QCOMPARE(qint64(qFromLittleEndian<quint32>(wave.constData() + 40)) + 44, wave.size());
    const double seconds = (wave.size() - 44) / 2.0 / 22050.0;
    QVERIFY2(seconds >= minSeconds && seconds <= maxSeconds, qPrintable(QString::number(seconds)));
}

void AboutSplashTest::compiledPictures()
{
    QCOMPARE(AboutContent::Logo().size(), QSize(200, 143));
    QCOMPARE(QIcon(QStringLiteral(":/media/tavrik.png")).availableSizes(), QList<QSize>({ QSize(256, 256) }));
    QVERIFY(QFileInfo::exists(modTavrik::ProgramFolder() + QStringLiteral("ReadMe.htm")));
}

TAVRIK_TEST(AboutSplashTest)
#include "AboutSplashTest.moc"
