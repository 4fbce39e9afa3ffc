#include "common/TestSupport.h"
#include "core/Conv.h"
#include "core/Schema.h"
#include "core/SettingsStore.h"
#include "log/frmMessages.h"
#include "shared/Framework.h"

#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

#include <memory>

class frmMessagesTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<QMdiArea> m_area;

    QMdiArea *useArea()
    {
        m_area = std::make_unique<QMdiArea>();
        m_area->resize(900, 700);
        m_area->show();
        frmMessages::setMdiArea(m_area.get());
        return m_area.get();
    }
    static QString stored(const QString &key) { return SettingsStore::get(Schema::Message, key, QStringLiteral("-")); }
    static QString lines(std::initializer_list<QString> entries)
    {
        QString text;
        for (const QString &e : entries)
            text += e + QStringLiteral("\r\n");
        return text;
    }

private Q_SLOTS:
    void init() { m_settings = std::make_unique<IsolatedSettings>(); }
    void cleanup()
    {
        frmMessages::unloadInstance();
        frmMessages::setMdiArea(nullptr);
        m_area.reset();
        m_settings.reset();
        QVERIFY(!frmMessages::exists());
    }

    void appendsAtTheEnd_data()
    {
        QTest::addColumn<QStringList>("appended");
        QTest::addColumn<QString>("text");
        QTest::newRow("trimmed, in order") << QStringList {"  abc  ", "def"} << lines({"abc", "def"});
        QTest::newRow("blank makes an empty line") << QStringList {"", "   "} << lines({"", ""});
        QTest::newRow("leading break") << QStringList {"\r\nabc"} << lines({"", "abc"});
        QTest::newRow("tabs stay") << QStringList {"\tabc\t"} << lines({"\tabc\t"});
        QTest::newRow("lone LF and CR become CR LF") << QStringList {"a\nb\rc"} << lines({"a", "b", "c"});
    }
    void appendsAtTheEnd()
    {
        QFETCH(QStringList, appended);
        QFETCH(QString, text);
        for (const QString &m : appended)
            frmMessages::Append(m);
        QCOMPARE(frmMessages::instance()->Message(), text);
        // The caret follows the last entry, whatever the user did with it.
        auto *box = frmMessages::instance()->findChild<QPlainTextEdit *>(QStringLiteral("tbMessage"));
        box->moveCursor(QTextCursor::Start);
        frmMessages::Append(QStringLiteral("last"));
        QCOMPARE(frmMessages::instance()->Message(), text + lines({"last"}));
        QVERIFY(box->textCursor().atEnd());
    }

    void trimsBeforeAppending_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("after"); // the text once "x" has been appended
        const QString a24998(24998, u'a');
        QTest::newRow("exactly 25000 cuts nothing") << QStringList {a24998} << lines({a24998, "x"});
        QTest::newRow("25001 keeps the last 5000")
            << QStringList {QString(24999, u'a')} << lines({QString(4998, u'a'), "x"});
        QTest::newRow("cut inside an old entry")
            << QStringList {QString(21000, u'a'), QString(2000, u'b'), QString(2000, u'c')}
            << lines({QString(994, u'a'), QString(2000, u'b'), QString(2000, u'c'), "x"});
        // Cutting 20001 characters would split the first entry's CR LF: the whole break goes.
        QTest::newRow("cut inside a line break")
            << QStringList {QString(20000, u'b'), QString(4997, u'c')} << lines({QString(4997, u'c'), "x"});
        QTest::newRow("one big entry may pass the limit")
            << QStringList {QString(30000, u'z')} << lines({QString(4998, u'z'), "x"});
    }
    void trimsBeforeAppending()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, after);
        for (const QString &m : before)
            frmMessages::Append(m);
        frmMessages::Append(QStringLiteral("x"));
        QCOMPARE(frmMessages::instance()->Message().size(), after.size());
        QCOMPARE(frmMessages::instance()->Message(), after);
    }

    void firstAppendCreatesAndShows_data()
    {
        QTest::addColumn<bool>("inArea");
        QTest::newRow("child window") << true;
        QTest::newRow("top-level") << false;
    }
    void firstAppendCreatesAndShows()
    {
        QFETCH(bool, inArea);
        QMdiArea *area = inArea ? useArea() : nullptr;
        QVERIFY(!frmMessages::exists());
        frmMessages::Append(QStringLiteral("hello"));
        QVERIFY(frmMessages::exists());
        frmMessages *log = frmMessages::instance();
        QVERIFY(log->isLogVisible());
        QCOMPARE(log->windowTitle(), QStringLiteral("Messages"));
        QVERIFY(Framework::LoadedWindows().contains(log));
        QVERIFY(Framework::Tag(log).isEmpty());
        if (area)
            QCOMPARE(area->subWindowList(), QList<QMdiSubWindow *> {qobject_cast<QMdiSubWindow *>(log->parentWidget())});
        else
            QVERIFY(log->isWindow());
    }

    void closeBoxHidesAndKeepsText_data() { firstAppendCreatesAndShows_data(); }
    void closeBoxHidesAndKeepsText()
    {
        QFETCH(bool, inArea);
        if (inArea)
            useArea();
        frmMessages::Append(QStringLiteral("one"));
        frmMessages *log = frmMessages::instance();
        QSignalSpy closed(log, &frmMessages::closedByUser);
        QVERIFY(!Framework::FrameOf(log)->close());
        QCOMPARE(closed.count(), 1);
        QVERIFY(!log->isLogVisible());
        frmMessages::Append(QStringLiteral("two"));
        QCOMPARE(frmMessages::instance(), log);
        QVERIFY(!log->isLogVisible());
        log->setLogVisible(true);
        QVERIFY(log->isLogVisible());
        QCOMPARE(log->Message(), lines({"one", "two"}));
    }

    void reportsActivation()
    {
        QMdiArea *area = useArea();
        QMdiSubWindow *other = area->addSubWindow(new QWidget);
        other->show();
        frmMessages::Append(QStringLiteral("x"));
        frmMessages *log = frmMessages::instance();
        area->setActiveSubWindow(other);
        QSignalSpy activated(log, &frmMessages::activated);
        QSignalSpy deactivated(log, &frmMessages::deactivated);
        area->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(log->parentWidget()));
        QCOMPARE(activated.count(), 1);
        QCOMPARE(deactivated.count(), 0);
        area->setActiveSubWindow(other);
        QCOMPARE(activated.count(), 1);
        QCOMPARE(deactivated.count(), 1);
    }

    void savesAndRestoresByState_data()
    {
        QTest::addColumn<int>("state");
        QTest::newRow("normal") << 0;
        QTest::newRow("minimised") << 1;
        QTest::newRow("maximised") << 2;
    }
    void savesAndRestoresByState()
    {
        QFETCH(int, state);
        useArea();
        for (const QString &key : {Schema::Top, Schema::Left, Schema::Width, Schema::Height})
            SettingsStore::save(Schema::Message, key, QStringLiteral("777"));
        frmMessages::Append(QStringLiteral("x"));
        const QRect set(300, 600, 6000, 3000);
        Framework::SetGeometryTwips(frmMessages::instance(), set);
        Framework::SetWindowStateCode(frmMessages::instance(), state);
        const QRect shown = Framework::GeometryTwips(frmMessages::instance());
        frmMessages::unloadInstance();

        QCOMPARE(stored(Schema::WindowState), QString::number(state));
        const QRect expected = state == 1 ? QRect(777, 777, 777, 777) : shown;
        QCOMPARE(stored(Schema::Top), Conv::SingleText(expected.top()));
        QCOMPARE(stored(Schema::Left), Conv::SingleText(expected.left()));
        QCOMPARE(stored(Schema::Width), Conv::SingleText(expected.width()));
        QCOMPARE(stored(Schema::Height), Conv::SingleText(expected.height()));
        if (state == 0)
            QCOMPARE(shown, set);
        if (state == 2)
            QVERIFY(shown.width() > set.width());

        frmMessages::Append(QStringLiteral("after restart"));
        QCOMPARE(Framework::WindowStateCode(frmMessages::instance()), state);
        QCOMPARE(frmMessages::instance()->Message(), lines({"after restart"}));
        if (state == 0)
            QCOMPARE(Framework::GeometryTwips(frmMessages::instance()), set);
    }

    void unreadableStoredValuesFallBack_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QRect>("placement");
        QTest::newRow("Top") << Schema::Top << QRect(300, 105, 6000, 3000);
        QTest::newRow("Width") << Schema::Width << QRect(300, 600, 4470, 3000);
        QTest::newRow("WindowState") << Schema::WindowState << QRect(300, 600, 6000, 3000);
    }
    void unreadableStoredValuesFallBack()
    {
        QFETCH(QString, key);
        QFETCH(QRect, placement);
        useArea();
        SettingsStore::savePlacement(Schema::Message, QRect(300, 600, 6000, 3000));
        SettingsStore::save(Schema::Message, key, QStringLiteral("abc"));
        frmMessages::Append(QStringLiteral("x"));
        QCOMPARE(Framework::WindowStateCode(frmMessages::instance()), 0);
        QCOMPARE(Framework::GeometryTwips(frmMessages::instance()), placement);
    }

    void keepsMinimumSizeAndMargin_data() { firstAppendCreatesAndShows_data(); }
    void keepsMinimumSizeAndMargin()
    {
        QFETCH(bool, inArea);
        if (inArea)
            useArea();
        frmMessages *log = frmMessages::instance();
        Framework::FrameOf(log)->resize(20, 20);
        const QRect twips = Framework::GeometryTwips(log);
        QVERIFY2(twips.width() >= 3045 - 15 && twips.height() >= 1485 - 15, qPrintable(QStringLiteral("%1 x %2").arg(twips.width()).arg(twips.height())));
        Framework::FrameOf(log)->resize(700, 500);
        const QRect box = log->findChild<QPlainTextEdit *>(QStringLiteral("tbMessage"))->geometry();
        const int margin = Framework::TwipsToPixelsX(20, log);
        QCOMPARE(box, log->rect().adjusted(margin, margin, -margin, -margin));
    }

    void failedSettingsWritesGoToTheLog()
    {
        // A directory where the settings file should be makes every write fail.
        QVERIFY(QDir().mkpath(m_settings->configFile()));
        QVERIFY(!SettingsStore::save(Schema::AppSettings, Schema::CPUs, QString()));
        QVERIFY(!frmMessages::exists());
        frmMessages::Append(QStringLiteral("log open"));
        QVERIFY(!SettingsStore::save(Schema::AppSettings, Schema::CPUs, QString()));
        const QString text = frmMessages::instance()->Message();
        QVERIFY2(text.startsWith(QStringLiteral("log open\r\nSettings could not be saved")), qPrintable(text));
        frmMessages::unloadInstance();
        QVERIFY(!SettingsStore::save(Schema::AppSettings, Schema::CPUs, QString()));
        QVERIFY(!frmMessages::exists());
    }

    void movesIntoTheAreaWhenGivenOne()
    {
        frmMessages::Append(QStringLiteral("early"));
        QVERIFY(frmMessages::instance()->isWindow());
        QMdiArea *area = useArea();
        frmMessages *log = frmMessages::instance();
        QCOMPARE(area->subWindowList().size(), 1);
        QCOMPARE(area->subWindowList().constFirst()->widget(), log);
        QVERIFY(log->isLogVisible());
        QCOMPARE(log->Message(), lines({"early"}));
    }
};

TAVRIK_TEST(frmMessagesTest)
#include "frmMessagesTest.moc"
