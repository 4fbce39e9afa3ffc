#include "display/DisplayTicker.h"
#include "common/TestSupport.h"

#include <QTest>

// Windows as "cpu|put|percent|caption" (cpu 1: a CPU window); put is 1, 0 or ~ (no such member), percent ~ is
// unreadable.
static QList<WindowView> views(const QStringList &texts)
{
    QList<WindowView> out;
    for (const QString &t : texts) {
        const QStringList f = t.split(u'|');
        WindowView v { f.value(0) == u"1", {}, {}, f.value(3), f.value(4) };
        if (f.value(1) != u"~")
            v.putOnDisplay = f.value(1) == u"1";
        if (f.value(2) != u"~")
            v.percentText = f.value(2);
        out.append(v);
    }
    return out;
}

static const QStringList TwoOnOneOff { "0|~|~|Panel", "1|1|12.5%|Alpha", "1|0|40%|Beta", "1|1|77%|Gamma|stalled" };

class DisplayTickerTest : public QObject
{
    Q_OBJECT
    IsolatedSettings m_settings;

private Q_SLOTS:
    void changesOverTicks_data()
    {
        QTest::addColumn<QStringList>("windows");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("shown"); // the name after each tick, "-" when the tick changes nothing
        QTest::addColumn<QString>("percent"); // at the end

        QTest::newRow("every tick, never the one off display") << TwoOnOneOff << 0 << "Alpha Gamma Alpha"
                                                               << "12.5%";
        QTest::newRow("every sixth tick") << TwoOnOneOff << 5 << "- - - - - Alpha - - - - - Gamma"
                                          << "77%";
        const QStringList noneQualify { "0|1|1%|NoCpu", "1|0|2%|Off" };
        QTest::newRow("none qualifying") << noneQualify << 0 << "- - -"
                                         << "";
        QTest::newRow("missing members") << QStringList { "1|~|9%|NoFlag", "1|1|33%|Reads", "1|1|~|Fails" } << 0
                                         << "Reads Fails Reads"
                                         << "33%";
        // Far down a long list a CPU is still found.
        for (int at : { 499, 1200 }) {
            QStringList many(at + 1, QStringLiteral("0|~|~|Other"));
            many[at] = QStringLiteral("1|1|1%|Far");
            QTest::addRow("qualifier at %d", at) << many << 0 << "Far Far Far"
                                                 << "1%";
        }
    }

    void changesOverTicks()
    {
        QFETCH(QStringList, windows);
        QFETCH(int, interval);
        QFETCH(QString, shown);
        QFETCH(QString, percent);
        const QList<WindowView> list = views(windows);
        DisplayTicker ticker([&list] { return list; });
        QString name;
        for (const QString &expected : shown.split(u' ')) {
            const bool changed = ticker.Tick(qint16(interval));
            QCOMPARE(changed, expected != u"-");
            if (changed)
                name = expected;
            QCOMPARE(ticker.shownName(), name);
        }
        QCOMPARE(ticker.shownPercent(), percent);
    }

    void updateNowAndNestedTicks()
    {
        const QList<WindowView> list = views(TwoOnOneOff);
        DisplayTicker *self = nullptr;
        QList<bool> nested; // what ticks started from inside a running one returned
        DisplayTicker ticker([&] {
            if (nested.isEmpty()) {
                nested << self->isBusy() << self->Tick(0);
                self->RequestUpdateNow();
                nested << self->Tick(0);
            }
            return list;
        });
        self = &ticker;

        // Update Now changes at once and the count starts afresh.
        QVERIFY(!ticker.Tick(5));
        ticker.RequestUpdateNow();
        QVERIFY(ticker.Tick(5));
        // A plain tick inside the running one returns at once; Update Now runs all the same and
        // takes Alpha, so the outer search goes on to Gamma.
        QCOMPARE(nested, QList<bool>({ true, false, true }));
        QCOMPARE(ticker.shownName(), QStringLiteral("Gamma"));
        QCOMPARE(ticker.shownLine(), QStringLiteral("Gamma \u2013 stalled"));
        for (int i = 0; i < 5; ++i)
            QVERIFY(!ticker.Tick(5));
        QVERIFY(ticker.Tick(5));
        QCOMPARE(ticker.shownLine(), QStringLiteral("Alpha"));
        QVERIFY(!ticker.isBusy());
    }

    // The name and the dash stay whole; only the state words give way, at their end.
    void fitLine_data()
    {
        QTest::addColumn<int>("room");
        QTest::addColumn<QString>("line");
        QTest::newRow("room for all") << 40 << "This Computer – download late 8 min";
        QTest::newRow("words cut") << 26 << "This Computer – download…";
        QTest::newRow("no space before the dots") << 25 << "This Computer – download…";
        QTest::newRow("name alone") << 10 << "This Computer";
    }
    void fitLine()
    {
        QFETCH(int, room);
        QFETCH(QString, line);
        const QString fitted = DisplayTicker::FitLine(QStringLiteral("This Computer"),
            QStringLiteral("download late 8 min"), room, [](const QString &t) { return int(t.size()); });
        QCOMPARE(fitted, line);
        QVERIFY(fitted.size() <= room || fitted == QStringLiteral("This Computer"));
    }

    void intervalReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("expected"); // -1: unchanged
        const QList<std::pair<const char *, int>> rows { { "-1", 5 }, { "30001", 5 }, { "1e9", 5 }, { "30000", 30000 },
            { "0", 0 }, { "2.5", 2 }, { "3.5", 4 }, { " 12 sec", 12 }, { "abc", 0 }, { "", -1 }, { "   ", -1 } };
        for (const auto &[reply, expected] : rows)
            QTest::addRow("'%s'", reply) << QString::fromLatin1(reply) << expected;
    }

    void intervalReply()
    {
        QFETCH(QString, reply);
        QFETCH(int, expected);
        QCOMPARE(int(ScrollIntervalFromReply(reply).value_or(-1)), expected);
    }
};

TAVRIK_TEST(DisplayTickerTest)
#include "DisplayTickerTest.moc"
