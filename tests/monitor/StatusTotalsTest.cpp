#include "common/TestSupport.h"
#include "monitor/StatusTotals.h"
#include "monitor/modDateTime.h"

#include <QSignalSpy>
#include <QTest>

class StatusTotalsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A CPU read twice in one cycle counts once; a new cycle starts the sum afresh but the shown
    // text stays until the first CPU of that cycle reports.
    void currentTime()
    {
        StatusTotals totals;
        QSignalSpy changed(&totals, &StatusTotals::changed);
        int a = 0, b = 0;
        QCOMPARE(totals.currentTimeText(), QStringLiteral("0"));
        totals.setContribution(&a, 100);
        totals.setContribution(&b, 50);
        QCOMPARE(totals.currentSeconds(), 150.0);
        QCOMPARE(totals.currentTimeText(), modDateTime::SecondsToText(150));
        totals.setContribution(&a, 10); // Refresh Me Only
        QCOMPARE(totals.currentSeconds(), 60.0);
        QCOMPARE(changed.count(), 3);
        totals.setContribution(&a, 10.2); // same text: no signal
        QCOMPARE(changed.count(), 3);

        totals.resetCurrent();
        QCOMPARE(totals.currentSeconds(), 0.0);
        QCOMPARE(totals.currentTimeText(), modDateTime::SecondsToText(60.2));
        totals.setContribution(&b, 5);
        QCOMPARE(totals.currentTimeText(), QStringLiteral("5 seconds."));
    }

    void accountTexts()
    {
        StatusTotals totals;
        QSignalSpy changed(&totals, &StatusTotals::changed);
        totals.setDownloaded(QStringLiteral("12"));
        totals.setDownloaded(QStringLiteral("12"));
        totals.setUploaded(QStringLiteral("11"));
        totals.setTotalTimeText(QStringLiteral("1 day."));
        QCOMPARE(changed.count(), 3);
        QCOMPARE(totals.downloaded(), QStringLiteral("12"));
        QCOMPARE(totals.uploaded(), QStringLiteral("11"));
        QCOMPARE(totals.totalTimeText(), QStringLiteral("1 day."));
    }

    void leads_data()
    {
        QTest::addColumn<QString>("shownDown");
        QTest::addColumn<QString>("shownUp");
        QTest::addColumn<QString>("down");
        QTest::addColumn<QString>("up");
        QTest::addColumn<bool>("leads");
        QTest::newRow("start") << "0" << "0" << "1" << "0" << true;
        QTest::newRow("equal") << "10" << "9" << "10" << "9" << false;
        QTest::newRow("behind") << "10" << "9" << "9" << "8" << false;
        QTest::newRow("more results") << "10" << "9" << "10" << "10" << true;
        QTest::newRow("either count") << "10" << "9" << "11" << "3" << true;
        QTest::newRow("leading numbers") << " 10 units" << "9" << "10.5x" << "" << true;
        QTest::newRow("no numbers") << "abc" << "" << "0" << "-1" << false;
    }

    void leads()
    {
        QFETCH(QString, shownDown);
        QFETCH(QString, shownUp);
        QFETCH(QString, down);
        QFETCH(QString, up);
        QTEST(StatusTotals::Leads(shownDown, shownUp, down, up), "leads");
    }
};

TAVRIK_TEST(StatusTotalsTest)
#include "StatusTotalsTest.moc"
