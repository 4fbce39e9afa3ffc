#include "common/TestSupport.h"
#include "log/frmMessages.h"

#include <QTest>

// The entry format and the size rule, without a window.
class MessageLogTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void entry_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("entry");
        QTest::newRow("spaces around") << "  abc  " << "abc\r\n";
        QTest::newRow("empty") << "" << "\r\n";
        QTest::newRow("only spaces") << "     " << "\r\n";
        QTest::newRow("leading line break kept") << "\r\nabc" << "\r\nabc\r\n";
        QTest::newRow("tabs are content") << "\tabc\t" << "\tabc\t\r\n";
        QTest::newRow("inner spaces kept") << " a  b " << "a  b\r\n";
    }
    void entry()
    {
        QFETCH(QString, message);
        QFETCH(QString, entry);
        QCOMPARE(MessageLog::Entry(message), entry);
    }

    void charsToCut_data()
    {
        QTest::addColumn<qsizetype>("length");
        QTest::addColumn<qsizetype>("cut");
        QTest::newRow("empty") << qsizetype(0) << qsizetype(0);
        QTest::newRow("below the keep size") << qsizetype(4999) << qsizetype(0);
        QTest::newRow("exactly at the limit") << qsizetype(25000) << qsizetype(0);
        QTest::newRow("one past the limit") << qsizetype(25001) << qsizetype(20001);
        QTest::newRow("far past the limit") << qsizetype(80000) << qsizetype(75000);
    }
    void charsToCut()
    {
        QFETCH(qsizetype, length);
        QFETCH(qsizetype, cut);
        QCOMPARE(MessageLog::CharsToCut(length), cut);
    }
};

TAVRIK_TEST(MessageLogTest)
#include "MessageLogTest.moc"
