#include "common/TestSupport.h"
#include "core/Failure.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>

class FailureTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What the program reports when it opens a client file in each situation.
    void failureCodeOfOpen_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<int>("code");
        QTest::newRow("missing file") << "State.txt" << int(Failure::FileNotFound);
        QTest::newRow("missing directory") << "gone/State.txt" << int(Failure::PathNotFound);
        QTest::newRow("file used as directory") << "plain/State.txt" << int(Failure::PathNotFound);
        QTest::newRow("name too long") << QString(300, u'n') << int(Failure::BadFileName);
    }
    void failureCodeOfOpen()
    {
        QFETCH(QString, relative);
        QFETCH(int, code);
        QTemporaryDir dir;
        QVERIFY(WriteTextFile(dir.filePath(QStringLiteral("plain")), "x"));
        const QString path = dir.filePath(relative);
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        const int err = errno;
        QCOMPARE(fd, -1);
        const bool dirExists = QFileInfo(QFileInfo(path).absolutePath()).isDir();
        QCOMPARE(Failure::FromErrno(err, dirExists), code);
        QVERIFY(!Failure::Description(code).isEmpty());
    }
};

TAVRIK_TEST(FailureTest)
#include "FailureTest.moc"
