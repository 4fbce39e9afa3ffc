#include "common/TestSupport.h"
#include "core/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// A PID that belonged to a process which has ended and been reaped.
qint64 deadPid()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

} // namespace

class SingleInstanceTest : public QObject
{
    Q_OBJECT

    // Leaves behind the lock file a copy of this program would leave, naming another PID.
    static void leaveLockFile(const QString &dir, qint64 pid)
    {
        QByteArray content;
        {
            SingleInstance real(dir);
            QVERIFY(real.tryAcquire());
            QFile f(real.lockFilePath());
            QVERIFY(f.open(QIODevice::ReadOnly));
            content = f.readAll();
        }
        content = QByteArray::number(pid) + content.mid(content.indexOf('\n'));
        QVERIFY(WriteTextFile(QDir(dir).filePath(QStringLiteral("tavrik.lock")), content));
    }

private Q_SLOTS:
    void secondCopyIsRefused()
    {
        QTemporaryDir dir;
        auto first = std::make_unique<SingleInstance>(dir.path());
        QVERIFY(first->tryAcquire());
        SingleInstance second(dir.path());
        QVERIFY(!second.tryAcquire());
        first.reset();
        QVERIFY(second.tryAcquire());
    }

    void leftoverLockDoesNotBlock_data()
    {
        QTest::addColumn<qint64>("pid");
        QTest::newRow("process gone") << deadPid();
        QTest::newRow("PID now another program's") << qint64(::getppid());
    }
    void leftoverLockDoesNotBlock()
    {
        QFETCH(qint64, pid);
        QTemporaryDir dir;
        leaveLockFile(dir.path(), pid);
        QVERIFY(QFile::exists(QDir(dir.path()).filePath(QStringLiteral("tavrik.lock"))));
        SingleInstance next(dir.path());
        QVERIFY(next.tryAcquire());
    }
};

TAVRIK_TEST(SingleInstanceTest)
#include "SingleInstanceTest.moc"
