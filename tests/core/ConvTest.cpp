#include "settings/Conv.h"
#include "common/TestSupport.h"

#include <QTest>

#include <climits>

namespace {
constexpr int Fails = INT_MIN;
}

class ConvTest : public QObject
{
    Q_OBJECT

    IsolatedSettings m_settings; // nothing here may reach the user's settings

private Q_SLOTS:
    void toInt16_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        const std::pair<const char *, int> rows[] = { { "30", 30 }, { " \t42\r ", 42 }, { "2.5", 2 }, { "3.5", 4 },
            { "-2.5", -2 }, { "1.5e3", 1500 }, { "32767", 32767 }, { "-32768.5", -32768 }, { "32767.5", Fails },
            { "40000", Fails }, { "-32769", Fails }, { "1e999", Fails }, { "abc", Fails }, { "12abc", Fails },
            { "1,5", Fails }, { "", Fails }, { "-", Fails }, { "inf", Fails } };
        for (const auto &[text, value] : rows)
            QTest::newRow(text) << QString::fromLatin1(text) << value;
        QTest::newRow("non-ASCII digit") << QString(QChar(0x0663)) << Fails;
    }
    void toInt16()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(Conv::ToInt16(text) ? int(*Conv::ToInt16(text)) : Fails, value);
    }

    void toBool_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        const std::pair<const char *, int> rows[] = { { "True", 1 }, { "tRuE", 1 }, { " FALSE ", 0 }, { "-1", 1 },
            { "0", 0 }, { "7", 1 }, { "0.4", 1 }, { "0.0", 0 }, { "yes", Fails }, { "", Fails } };
        for (const auto &[text, value] : rows)
            QTest::newRow(text) << QString::fromLatin1(text) << value;
    }
    void toBool()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(Conv::ToBool(text) ? int(*Conv::ToBool(text)) : Fails, value);
    }

    void val()
    {
        const std::pair<const char *, double> rows[]
            = { { "12abc", 12 }, { "   3.5 units", 3.5 }, { "abc", 0 }, { "", 0 }, { "-4x", -4 }, { ".5", 0.5 },
                  { "1e3x", 1000 }, { "2e", 2 }, { "1e-400", 0 }, { "1.5e999", qInf() }, { "-1e999", -qInf() } };
        for (const auto &[text, value] : rows)
            QCOMPARE(Conv::Val(QString::fromLatin1(text)), value);
    }
};

TAVRIK_TEST(ConvTest)
#include "ConvTest.moc"
