#include "common/TestSupport.h"
#include "dialogs/AboutContent.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmSplash.h"
#include "settings/Options.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/bksPublicWindows.h"

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
#include <tuple>

class AboutSplashTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<IsolatedSettings> m_settings;
    QStringList m_played; // file name of every sound played, in order, with " wait" when it blocks

private Q_SLOTS:
    void init()
    {
        m_settings = std::make_unique<IsolatedSettings>();
        m_played.clear();
        bksPublicModule::SetWavePlayer([this](const QString &path, bool wait, bool loop) {
            QVERIFY(!loop);
            m_played << QFileInfo(path).fileName() + (wait ? QStringLiteral(" wait") : QString());
        });
    }
    void cleanup()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_settings.reset();
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY2(!qobject_cast<frmAbout *>(w) && !qobject_cast<frmSplash *>(w), "a window was left behind");
    }

    void aboutClosing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("kabom"); // the closing sound
        QTest::newRow("Close") << "button" << true;
        QTest::newRow("Enter") << "enter" << true;
        QTest::newRow("timer") << "timer" << true;
        QTest::newRow("close box") << "closeBox" << false;
    }
    void aboutClosing()
    {
        QFETCH(QString, how);
        QFETCH(bool, kabom);
        frmAbout box;
        box.setEnableTimer(true);
        box.show();
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
        QVERIFY(!box.isVisible() && !timer->isActive());
        QCOMPARE(m_played, kabom ? QStringList { "Kabom.wav wait" } : QStringList());
    }

    void aboutSoundOrder()
    {
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
        QTest::mouseClick(logo, Qt::LeftButton);
        box.close();
        QCOMPARE(m_played, QStringList({ "32dohs.wav" }));
    }

    // The store's text to interval rule has its own table; here the splash window follows it.
    void splashTime_data()
    {
        QTest::addColumn<QString>("stored"); // empty: no such key
        QTest::addColumn<int>("shownMs"); // 0: no splash
        QTest::newRow("no key") << "" << 5000;
        QTest::newRow("59") << "59" << 59000;
        QTest::newRow("60") << "60" << 0;
    }
    void splashTime()
    {
        QFETCH(QString, stored);
        QFETCH(int, shownMs);
        if (!stored.isEmpty())
            SettingsStore::save(Schema::AppSettings, Schema::SplashTime, stored);
        QPointer<frmSplash> splash = new frmSplash;
        splash->setEnableTimer(true);
        splash->Load();
        QCOMPARE(splash->isVisible(), shownMs != 0);
        if (shownMs) {
            QVERIFY(splash->windowFlags() & Qt::WindowStaysOnTopHint);
            auto *timer = splash->findChild<QTimer *>(QStringLiteral("Timer1"));
            QVERIFY(timer->isActive());
            QCOMPARE(timer->interval(), shownMs);
            // The borrowed about box played nothing.
            QVERIFY(m_played.isEmpty());
            const QImage logo = splash->findChild<QLabel *>(QStringLiteral("Image1"))->pixmap().toImage();
            QCOMPARE(logo, AboutContent::Logo().toImage());
            QVERIFY(QMetaObject::invokeMethod(splash, "Timer1_Timer"));
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(splash.isNull());
    }
};

TAVRIK_TEST(AboutSplashTest)
#include "AboutSplashTest.moc"
