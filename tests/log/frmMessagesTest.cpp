#include "log/frmMessages.h"
#include "common/TestSupport.h"
#include "log/SessionLog.h"
#include "settings/Conv.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/Framework.h"
#include "shared/Prompt.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class frmMessagesTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<QMdiArea> m_area;

    static QString lines(const QStringList &entries) { return entries.join(QStringLiteral("\r\n")) + "\r\n"; }
    static frmMessages *log() { return frmMessages::instance(); }

    QMdiArea *useArea()
    {
        m_area = std::make_unique<QMdiArea>();
        m_area->resize(900, 700);
        m_area->show();
        frmMessages::setMdiArea(m_area.get());
        return m_area.get();
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

    // Entries written while the panel's area does not paint (its windows being made) do not keep
    // the log from painting once the area does again.
    void paintsAfterQuietArea()
    {
        QMdiArea *area = useArea();
        log()->setLogVisible(true);
        area->viewport()->setUpdatesEnabled(false);
        frmMessages::Append(QStringLiteral("Starting Update of Den"));
        area->viewport()->setUpdatesEnabled(true);
        QVERIFY(log()->findChild<QPlainTextEdit *>(QStringLiteral("tbMessage"))->viewport()->updatesEnabled());
    }

    void appends_data()
    {
        QTest::addColumn<QStringList>("appended");
        QTest::addColumn<QString>("text");
        const QString a(24998, u'a');
        QTest::newRow("trimmed, in order") << QStringList { "  abc  ", "def" } << lines({ "abc", "def" });
        QTest::newRow("blank: empty line") << QStringList { "", "   " } << lines({ "", "" });
        QTest::newRow("leading break, tabs") << QStringList { "\r\n\tabc\t" } << lines({ "", "\tabc\t" });
        QTest::newRow("lone LF, CR") << QStringList { "a\nb\rc" } << lines({ "a", "b", "c" });
        QTest::newRow("25000: no cut") << QStringList { a } << lines({ a });
        QTest::newRow("25001: last 5000") << QStringList { a + "a" } << lines({ QString(4998, u'a') });
        QTest::newRow("cut inside an entry") << QStringList { QString(21000, u'a'), QString(2000, u'b'),
            QString(2000, u'c') } << lines({ QString(994, u'a'), QString(2000, u'b'), QString(2000, u'c') });
        // 20001 characters would split a CR LF: the whole break goes.
        QTest::newRow("cut inside a break")
            << QStringList { QString(20000, u'b'), QString(4997, u'c') } << lines({ QString(4997, u'c') });
        QTest::newRow("big entry passes the limit")
            << QStringList { QString(30000, u'z') } << lines({ QString(4998, u'z') });
        QTest::newRow("cut twice, the second inside a break")
            << QStringList { QString(26000, u'a'), QStringLiteral("c\rd"), QString(16000, u'e'), QString(4997, u'f') }
            << lines({ QString(4997, u'f') });
    }
    void appends()
    {
        QFETCH(QStringList, appended);
        QFETCH(QString, text);
        for (const QString &m : appended)
            frmMessages::Append(m);
        // Appends go to the end wherever the user left the caret.
        auto *box = log()->findChild<QPlainTextEdit *>(QStringLiteral("tbMessage"));
        box->moveCursor(QTextCursor::Start);
        frmMessages::Append(QStringLiteral("x"));
        QCOMPARE(log()->Message(), text + lines({ "x" }));
        QVERIFY(box->textCursor().atEnd());

        // The same entries appended as one batch (a CPU's lines), or as the first entry and a
        // batch of the rest (cutting into the text already there), leave the same text.
        const QStringList all = appended + QStringList { QStringLiteral("x") };
        for (qsizetype split : { qsizetype(0), qsizetype(1) }) {
            frmMessages::unloadInstance();
            if (split > 0)
                frmMessages::Append(all.first(split));
            frmMessages::Append(all.mid(split));
            QCOMPARE(log()->Message(), text + lines({ "x" }));
        }
    }

    void createdShownAndHidden_data()
    {
        QTest::addColumn<bool>("inArea");
        QTest::newRow("child window") << true;
        QTest::newRow("top-level") << false;
    }
    void createdShownAndHidden()
    {
        QFETCH(bool, inArea);
        QMdiArea *area = inArea ? useArea() : nullptr;
        frmMessages::Append(QStringLiteral("one"));
        frmMessages *first = log();
        QVERIFY(first->isLogVisible());
        QCOMPARE(first->windowTitle(), QStringLiteral("Messages"));
        QVERIFY(Framework::LoadedWindows().contains(first) && Framework::Tag(first).isEmpty());
        QCOMPARE(area ? static_cast<QWidget *>(area->subWindowList().value(0)) : first, Framework::FrameOf(first));

        QSignalSpy closed(first, &frmMessages::closedByUser);
        QVERIFY(!Framework::FrameOf(first)->close());
        QCOMPARE(closed.count(), 1);
        frmMessages::Append(QStringLiteral("two"));
        QCOMPARE(log(), first);
        QVERIFY(!first->isLogVisible());
        first->setLogVisible(true);
        QVERIFY(first->isLogVisible());
        QCOMPARE(first->Message(), lines({ "one", "two" }));
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
        SettingsStore::savePlacement(Schema::Message, QRect(777, 777, 7770, 7770));
        const QRect set(300, 600, 6000, 3000);
        Framework::SetGeometryTwips(log(), set);
        Framework::SetWindowStateCode(log(), state);
        const QRect shown = Framework::GeometryTwips(log());
        frmMessages::unloadInstance();

        QCOMPARE(SettingsStore::get(Schema::Message, Schema::WindowState, {}), QString::number(state));
        const QRect saved = SettingsStore::getPlacement(Schema::Message, QRect());
        QCOMPARE(saved, state == 1 ? QRect(777, 777, 7770, 7770) : shown);
        QCOMPARE(SettingsStore::get(Schema::Message, Schema::Width, {}), Conv::SingleText(saved.width()));
        if (state == 2)
            QVERIFY(shown.width() > set.width());
        QCOMPARE(Framework::WindowStateCode(log()), state);
        if (state == 0)
            QCOMPARE(Framework::GeometryTwips(log()), set);
    }

    // An unreadable Top falls back to its default alone; an unreadable state means normal.
    void unreadableStoredValuesFallBack()
    {
        useArea();
        SettingsStore::savePlacement(Schema::Message, QRect(300, 600, 6000, 3000));
        SettingsStore::save(Schema::Message, Schema::WindowState, QStringLiteral("abc"));
        SettingsStore::save(Schema::Message, Schema::Top, QStringLiteral("abc"));
        QCOMPARE(Framework::WindowStateCode(log()), 0);
        QCOMPARE(Framework::GeometryTwips(log()), QRect(300, 105, 6000, 3000));
    }

    void failedSettingsWritesGoToTheLog()
    {
        // Reported once the log is open, naming the key; a closed log is not opened for it.
        // A directory in place of the settings file makes every write fail.
        QVERIFY(QDir().mkpath(m_settings->configFile()));
        QVERIFY(!SettingsStore::save(Schema::AppSettings, Schema::CPUs, QString()));
        QVERIFY(!frmMessages::exists());
        frmMessages::Append(QStringLiteral("open"));
        QVERIFY(!SettingsStore::save(Schema::AppSettings, Schema::CPUs, QString()));
        const QString logged = log()->Message();
        QVERIFY2(logged.startsWith("open\r\nSettings could not be saved") && logged.count("saved") == 1
                && logged.contains(Schema::CPUs),
            qPrintable(logged));
        frmMessages::unloadInstance();
        QVERIFY(!SettingsStore::save(Schema::AppSettings, Schema::CPUs, QString()));
        QVERIFY(!frmMessages::exists());
    }

    // The session's whole log survives the text box's cut; errors only shows the failures of the
    // whole session; the find bar opens on its key, finds round the end and highlights.
    void keptSearchedAndFiltered()
    {
        QTemporaryDir dir;
        SessionLog session(dir.path());
        frmMessages::setSessionLog(&session);
        useArea();
        auto failure = [](const char *text, LogKind kind = LogKind::Failure, int code = 76) {
            frmMessages::Append(LogEntries { { QLatin1String(text), kind, 7, QStringLiteral("Den"), code, {} } });
        };
        failure("Path not found - Possible reasons include: computer may be");
        for (int i = 0; i < 600; ++i)
            frmMessages::Append(
                { QStringLiteral("Starting Update of Den %1").arg(i), QStringLiteral("Alarm time is 5") });
        failure("Failed to download new work unit in time given.", LogKind::Alarm);
        QVERIFY(!log()->Message().contains("Path not found"));

        auto *box = log()->findChild<QPlainTextEdit *>(QStringLiteral("tbMessage"));
        auto *errors = log()->findChild<QPlainTextEdit *>(QStringLiteral("tbErrors"));
        log()->findChild<QAction *>(QStringLiteral("mnuLogErrorsOnly"))->trigger();
        QVERIFY(errors->isVisibleTo(log()) && !box->isVisibleTo(log()));
        const QStringList shown = errors->toPlainText().split(u'\n');
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown.at(0).endsWith(" Den: Path not found - Possible reasons include: computer may be"));
        QVERIFY(shown.at(1).endsWith(" Den: Failed to download new work unit in time given."));
        // A failure the words do not give away still shows; a progress text that sounds like one
        // does not.
        failure("Something new went wrong.", LogKind::Failure, 13);
        frmMessages::Append(QStringLiteral("Downloading not started, says the progress."));
        QCOMPARE(errors->toPlainText().count(u'\n'), 2);
        failure("Path not found again", LogKind::Failure, 13); // the same failure again: counted
        QVERIFY(errors->toPlainText().section(u'\n', 2).contains(QLatin1String(", 2 times Den: Something new")));
        log()->setErrorsOnly(false);
        QVERIFY(box->isVisibleTo(log()) && !errors->isVisibleTo(log()));

        m_area->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_area.get()));
        box->setFocus();
        QTest::keyClick(box, Qt::Key_F, Qt::ControlModifier);
        auto *find = log()->findChild<QLineEdit *>(QStringLiteral("tbFind"));
        QVERIFY(find->isVisibleTo(log()) && find->hasFocus());
        QVERIFY(box->geometry().bottom() < find->mapTo(log(), QPoint(0, 0)).y());
        QTest::keyClicks(find, QStringLiteral("den 59"));
        QCOMPARE(box->textCursor().selectedText(), QStringLiteral("Den 59"));
        const int first = box->textCursor().selectionStart();
        QCOMPARE(box->extraSelections().size(), 10); // Den 590 … Den 599 are still in the box
        QTest::keyClick(find, Qt::Key_Return);
        QVERIFY(box->textCursor().selectionStart() > first);
        QTest::keyClick(find, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(box->textCursor().selectionStart(), first);
        // However narrow the log, every control of the find bar keeps its readable width.
        for (int width : { 260, 900 }) {
            Framework::FrameOf(log())->resize(width, 300);
            const QWidget *bar = log()->findChild<QWidget *>(QStringLiteral("frameFind"));
            for (const char *name : { "lblFind", "tbFind", "cmdFindPrevious", "cmdFindNext", "cmdErrorsOnly",
                     "lblFindStatus", "cmdFindClose" }) {
                const auto *w = bar->findChild<QWidget *>(QLatin1String(name));
                QVERIFY2(w->width() >= w->minimumSizeHint().width(), name);
                QVERIFY2(bar->rect().contains(QRect(w->mapTo(bar, QPoint()), w->size())), name);
            }
        }
        QTest::keyClick(find, Qt::Key_Escape);
        QVERIFY(!find->isVisibleTo(log()) && box->extraSelections().isEmpty());
        QVERIFY(!log()->findText(QStringLiteral("no such text")));

        const QString saved = dir.filePath(QStringLiteral("saved.log"));
        Prompt::SetNextText(saved);
        QTest::keyClick(box, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier); // on every platform
        QTRY_VERIFY(log()->Message().contains("The session's log was saved to"));
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QCOMPARE(text.count("Starting Update of Den "), 600);
        QVERIFY(text.contains(" Path not found - Possible") && text.endsWith(" Path not found again\n"));
        frmMessages::setSessionLog(nullptr);
    }
};

TAVRIK_TEST(frmMessagesTest)
#include "frmMessagesTest.moc"
