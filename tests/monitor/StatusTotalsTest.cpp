#include "common/TestSupport.h"
#include "monitor/StatusTotals.h"
#include "monitor/modDateTime.h"

#include <QSignalSpy>
#include <QTest>

class StatusTotalsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A CPU read twice in one cycle counts once; a new cycle starts the sum afresh, and the shown
    // text stays until the first CPU of that cycle reports.
    void currentTime()
    {
        StatusTotals totals;
        QSignalSpy changed(&totals, &StatusTotals::changed);
        int a = 0, b = 0;
        totals.setContribution(&a, 100);
        totals.setContribution(&b, 50);
        QCOMPARE(totals.currentTimeText(), modDateTime::SecondsToText(150));
        totals.setContribution(&a, 10); // Refresh Me Only
        QCOMPARE(totals.currentSeconds(), 60.0);
        totals.setContribution(&a, 10.2); // the same text: no signal
        QCOMPARE(changed.count(), 3);
        totals.resetCurrent();
        QCOMPARE(totals.currentSeconds(), 0.0);
        QCOMPARE(totals.currentTimeText(), modDateTime::SecondsToText(60));
        totals.setContribution(&b, 5);
        QCOMPARE(totals.currentTimeText(), QStringLiteral("5 seconds."));
    }

    void accountFigures()
    {
        StatusTotals totals;
        QSignalSpy changed(&totals, &StatusTotals::changed);
        totals.setDownloaded(QStringLiteral("12 units"));
        totals.setDownloaded(QStringLiteral("12 units"));
        totals.setUploaded(QStringLiteral("11"));
        QCOMPARE(changed.count(), 2);
        QCOMPARE(totals.downloadedCount(), 12.0);
        QCOMPARE(totals.uploadedCount(), 11.0);
        QVERIFY(!StatusTotals::Leads(totals.downloaded(), totals.uploaded(), QStringLiteral("12"), QStringLiteral("9")));
        QVERIFY(StatusTotals::Leads(totals.downloaded(), totals.uploaded(), QStringLiteral("3"), QStringLiteral("12")));
    }
};

TAVRIK_TEST(StatusTotalsTest)
#include "StatusTotalsTest.moc"
