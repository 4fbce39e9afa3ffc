#include "display/frmDisplay.h"
#include "common/TestSupport.h"
#include "fleet/Fleet.h"
#include "settings/Conv.h"
#include "settings/Options.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/Framework.h"
#include "shared/Prompt.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

class frmDisplayTest : public QObject
{
    Q_OBJECT

    frmDisplay *load(bool enableTimer = true)
    {
        auto *d = new frmDisplay(m_options, [this] { return m_fleet->displayViews(); });
        m_owned << d;
        d->setEnableTimer(enableTimer);
        d->Load();
        return d;
    }
    void addCpu(const QString &name, bool put, const QString &percent)
    {
        Cpu *cpu = m_fleet->restore(name, QStringLiteral("/clients/") + name);
        cpu->putOnDisplay = put;
        cpu->view.percentText = percent;
    }
    static QAction *item(frmDisplay *d, const char *name) { return d->findChild<QAction *>(name); }
    static QLabel *label(frmDisplay *d, const char *name) { return d->findChild<QLabel *>(name); }
    static QTimer *timer(frmDisplay *d) { return d->findChild<QTimer *>(QStringLiteral("Timer1")); }
    static bool onTop(QWidget *w) { return w->windowFlags().testFlag(Qt::WindowStaysOnTopHint); }
    static void drag(QWidget *w, QPoint by)
    {
        QTest::mousePress(w, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(w, QPoint(5, 5) + by);
        QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(5, 5) + by);
    }

    std::unique_ptr<IsolatedSettings> m_settings;
    Options m_options;
    std::unique_ptr<Fleet> m_fleet;
    QList<QPointer<QWidget>> m_owned;

private Q_SLOTS:
    void init()
    {
        m_settings = std::make_unique<IsolatedSettings>();
        m_options.setValues(OptionValues());
        m_fleet = std::make_unique<Fleet>(m_options);
    }

    void cleanup()
    {
        for (const QPointer<QWidget> &w : std::as_const(m_owned))
            delete w.data();
        m_owned.clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (const QWidget *w : QApplication::topLevelWidgets())
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
        m_settings.reset();
    }

    void showsCPUWindowsMarkedForDisplay()
    {
        addCpu(QStringLiteral("Alpha"), true, QStringLiteral("12.5%"));
        addCpu(QStringLiteral("Beta"), false, QStringLiteral("40%"));
        addCpu(QStringLiteral("Gamma"), true, QStringLiteral("77%"));
        frmDisplay *d = load();

        QStringList shown;
        for (int i = 0; i < 4; ++i) {
            d->Timer1_Timer();
            shown << label(d, "lblCPUName")->text() + u' ' + label(d, "lblPercent")->text();
        }
        // The CPUs marked for the display, in their order, round and round; from the records, not
        // from any window's labels.
        QCOMPARE(shown, QStringList({ "Alpha 12.5%", "Gamma 77%", "Alpha 12.5%", "Gamma 77%" }));

        // Paused, Update Now still moves on by one.
        QVERIFY(timer(d)->isActive());
        m_options.setScrollInterval(30000);
        item(d, "mnuPopAllowUpdate")->trigger();
        QVERIFY(!timer(d)->isActive());
        item(d, "mnuPopRefresh")->trigger();
        QCOMPARE(label(d, "lblCPUName")->text(), QStringLiteral("Alpha"));
    }

