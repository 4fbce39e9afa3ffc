#include "panel/CycleController.h"
#include "common/TestSupport.h"
#include "core/modTavrik.h"

#include <QTest>

// Records what the controller asks of the main window.
struct Probe
{
    int cycles = 0;
    int resets = 0;
    QList<bool> enabledStates;
    bool enabledDuringUpdate = false;
    std::function<void()> duringCycle;

    CycleController::Actions actions()
    {
        return { [this](bool enabled) { enabledStates << enabled; }, [this] { ++resets; },
            [this] {
                enabledDuringUpdate = enabledDuringUpdate || enabledStates.value(enabledStates.size() - 1, true);
                ++cycles;
                if (duringCycle)
                    duringCycle();
            },
            {} };
    }
};

class CycleControllerTest : public QObject
{
    Q_OBJECT

    IsolatedSettings m_settings;

private Q_SLOTS:
    void cycleEveryIntervalPlusOneTicks_data()
    {
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<int>("cycles");
        QTest::newRow("default 30: none in 30 ticks") << 30 << 30 << 0;
        QTest::newRow("default 30: 31st tick") << 30 << 31 << 1;
        QTest::newRow("default 30: two in 62") << 30 << 62 << 2;
        QTest::newRow("0 every tick") << 0 << 5 << 5;
        QTest::newRow("negative acts like 0") << -4 << 3 << 3;
    }
    void cycleEveryIntervalPlusOneTicks()
    {
        QFETCH(int, interval);
        QFETCH(int, ticks);
        QFETCH(int, cycles);
        modTavrik::MonitorInterval = qint16(interval);
        Probe p;
        CycleController c(p.actions());
        for (int i = 0; i < ticks; ++i)
            c.tick();
        QCOMPARE(p.cycles, cycles);
        QCOMPARE(p.resets, cycles);
        QVERIFY(!p.enabledDuringUpdate); // Refresh and Exit are off while the CPUs update
        QVERIFY(p.enabledStates.isEmpty() || p.enabledStates.last());
    }

    void refreshRunsAtOnceAndRestartsCount()
    {
        modTavrik::MonitorInterval = 3;
        Probe p;
        CycleController c(p.actions());
        c.tick();
        c.tick();
        c.refresh();
        QCOMPARE(p.cycles, 1);
        QCOMPARE(c.tickCount(), qint16(0));
        for (int i = 0; i < 3; ++i)
            c.tick();
        QCOMPARE(p.cycles, 1);
        c.tick();
        QCOMPARE(p.cycles, 2);
    }

    void reentryDuringCycle()
    {
        modTavrik::MonitorInterval = 0;
        Probe p;
        CycleController c(p.actions());
        // Events let through by a CPU update: a tick, and a forced refresh.
        p.duringCycle = [&] {
            if (p.cycles == 1) {
                c.tick();
                c.refresh();
                QVERIFY(c.isCycling());
                QCOMPARE(p.cycles, 1); // no cycle started inside the running one
            }
        };
        c.tick();
        QCOMPARE(p.cycles, 2); // the refresh ran as a fresh cycle right after
        QCOMPARE(p.resets, 2);
        QVERIFY(!c.isBusy());
        QCOMPARE(p.enabledStates, (QList<bool> { false, true, false, true }));
    }
};

TAVRIK_TEST(CycleControllerTest)
#include "CycleControllerTest.moc"
