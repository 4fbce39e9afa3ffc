#include "common/TestSupport.h"
#include "core/Failure.h"
#include "monitor/AsyncClientReader.h"

#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// A "State.txt" that is a FIFO blocks open() for reading, like a share whose machine went away.
class AsyncClientReaderTest : public QObject
{
    Q_OBJECT

    // A writer that comes and goes lets a blocked open() of the FIFO return.
    static void releaseFifo(const QString &path)
    {
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }

private Q_SLOTS:
    void cleanup() { AsyncClientReader::setTimeLimit(AsyncClientReader::DefaultTimeLimitMs); }

    void readsLikeTheReader()
    {
        QTemporaryDir dir;
        QVERIFY(WriteTextFile(dir.filePath(QStringLiteral("State.txt")), "prog=0.5\ncpu=10\n"));
        QVERIFY(WriteTextFile(dir.filePath(QStringLiteral("User_Info.txt")), "nwus=3\n"));
        AsyncClientReader reader;
        const ClientSnapshot s = reader.read(dir.path() + u'/');
        QCOMPARE(s.state.error, 0);
        QCOMPARE(s.state.text, QStringLiteral("prog=0.5\ncpu=10\n"));
        QCOMPARE(s.user.text, QStringLiteral("nwus=3\n"));
        QVERIFY(!s.wtempExists());
        QVERIFY(!reader.isWaitingForLateAnswer());
    }

    void hungDirectoryIsUnreachableAndDoesNotFreeze()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("State.txt"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QVERIFY(WriteTextFile(dir.filePath(QStringLiteral("User_Info.txt")), "nwus=3\n"));
        AsyncClientReader::setTimeLimit(200);
        AsyncClientReader reader;

        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
        ticker.start(10);
        const ClientSnapshot s = reader.read(dir.path() + u'/');
        ticker.stop();
        QCOMPARE(s.state.error, int(Failure::PathNotFound));
        QVERIFY2(ticks > 0, "the event loop ran while the read hung");
        QVERIFY(reader.isWaitingForLateAnswer());

        // While the first read still hangs, another one gives up at once.
        ticks = 0;
        ticker.start(10);
        QCOMPARE(reader.read(dir.path() + u'/').state.error, int(Failure::PathNotFound));
        ticker.stop();
        QCOMPARE(ticks, 0);

        // The share comes back: the late answer is dropped and the next read is a real one.
        QTRY_VERIFY((releaseFifo(fifo), !reader.isWaitingForLateAnswer()));
        QVERIFY(QFile::remove(fifo));
        QVERIFY(WriteTextFile(fifo, "prog=0.25\n"));
        QCOMPARE(reader.read(dir.path() + u'/').state.text, QStringLiteral("prog=0.25\n"));
    }
};

TAVRIK_TEST(AsyncClientReaderTest)
#include "AsyncClientReaderTest.moc"
