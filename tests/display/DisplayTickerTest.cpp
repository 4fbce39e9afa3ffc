#include "common/TestSupport.h"
#include "display/DisplayTicker.h"

#include <QTest>

namespace {

// "tag|put|percent|caption": put is 1, 0 or ~ (no such member); percent ~ means unreadable.
WindowView parseView(const QString &text)
{
    const QStringList f = text.split(u'|');
    WindowView v;
    v.tag = f.value(0);
    if (f.value(1) != u"~")
        v.putOnDisplay = f.value(1) == u"1";
    if (f.value(2) != u"~")
        v.percentText = f.value(2);
    v.caption = f.value(3);
    return v;
}

QList<WindowView> parseViews(const QStringList &texts)
{
    QList<WindowView> views;
    for (const QString &t : texts)
        views.append(parseView(t));
    return views;
}

// The usual loaded windows: the main window and the log carry no tag.
const QStringList TwoOnOneOff = {"|~|~|Tavrik Panel", "-1|1|12.5%|Alpha", "|~|~|Messages", "-1|0|40%|Beta",
                                 "-1|1|77%|Gamma"};

} // namespace

class DisplayTickerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_settings = std::make_unique<IsolatedSettings>(); }
    void cleanup() { m_settings.reset(); }

    void changesOverTicks_data();
    void changesOverTicks();
    void updateNow();
    void nestedTicks();
    void intervalReply_data();
    void intervalReply();

private:
    std::unique_ptr<IsolatedSettings> m_settings;
};

void DisplayTickerTest::changesOverTicks_data()
{
    QTest::addColumn<QStringList>("windows");
    QTest::addColumn<int>("interval");
    // One entry per tick: the name shown after it, or "" when that tick changes nothing.
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("lastPercent");

    QTest::newRow("alternates, never the one off display")
        << TwoOnOneOff << 0 << QStringList{"Alpha", "Gamma", "Alpha", "Gamma", "Alpha"} << "12.5%";
    QTest::newRow("default interval changes every sixth tick")
        << TwoOnOneOff << 5 << QStringList{"", "", "", "", "", "Alpha", "", "", "", "", "", "Gamma"} << "77%";
    QTest::newRow("interval 1 changes every second tick")
        << TwoOnOneOff << 1 << QStringList{"", "Alpha", "", "Gamma", "", "Alpha"} << "12.5%";
    QTest::newRow("negative interval changes every tick")
        << TwoOnOneOff << -3 << QStringList{"Alpha", "Gamma"} << "77%";
    QTest::newRow("none qualifying leaves the texts")
        << QStringList{"|1|~|Tavrik Panel", "-1|0|5%|Beta", "0|1|6%|Zero", "1|1|7%|PositiveTag"} << 0
        << QStringList{"", "", ""} << "";
    QTest::newRow("empty window list") << QStringList{} << 0 << QStringList{"", ""} << "";
    QTest::newRow("leading number of the tag decides")
        << QStringList{"-0.5|1|1%|Half", "-1abc|1|2%|Text", "-2|1|3%|Minus2", " -1 |1|4%|Blanks"} << 0
        << QStringList{"Text", "Minus2", "Blanks", "Text"} << "2%";
    QTest::newRow("window without PutOnDisplay is passed over")
        << QStringList{"-1|~|9%|NoMember", "-1|1|10%|Cpu"} << 0 << QStringList{"Cpu", "Cpu"} << "10%";
    QTest::newRow("unreadable percentage keeps the old one")
        << QStringList{"-1|1|33%|Reads", "-1|1|~|Fails"} << 0 << QStringList{"Reads", "Fails", "Reads"} << "33%";
    QTest::newRow("single CPU shown again at every change")
        << QStringList{"|~|~|Main", "-1|1|50%|Only"} << 0 << QStringList{"Only", "Only", "Only"} << "50%";

    // The search shows nothing from position 500 on; a search that starts there finds nothing
    // and the next one starts again at 0.
    for (int at : {499, 500}) {
        QStringList many(501, QStringLiteral("|~|~|Other"));
        many[at] = QStringLiteral("-1|1|1%|Far");
        QTest::addRow("qualifier at position %d", at)
            << many << 0 << (at < 500 ? QStringList{"Far", "", "Far"} : QStringList{"", "", ""})
            << (at < 500 ? "1%" : "");
    }
}