    // The whole name and percentage show: the display grows from its stored width to hold them.
    void lineFits()
    {
        const QString name = QStringLiteral("lab-node-07.example.org (This Computer)");
        addCpu(name, true, QStringLiteral("33.2919114%"));
        frmDisplay *d = load();
        const int stored = Framework::TwipsToPixelsX(Schema::DisplayPlacement.width(), d);
        d->Timer1_Timer();
        QCOMPARE(label(d, "lblCPUName")->text(), name);
        QCOMPARE(label(d, "lblPercent")->text(), QStringLiteral("33.2919114%"));
        for (QLabel *l : { label(d, "lblPercent"), label(d, "lblCPUName") })
            QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->contentsRect().width(), qPrintable(l->text()));
        QVERIFY(d->width() > stored);
        QVERIFY(d->geometry().right() <= d->screen()->availableGeometry().right());
    }

    void menuAndMarks()
    {
        for (bool option : { true, false }) {
            m_options.setDisplayTopMost(option);
            frmDisplay *d = load(option);
            QVERIFY(!item(d, "mnuPopAllowSizing")->isChecked());
            const QList<bool> marks { item(d, "mnuPopOnTop")->isChecked(), onTop(d),
                item(d, "mnuPopAllowUpdate")->isChecked(), timer(d)->isActive() };
            QCOMPARE(marks, QList<bool>(4, option));
            // On Top from the menu lasts for this display only.
            item(d, "mnuPopOnTop")->trigger();
            QCOMPARE(onTop(d), !option);
            d->Unload();
            QCOMPARE(onTop(load()), option);
        }

        frmDisplay *d = load();
        auto *menu = d->findChild<QMenu *>(QStringLiteral("mnuPop"));
        for (QWidget *w : QList<QWidget *> { d, label(d, "lblPercent"), label(d, "lblCPUName") }) {
            QTest::mousePress(w, Qt::RightButton, {}, QPoint(1, 1));
            QVERIFY2(menu->isVisible(), qPrintable(w->objectName()));
            menu->close();
        }
        for (const auto &[key, mods] : { std::pair { Qt::Key_Menu, Qt::NoModifier }, { Qt::Key_F10, Qt::ShiftModifier },
                 { Qt::Key_F10, Qt::NoModifier } }) {
            QTest::keyClick(d, key, mods);
            QCOMPARE(menu->isVisible(), mods == Qt::ShiftModifier || key == Qt::Key_Menu);
            menu->close();
        }
        Prompt::SetNextText(QStringLiteral("7.5"));
        item(d, "mnuPopRefreshInterval")->trigger();
        QCOMPARE(m_options.scrollInterval(), qint16(8));
        QCOMPARE(Prompt::Asked(), QStringList { QStringLiteral("Scroll Update Interval...") });
    }

    void unloadQuestion_data()
    {
        QTest::addColumn<QString>("how"); // gesture and widget
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("unloaded");
        QTest::newRow("double-click window, No") << "dblclick window" << false << true << false;
        QTest::newRow("double-click name, Yes") << "dblclick lblCPUName" << true << true << true;
        QTest::newRow("click percentage, Yes") << "click lblPercent" << true << true << true;
        QTest::newRow("click percentage, No") << "click lblPercent" << false << true << false;
        QTest::newRow("click name asks nothing") << "click lblCPUName" << true << false << false;
        QTest::newRow("Close Display asks nothing") << "close" << true << false << true;
    }

    void unloadQuestion()
    {
        QFETCH(QString, how);
        QFETCH(bool, answer);
        QFETCH(bool, asked);
        QFETCH(bool, unloaded);
        QPointer<frmDisplay> d = load();
        QSignalSpy spy(d.data(), &frmDisplay::unloaded);
        Prompt::SetNextYesNo(answer);
        QWidget *target = how.endsWith(u"window") ? d.data() : d->findChild<QWidget *>(how.section(u' ', 1));
        const QPoint at = target == d ? QPoint(1, d->height() / 2) : QPoint();
        if (how == u"close")
            item(d, "mnuPopClose")->trigger();
        else if (how.startsWith(u"dblclick"))
            QTest::mouseDClick(target, Qt::LeftButton, {}, at);
        else
            QTest::mouseClick(target, Qt::LeftButton, {}, at);

        QCOMPARE(Prompt::Asked(), asked ? QStringList { QStringLiteral("Tavrik") } : QStringList());
        QCOMPARE(spy.count(), unloaded ? 1 : 0);
        QCOMPARE(Framework::LoadedWindows().contains(d.data()), !unloaded);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(d.isNull(), unloaded);
    }

    void placement_data()
    {
        QTest::addColumn<QStringList>("stored"); // Top, Left, Width, Height, Caption; "" = not stored
        QTest::addColumn<QRect>("expected"); // twips; null: anywhere on the primary screen
        QTest::newRow("first run") << QStringList(5, QString()) << QRect(300, 55, 2970, 255);
        QTest::newRow("Top below 0") << QStringList { "-300", "400", "3000", "255", "" } << QRect(400, 0, 3000, 255);
        QTest::newRow("too small") << QStringList { "150", "150", "1000", "100", "" } << QRect(150, 150, 2000, 255);
        QTest::newRow("not numbers") << QStringList { "abc", "1e3x", "", "wide", "" } << QRect(300, 55, 2970, 255);
        QTest::newRow("negative Left") << QStringList { "150", "-450", "3000", "255", "" } << QRect(0, 150, 3000, 255);
        QTest::newRow("caption") << QStringList { "150", "150", "3000", "555", "Mine" } << QRect(150, 150, 3000, 555);
        QTest::newRow("off every screen") << QStringList { "150000", "150000", "3000", "255", "" } << QRect();
    }

    void placement()
    {
        QFETCH(QStringList, stored);
        QFETCH(QRect, expected);
        const QStringList keys { Schema::Top, Schema::Left, Schema::Width, Schema::Height, Schema::Caption };
        for (int i = 0; i < keys.size(); ++i)
            if (!stored.at(i).isEmpty())
                SettingsStore::save(Schema::SDisplay, keys.at(i), stored.at(i));

        frmDisplay *d = load();
        const QRect actual(d->pos(), d->size());
        if (expected.isNull())
            QVERIFY(QGuiApplication::primaryScreen()->geometry().contains(actual));
        else
            QCOMPARE(actual, Framework::TwipsToPixels(expected, d));
        QCOMPARE(label(d, "titleStrip")->isVisible(), !stored.last().isEmpty());

        const QRect t = Framework::GeometryTwips(d);
        d->Unload();
        const QList<int> saved { t.top(), t.left(), t.width(), t.height() };
        for (int i = 0; i < saved.size(); ++i)
            QCOMPARE(SettingsStore::get(Schema::SDisplay, keys.at(i), QString()), Conv::SingleText(float(saved.at(i))));
    }

    void movingMode()
    {
        SettingsStore::save(Schema::SDisplay, Schema::Top, QStringLiteral("600"));
        frmDisplay *d = load();
        const int twoLines = Framework::TwipsToPixelsY(550, d);
        QLabel *strip = label(d, "titleStrip");
        const QPoint start = d->pos();
        drag(label(d, "lblCPUName"), QPoint(50, 20));
        QCOMPARE(d->pos(), start); // not while moving is off

        item(d, "mnuPopAllowSizing")->trigger();
        QCOMPARE(strip->isVisible() ? d->windowTitle() : QString(), QStringLiteral("Tavrik Display"));
        QCOMPARE(d->geometry(), QRect(start, QSize(d->width(), twoLines)));
        QVERIFY(strip->height() > 0);
        QCOMPARE(label(d, "lblPercent")->y(), strip->height()); // the text line sits below the title

        // The title and the labels drag the window; a dragged percentage is no click.
        Prompt::SetNextYesNo(true);
        drag(strip, QPoint(50, 20));
        drag(label(d, "lblPercent"), QPoint(-10, 30));
        QCOMPARE(d->pos(), start + QPoint(40, 50));
        QVERIFY(Prompt::Asked().isEmpty());
        Prompt::ClearScripted();

        // Off: one line high, 550 twips lower, but never above the top of the screen.
        d->move(d->x(), -2 * twoLines);
        item(d, "mnuPopAllowSizing")->trigger();
        QVERIFY(!strip->isVisible() && d->windowTitle().isEmpty());
        QCOMPARE(d->geometry(), QRect(d->x(), 0, d->width(), Framework::TwipsToPixelsY(255, d)));
        item(d, "mnuPopAllowSizing")->trigger();
        item(d, "mnuPopAllowSizing")->trigger();
        QCOMPARE(d->y(), twoLines);

        d->showMinimized(); // a minimised display keeps the stored place
        d->Unload();
        QCOMPARE(SettingsStore::get(Schema::SDisplay, Schema::Top, QString()), QStringLiteral("600"));
    }
};

TAVRIK_TEST(frmDisplayTest)
#include "frmDisplayTest.moc"
