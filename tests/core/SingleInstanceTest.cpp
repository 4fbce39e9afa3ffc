#include "settings/SingleInstance.h"
#include "common/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/wait.h>
#include <unistd.h>
#else
#include <QCoreApplication>
#include <QProcess>
#endif

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
#ifdef Q_OS_UNIX
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(0);
        ::waitpid(child, nullptr, 0);
        const QList<qint64> pids { qint64(child), qint64(::getppid()) };
#else
        QProcess ended; // a copy of this program that has ended
        ended.start(QCoreApplication::applicationFilePath(), { QStringLiteral("--child"), QStringLiteral("none") });
        QVERIFY(ended.waitForStarted());
        const QList<qint64> pids { ended.processId() };
        QVERIFY(ended.waitForFinished());
#endif
        for (const qint64 pid : pids) {
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
