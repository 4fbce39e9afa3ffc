#include "core/SingleInstance.h"
#include "common/TestSupport.h"
#include "core/Failure.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
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

    // Opening a client file in each situation gives the code the log explains.
    void failureCodeOfOpen()
    {
        QTemporaryDir dir;
        QVERIFY(WriteTextFile(dir.filePath(QStringLiteral("plain")), "x"));
        const std::pair<QString, int> cases[]
            = { { "State.txt", Failure::FileNotFound }, { "gone/State.txt", Failure::PathNotFound },
                  { "plain/State.txt", Failure::PathNotFound }, { QString(300, u'n'), Failure::BadFileName } };
        for (const auto &[relative, code] : cases) {
            const QString path = dir.filePath(relative);
            QCOMPARE(::open(QFile::encodeName(path).constData(), O_RDONLY), -1);
            const int err = errno;
            QCOMPARE(Failure::FromErrno(err, QFileInfo(QFileInfo(path).absolutePath()).isDir()), code);
            QVERIFY(!Failure::Description(code).isEmpty());
        }
    }
};

TAVRIK_TEST(SingleInstanceTest)
#include "SingleInstanceTest.moc"
