#include "common/TestSupport.h"
#include "monitor/modDateTime.h"

#include <QRegularExpression>
#include <QTest>

class DurationTest : public QObject
{
    Q_OBJECT

    IsolatedSettings m_settings; // nothing here may reach the user's settings

private Q_SLOTS:
    void secondsToText_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        const std::pair<double, const char *> rows[] = { { 0, "." }, { -5, "." }, { 1, "1 second." },
            { 2, "2 seconds." }, { 59, "59 seconds." }, { 60, "1 minute." }, { 61, "1 minute, 1 second." },
            { 3600, "1 hour." }, { 3660, "1 hour, 1 minute." }, { 3661, "1 hour, 1 minute, 1 second." },
            { 86399, "23 hours, 59 minutes, 59 seconds." }, { 86400, "1 day." },
            { 90061, "1 day, 1 hour, 1 minute, 1 second." }, { 2635200, "1 month." }, { 31622400, "1 year." },
            { 31622401, "1 year, 1 second." }, { 63244800, "2 years." },
            { 12345.6, "3 hours, 25 minutes, 45 seconds." },
            { 31622400.0 + 2 * 2635200 + 86400 + 7200 + 61, "1 year, 2 months, 1 day, 2 hours, 1 minute, 1 second." },
            { 0.999, "." }, { -0.5, "." }, { -3661, "." }, { 59.9999, "59 seconds." }, { -1e300, "." },
            { -qInf(), "." }, { qQNaN(), "." }, { 6.8e16, "Number Of Seconds Is Too Large." },
            { 1e300, "Number Of Seconds Is Too Large." }, { qInf(), "Number Of Seconds Is Too Large." } };
        for (const auto &[seconds, text] : rows)
            QTest::addRow("%.10g", seconds) << seconds << QString::fromLatin1(text);
    }
    void secondsToText()
    {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(modDateTime::SecondsToText(seconds), text);
    }

    // Just below the limit the text is still a duration of more than two thousand million years.
    void largestDuration()
    {
        const QString text = modDateTime::SecondsToText(6.79e16);
        const auto match = QRegularExpression(QStringLiteral("^(\\d+) years(, \\d+ [a-z]+)*\\.$")).match(text);
        QVERIFY2(match.hasMatch(), qPrintable(text));
        QVERIFY(match.captured(1).toLongLong() > 2000000000LL);
    }
};

TAVRIK_TEST(DurationTest)
#include "DurationTest.moc"
