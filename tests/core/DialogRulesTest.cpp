#include "dialogs/DialogRules.h"
#include "common/TestSupport.h"

#include <QDir>
#include <QTest>

#include <tuple>

using namespace DialogRules;

class DialogRulesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void intervalRules_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("afterFocusOut");
        QTest::addColumn<int>("storedOnClose"); // with 77 as the previous value
        const std::tuple<const char *, const char *, int> rows[] = { { "12.5", "12.5", 12 }, { "13.5", "13.5", 14 },
            { "", "", 77 }, { "12abc", "12abc", 77 }, { "9e999", "5", 5 }, { "-1", "5", 5 }, { "-0.4", "5", 5 },
            { "30001", "5", 5 }, { "30000", "30000", 30000 }, { "0", "0", 0 }, { "1e5", "5", 5 }, { "99999", "5", 5 },
            { "  45", "  45", 45 } };
        for (const auto &[typed, after, stored] : rows)
            QTest::addRow("'%s'", typed) << QString::fromLatin1(typed) << QString::fromLatin1(after) << stored;
    }
    void intervalRules()
    {
        QFETCH(QString, typed);
        QFETCH(int, storedOnClose);
        QTEST(RangeChecked(typed), "afterFocusOut");
        QCOMPARE(int(IntervalOnClose(typed, 77)), storedOnClose);
        // Leaving the box first must not change what Close stores.
        QCOMPARE(int(IntervalOnClose(RangeChecked(typed), 77)), storedOnClose);
    }

    void soundBrowseStart_data()
    {
        QTest::addColumn<QString>("boxText"); // "~" is a fresh folder holding "sounds" and "program"
        QTest::addColumn<bool>("fallbackExists");
        QTest::addColumn<QString>("expectedPath"); // "" when the picker is not opened
        QTest::newRow("blank box: program folder") << "  " << true << "~/program/*.wav";
        QTest::newRow("file in existing folder") << " ~/sounds/ding.wav " << true << "~/sounds/ding.wav";
        QTest::newRow("folder only, no dot") << "~/sounds" << true << "~/sounds/*.wav";
        QTest::newRow("missing folder falls back") << "~/sounds/gone/ding.wav" << true << "~/fallback/ding.wav";
        QTest::newRow("missing folder, no fallback") << "~/sounds/gone/ding.wav" << false << "";
        QTest::newRow("bare file name uses fallback") << "ding.wav" << true << "~/fallback/ding.wav";
    }
    void soundBrowseStart()
    {
        QFETCH(QString, boxText);
        QFETCH(bool, fallbackExists);
        QFETCH(QString, expectedPath);
        QTemporaryDir tmp;
        const QDir root(tmp.path());
        if (root.path().contains(u'.'))
            QSKIP("a dot in the temporary folder makes its last part count as a file name");
        QVERIFY(root.mkpath("sounds") && root.mkpath("program") && (!fallbackExists || root.mkpath("fallback")));
        auto expand = [&root](QString s) { return QDir::toNativeSeparators(s.replace(u'~', root.path())); };
        const auto start = SoundBrowseStartFor(expand(boxText), expand("~/program"), expand("~/fallback/"));
        QCOMPARE(start ? start->initialPath() : QString(), expand(expectedPath));
    }

    void splashInterval()
    {
        const std::pair<const char *, int> rows[] = { { "5", 5000 }, { "1", 1000 }, { "59", 59000 }, { "60", 0 },
            { "0", 0 }, { "-3", 0 }, { "1.5", 2000 }, { "59.5", 0 }, { "abc", 5000 }, { "1e9", 0 } };
        for (const auto &[stored, interval] : rows)
            QCOMPARE(SplashIntervalMs(QString::fromLatin1(stored)), interval);
    }
};

TAVRIK_TEST(DialogRulesTest)
#include "DialogRulesTest.moc"
