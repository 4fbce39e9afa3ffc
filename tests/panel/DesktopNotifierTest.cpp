#include "panel/DesktopNotifier.h"
#include "common/TestSupport.h"
#include "monitor/AlertRule.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

namespace {

// A notification service on the test's own bus: it keeps every Notify call it is sent.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call
    {
        uint replaces;
        QString title;
        QString body;
        QStringList actions;
        int urgency;
    };
    QList<Call> calls;
    QStringList capabilities { QStringLiteral("actions"), QStringLiteral("body"), QStringLiteral("body-markup") };

public Q_SLOTS:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString &, uint replaces, const QString &, const QString &title, const QString &body,
        const QStringList &actions, const QVariantMap &hints, int)
    {
        calls.append({ replaces, title, body, actions, hints.value(QStringLiteral("urgency")).toInt() });
        return replaces ? replaces : uint(calls.size());
    }
};

} // namespace

class DesktopNotifierTest : public QObject
{
    Q_OBJECT

    QProcess m_bus;
    QString m_address;

private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            QSKIP("dbus-daemon is not installed");
        m_bus.start(QStringLiteral("dbus-daemon"), { "--session", "--nofork", "--print-address=1" });
        QVERIFY(m_bus.waitForReadyRead(10000));
        m_address = QString::fromLatin1(m_bus.readLine()).trimmed();
        QVERIFY(!m_address.isEmpty());
    }

    void cleanupTestCase()
    {
        m_bus.kill();
        m_bus.waitForFinished();
    }

    // Two CPUs lost in one cycle reach the service as two calls, a recovery replaces its CPU's
    // notice, a cycle with six changes is one summary naming all, and the default action asks for
    // the CPU's window.
    void notify()
    {
        QDBusConnection serviceBus = QDBusConnection::connectToBus(m_address, QStringLiteral("service"));
        QVERIFY(serviceBus.isConnected());
        FakeNotifications service;
        QVERIFY(serviceBus.registerObject(DesktopNotifier::Path, &service, QDBusConnection::ExportAllSlots));
        QVERIFY(serviceBus.registerService(DesktopNotifier::Service));

        DesktopNotifier notifier(nullptr, QDBusConnection::connectToBus(m_address, QStringLiteral("panel")));
        QSignalSpy fellBack(&notifier, &DesktopNotifier::fellBack);
        QSignalSpy activated(&notifier, &DesktopNotifier::cpuActivated);
        AlertRule rule(&notifier);
        auto cycle = [&rule](const QList<int> &keys, CpuState state) {
            CpuStatus status;
            status.state = state;
            for (int key : keys)
                rule.observe(key, key == 1 ? QStringLiteral("A&B <lab>") : QStringLiteral("cpu%1").arg(key), status);
            rule.flush();
        };
        const QList<int> all { 1, 2, 3, 4, 5, 6 };
        cycle(all, CpuState::Working);
        cycle({ 1, 2 }, CpuState::Unreachable);
        QTRY_COMPARE(service.calls.size(), 2);
        QCOMPARE(service.calls[0].title, QStringLiteral("A&B <lab>: unreachable"));
        QCOMPARE(service.calls[1].title, QStringLiteral("cpu2: unreachable"));
        QCOMPARE(service.calls[0].urgency, 2);
        QCOMPARE(service.calls[0].replaces, 0u);
        QVERIFY(service.calls[0].actions.contains(QStringLiteral("default")));
        QTRY_VERIFY(notifier.noticeOf(2) != 0); // the service's answer has come back

        cycle({ 2 }, CpuState::Working);
        QTRY_COMPARE(service.calls.size(), 3);
        QCOMPARE(service.calls[2].title, QStringLiteral("cpu2 is working again"));
        QCOMPARE(service.calls[2].replaces, 2u);
        QCOMPARE(service.calls[2].urgency, 0);

        cycle(all, CpuState::Stalled);
        cycle(all, CpuState::Stalled); // a stall counts on its second reading
        QTRY_COMPARE(service.calls.size(), 4);
        QCOMPARE(service.calls[3].title, QStringLiteral("6 CPUs need attention"));
        QCOMPARE(service.calls[3].urgency, 1);
        QCOMPARE(service.calls[3].body.count(u'\n'), 5);
        QVERIFY(service.calls[3].body.startsWith(QStringLiteral("A&amp;B &lt;lab&gt;: stalled\ncpu2: stalled")));

        serviceBus.send(
            QDBusMessage::createSignal(DesktopNotifier::Path, DesktopNotifier::Service, QStringLiteral("ActionInvoked"))
            << 1u << QStringLiteral("default"));
        QTRY_COMPARE(activated.size(), 1);
        QCOMPARE(activated.first().first().toULongLong(), 1ull);
        QCOMPARE(fellBack.size(), 0);

        // Without a service a notice falls back to the tray instead of being lost.
        serviceBus.unregisterService(DesktopNotifier::Service);
        cycle({ 3 }, CpuState::Unreachable);
        QTRY_COMPARE(fellBack.size(), 1);
        QCOMPARE(fellBack.first().first().toString(), QStringLiteral("cpu3: unreachable"));
        QDBusConnection::disconnectFromBus(QStringLiteral("service"));
        QDBusConnection::disconnectFromBus(QStringLiteral("panel"));
    }
};

TAVRIK_TEST(DesktopNotifierTest)
#include "DesktopNotifierTest.moc"
