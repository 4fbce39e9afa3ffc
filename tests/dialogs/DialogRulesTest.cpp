#include "common/TestSupport.h"
#include "dialogs/DialogRules.h"

#include <QDir>
#include <QTest>

using namespace DialogRules;

class DialogRulesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void intervalRules_data();
    void intervalRules();
    void soundBrowseStart_data();
    void soundBrowseStart();
    void splashInterval_data();
    void splashInterval();
};

void DialogRulesTest::intervalRules_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("afterFocusOut");
    QTest::addColumn<int>("storedOnClose"); // with 77 as the previous value

    QTest::newRow("half down to even") << "12.5" << "12.5" << 12;
    QTest::newRow("half up to even") << "13.5" << "13.5" << 14;
    QTest::newRow("empty keeps previous") << "" << "" << 77;
    QTest::newRow("trailing letters keep previous") << "12abc" << "12abc" << 77;
    QTest::newRow("huge exponent") << "9e999" << "5" << 5;
    QTest::newRow("negative") << "-1" << "5" << 5;
    QTest::newRow("small negative fraction") << "-0.4" << "5" << 5;
    QTest::newRow("just above") << "30001" << "5" << 5;
    QTest::newRow("largest") << "30000" << "30000" << 30000;
    QTest::newRow("zero") << "0" << "0" << 0;
    QTest::newRow("exponent above range") << "1e5" << "5" << 5;
    QTest::newRow("five digits, Enter without leaving") << "99999" << "5" << 5;
    QTest::newRow("leading blanks") << "  45" << "  45" << 45;
}

void DialogRulesTest::intervalRules()
{
    QFETCH(QString, typed);
    QFETCH(QString, afterFocusOut);
    QFETCH(int, storedOnClose);
    QCOMPARE(RangeChecked(typed), afterFocusOut);
    QCOMPARE(int(IntervalOnClose(typed, 77)), storedOnClose);
    // Leaving the box first must not change what Close stores.
    QCOMPARE(int(IntervalOnClose(RangeChecked(typed), 77)), storedOnClose);
}

void DialogRulesTest::soundBrowseStart_data()
{
    QTest::addColumn<QString>("boxText"); // "~" is a fresh folder holding "sounds" and "program"
    QTest::addColumn<bool>("fallbackExists");
    QTest::addColumn<QString>("expectedPath"); // "" when the picker is not opened

    QTest::newRow("blank box: program folder, any wave") << "  " << true << "~/program/*.wav";
    QTest::newRow("file in existing folder") << " ~/sounds/ding.wav " << true << "~/sounds/ding.wav";
    QTest::newRow("folder only, no dot") << "~/sounds" << true << "~/sounds/*.wav";
    QTest::newRow("missing folder falls back") << "~/sounds/gone/ding.wav" << true << "~/fallback/ding.wav";
    QTest::newRow("missing folder, no fallback") << "~/sounds/gone/ding.wav" << false << "";
    QTest::newRow("bare file name uses fallback") << "ding.wav" << true << "~/fallback/ding.wav";
}

void DialogRulesTest::soundBrowseStart()
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

void DialogRulesTest::splashInterval_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("interval");

    QTest::newRow("default text") << "5" << 5000;
    QTest::newRow("one second") << "1" << 1000;
    QTest::newRow("longest") << "59" << 59000;
    QTest::newRow("a minute is off") << "60" << 0;
    QTest::newRow("zero is off") << "0" << 0;
    QTest::newRow("negative is off") << "-3" << 0;
    QTest::newRow("half rounds to even, up") << "1.5" << 2000;
    QTest::newRow("rounds up to a minute") << "59.5" << 0;
    QTest::newRow("text counts as default") << "abc" << 5000;
    QTest::newRow("huge is off") << "1e9" << 0;
}

void DialogRulesTest::splashInterval()
{
    QFETCH(QString, stored);
    QFETCH(int, interval);
    QCOMPARE(SplashIntervalMs(stored), interval);
}

TAVRIK_TEST(DialogRulesTest)
#include "DialogRulesTest.moc"
