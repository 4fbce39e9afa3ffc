#include "shared/Platform.h"
#include "common/TestSupport.h"

#include <QTest>

#include <csignal>

class PlatformTest : public QObject
{
    Q_OBJECT

    IsolatedSettings m_settings; // nothing here may reach the user's settings

private Q_SLOTS:
    // Handlers only count here; the default comes back at the end.
    void terminationSignalReachesEventLoop()
    {
#ifndef Q_OS_UNIX
        QSKIP("Console control events reach every process of the console, the test runner's too");
#else
        static int calls = 0;
        Platform::InstallTerminationHandler([] { ++calls; });
        QCOMPARE(::raise(SIGTERM), 0);
        QCOMPARE(calls, 0); // not from inside the signal handler
        QTRY_COMPARE(calls, 1);
        ::raise(SIGINT);
        ::raise(SIGHUP);
        QTRY_VERIFY(calls >= 2);
        // A later window takes the handler over.
        static int later = 0;
        Platform::InstallTerminationHandler([] { ++later; });
        const int before = calls;
        ::raise(SIGTERM);
        QTRY_COMPARE(later, 1);
        QCOMPARE(calls, before);
        Platform::InstallTerminationHandler({});
        struct sigaction current = {};
        ::sigaction(SIGTERM, nullptr, &current);
        QVERIFY(current.sa_handler == SIG_DFL);
#endif
    }
};

TAVRIK_TEST(PlatformTest)
#include "PlatformTest.moc"
