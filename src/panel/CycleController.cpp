#include "panel/CycleController.h"

#include "core/modTavrik.h"

CycleController::CycleController(Actions actions)
    : m_actions(std::move(actions))
{
}

void CycleController::tick()
{
    if (m_busy) {
        if (m_forceUpdate && m_cycling)
            m_refreshPending = true;
        m_forceUpdate = false;
        return;
    }
    m_busy = true;
    if (m_tickCount < modTavrik::MonitorInterval && !m_forceUpdate) {
        ++m_tickCount;
    } else {
        runCycle();
        while (m_refreshPending) {
            m_refreshPending = false;
            runCycle();
        }
    }
    m_busy = false;
}

void CycleController::refresh()
{
    m_forceUpdate = true;
    tick();
}

void CycleController::runCycle()
{
    m_cycling = true;
    if (m_actions.setCommandsEnabled)
        m_actions.setCommandsEnabled(false);
    m_forceUpdate = false;
    m_tickCount = 0;
    if (m_actions.resetSum)
        m_actions.resetSum();
    if (m_actions.updateCpus)
        m_actions.updateCpus();
    if (m_actions.setCommandsEnabled)
        m_actions.setCommandsEnabled(true);
    m_cycling = false;
    if (m_actions.cycleFinished)
        m_actions.cycleFinished();
}
