#pragma once

#include <QtGlobal>

#include <functional>

// The one-second tick of the main window and the update cycle it runs every MonitorInterval + 1
// ticks or at once on Refresh. Knows nothing of windows: the main window supplies the actions.
class CycleController
{
public:
    struct Actions {
        std::function<void(bool)> setCommandsEnabled; // Refresh and Exit
        std::function<void()> resetSum; // the running sum of current CPU time
        std::function<void()> updateCpus; // every CPU window that allows updates
        std::function<void()> cycleFinished;
    };

    explicit CycleController(Actions actions);

    void tick(); // the timer's handler
    void refresh(); // a forced cycle now

    bool isCycling() const { return m_cycling; }
    bool isBusy() const { return m_busy; }
    qint16 tickCount() const { return m_tickCount; }

private:
    void runCycle();

    Actions m_actions;
    qint16 m_tickCount = 0;
    bool m_busy = false;
    bool m_cycling = false;
    bool m_forceUpdate = false;
    // A Refresh that came while a cycle ran; it runs as a fresh cycle once that one is done,
    // instead of a second cycle inside the first.
    bool m_refreshPending = false;
};