void DisplayTickerTest::changesOverTicks()
{
    QFETCH(QStringList, windows);
    QFETCH(int, interval);
    QFETCH(QStringList, shown);
    QFETCH(QString, lastPercent);

    const QList<WindowView> views = parseViews(windows);
    DisplayTicker ticker([&views] { return views; });
    QString expectedName;
    for (int i = 0; i < shown.size(); ++i) {
        const bool changed = ticker.Tick(qint16(interval));
        QCOMPARE(changed, !shown.at(i).isEmpty());
        if (changed)
            expectedName = shown.at(i);
        QCOMPARE(ticker.shownName(), expectedName);
        QVERIFY(!ticker.isBusy());
        QVERIFY(ticker.scanPosition() >= 0 && ticker.scanPosition() <= qMax<int>(0, views.size() - 1));
    }
    QCOMPARE(ticker.shownPercent(), lastPercent);
}

void DisplayTickerTest::updateNow()
{
    const QList<WindowView> views = parseViews(TwoOnOneOff);
    int reads = 0;
    DisplayTicker ticker([&] {
        ++reads;
        return views;
    });

    // Quiet ticks between changes never look at the windows.
    for (int i = 0; i < 3; ++i)
        QVERIFY(!ticker.Tick(5));
    QCOMPARE(reads, 0);

    // Update Now changes at once and starts the count afresh.
    ticker.RequestUpdateNow();
    QVERIFY(ticker.Tick(5));
    QCOMPARE(ticker.shownName(), QStringLiteral("Alpha"));
    QCOMPARE(ticker.tickCount(), qint16(0));
    QVERIFY(!ticker.updateNowPending());
    for (int i = 0; i < 5; ++i)
        QVERIFY(!ticker.Tick(5));
    QVERIFY(ticker.Tick(5));
    QCOMPARE(ticker.shownName(), QStringLiteral("Gamma"));
    QCOMPARE(reads, 2);

    // With a huge interval only Update Now moves on, one CPU per request.
    ticker.RequestUpdateNow();
    QVERIFY(ticker.Tick(30000));
    QCOMPARE(ticker.shownName(), QStringLiteral("Alpha"));
    ticker.RequestUpdateNow();
    QVERIFY(ticker.Tick(30000));
    QCOMPARE(ticker.shownName(), QStringLiteral("Gamma"));
}

void DisplayTickerTest::nestedTicks()
{
    const QList<WindowView> views = parseViews(TwoOnOneOff);
    DisplayTicker *self = nullptr;
    bool nestedPlain = true;
    bool nestedUpdateNow = false;
    bool busyInside = false;
    int depth = 0;
    DisplayTicker ticker([&] {
        if (depth++ == 0) {
            busyInside = self->isBusy();
            nestedPlain = self->Tick(0); // an ordinary tick inside a running one leaves at once
            self->RequestUpdateNow();
            nestedUpdateNow = self->Tick(0); // Update Now runs all the same
        }
        return views;
    });
    self = &ticker;

    QVERIFY(ticker.Tick(0));
    QVERIFY(busyInside);
    QVERIFY(!nestedPlain);
    QVERIFY(nestedUpdateNow);
    QCOMPARE(depth, 2);
    // The inner change took Alpha; the outer search went on from there.
    QCOMPARE(ticker.shownName(), QStringLiteral("Gamma"));
    QVERIFY(!ticker.isBusy());
}

void DisplayTickerTest::intervalReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<int>("expected"); // -1: the interval stays as it was

    QTest::newRow("negative") << "-1" << 5;
    QTest::newRow("above the top") << "30001" << 5;
    QTest::newRow("far above the top") << "1e9" << 5;
    QTest::newRow("the top stays") << "30000" << 30000;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("half goes down to even") << "2.5" << 2;
    QTest::newRow("half goes up to even") << "3.5" << 4;
    QTest::newRow("fraction rounds") << "7.6" << 8;
    QTest::newRow("leading number with text") << " 12 seconds" << 12;
    QTest::newRow("not a number") << "abc" << 0;
    QTest::newRow("tab only is not blank") << "\t" << 0;
    QTest::newRow("empty reply or Cancel") << "" << -1;
    QTest::newRow("spaces only") << "   " << -1;
}

void DisplayTickerTest::intervalReply()
{
    QFETCH(QString, reply);
    QFETCH(int, expected);

    const std::optional<qint16> v = ScrollIntervalFromReply(reply);
    if (expected < 0) {
        QVERIFY(!v.has_value());
    } else {
        QVERIFY(v.has_value());
        QCOMPARE(int(*v), expected);
    }
}

TAVRIK_TEST(DisplayTickerTest)
#include "DisplayTickerTest.moc"
