#include "settings/SingleInstance.h"
#include "common/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

class SingleInstanceTest : public QObject
{
    Q_OBJECT

    IsolatedSettings m_settings; // nothing here may reach the user's settings

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

    // The lock file a copy of this program leaves when it is killed, naming a process that ended
    // or a PID that now belongs to another program.
    void leftoverLockDoesNotBlock()
    {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(0);
        ::waitpid(child, nullptr, 0);
        for (const qint64 pid : { qint64(child), qint64(::getppid()) }) {
            QTemporaryDir dir;
            QByteArray content;
            QString path;
            {
                SingleInstance killed(dir.path());
                QVERIFY(killed.tryAcquire());
                QFile f(path = killed.lockFilePath());
                QVERIFY(f.open(QIODevice::ReadOnly));
                content = f.readAll();
            }
            QVERIFY(WriteTextFile(path, QByteArray::number(pid) + content.mid(content.indexOf('\n'))));
            SingleInstance next(dir.path());
            QVERIFY(next.tryAcquire());
        }
    }
};

TAVRIK_TEST(SingleInstanceTest)
#include "SingleInstanceTest.moc"
