#include "export/CpuCard.h"

#include "export/MetricsText.h"
#include "fleet/Cpu.h"

CpuCard CpuCard::From(const Cpu &cpu, const CpuMetrics &metrics)
{
    const CpuStatus &status = cpu.status;
    CpuCard c;
    c.name = cpu.name;
    c.state = status.state;
    c.stateKey = CpuStatus::MetricName(metrics.state);
    c.stateText = status.words();
    c.percent = double(status.percent);
    c.percentText = status.percentText;
    c.perHour = status.perHour;
    c.etaSeconds = status.etaSeconds;
    c.cpuTimeText = status.cpuTimeText;
    c.lastGood = status.lastGood;
    c.lastFailure = status.lastFailure;
    return c;
}
