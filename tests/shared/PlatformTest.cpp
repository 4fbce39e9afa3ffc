#include "shared/Platform.h"
#include "common/TestSupport.h"

#include <QTest>

#include <csignal>

class PlatformTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The handler stays installed for the rest of this program, so it only counts.
    void terminationSignalReachesEventLoop()
    {
        static int calls = 0;
        Platform::InstallTerminationHandler([] { ++calls; });
        QCOMPARE(::raise(SIGTERM), 0);
        QCOMPARE(calls, 0); // not from inside the signal handler
        QTRY_COMPARE(calls, 1);
        ::raise(SIGINT);
        ::raise(SIGHUP);
        QTRY_VERIFY(calls >= 2);
    }
};

TAVRIK_TEST(PlatformTest)
#include "PlatformTest.moc"
