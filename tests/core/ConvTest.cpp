#include "common/TestSupport.h"
#include "core/Conv.h"

#include <QTest>

#include <cmath>

class ConvTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void toInt16_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("converts");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "30" << true << 30;
        QTest::newRow("blanks, tab and CR around") << " \t42\r " << true << 42;
        QTest::newRow("half rounds to even, down") << "2.5" << true << 2;
        QTest::newRow("half rounds to even, up") << "3.5" << true << 4;
        QTest::newRow("negative half") << "-2.5" << true << -2;
        QTest::newRow("exponent") << "1.5e3" << true << 1500;
        QTest::newRow("top of range") << "32767" << true << 32767;
        QTest::newRow("bottom half rounds into range") << "-32768.5" << true << -32768;
        QTest::newRow("top half rounds out of range") << "32767.5" << false << 0;
        QTest::newRow("above range") << "40000" << false << 0;
        QTest::newRow("below range") << "-32769" << false << 0;
        QTest::newRow("huge") << "1e999" << false << 0;
        QTest::newRow("letters") << "abc" << false << 0;
        QTest::newRow("trailing letters") << "12abc" << false << 0;
        QTest::newRow("comma decimal") << "1,5" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("sign only") << "-" << false << 0;
        QTest::newRow("inf word") << "inf" << false << 0;
        QTest::newRow("non-ASCII digit") << QString(QChar(0x0663)) << false << 0;
    }
    void toInt16()
    {
        QFETCH(QString, text);
        QFETCH(bool, converts);
        QFETCH(int, value);
        const auto v = Conv::ToInt16(text);
        QCOMPARE(v.has_value(), converts);
        if (converts)
            QCOMPARE(int(*v), value);
    }

    void toBool_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // -1: does not convert
        QTest::newRow("True") << "True" << 1;
        QTest::newRow("any case") << "tRuE" << 1;
        QTest::newRow("FALSE") << "FALSE" << 0;
        QTest::newRow("padded") << " false " << 0;
        QTest::newRow("-1") << "-1" << 1;
        QTest::newRow("0") << "0" << 0;
        QTest::newRow("other number") << "7" << 1;
        QTest::newRow("fraction is non-zero") << "0.4" << 1;
        QTest::newRow("zero with fraction") << "0.0" << 0;
        QTest::newRow("yes") << "yes" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void toBool()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const auto v = Conv::ToBool(text);
        QCOMPARE(v.has_value(), expected >= 0);
        if (v)
            QCOMPARE(int(*v), expected);
    }

    void val_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("leading number") << "12abc" << 12.0;
        QTest::newRow("blanks first") << "   3.5 units" << 3.5;
        QTest::newRow("no number") << "abc" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("negative") << "-4x" << -4.0;
        QTest::newRow("point first") << ".5" << 0.5;
        QTest::newRow("exponent") << "1e3x" << 1000.0;
        QTest::newRow("dangling exponent") << "2e" << 2.0;
        QTest::newRow("underflow") << "1e-400" << 0.0;
        QTest::newRow("overflow") << "1.5e999" << qInf();
        QTest::newRow("negative overflow") << "-1e999" << -qInf();
    }
    void val()
    {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QCOMPARE(Conv::Val(text), expected);
    }

    // Twips are stored as the text of a single and read back as a 32-bit integer.
    void twipsTextRoundTrip_data()
    {
        QTest::addColumn<int>("twips");
        for (int t : {0, 105, -300, 4725, 1234567, 9999999, -9999999})
            QTest::addRow("%d", t) << t;
    }
    void twipsTextRoundTrip()
    {
        QFETCH(int, twips);
        const QString text = Conv::SingleText(float(twips));
        QCOMPARE(Conv::ToInt32(text), std::optional<qint32>(twips));
        QVERIFY2(!text.contains(u','), qPrintable(text));
    }
};

TAVRIK_TEST(ConvTest)
#include "ConvTest.moc"
