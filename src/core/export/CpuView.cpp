#include "export/CpuView.h"

#include "export/MetricsText.h"

CpuView CpuView::From(const QString &name, const CpuStatus &status, const CpuMetrics &metrics)
{
    CpuView v;
    v.name = name;
    v.state = status.state;
    v.stateKey = MetricsText::StateName(metrics.state);
    v.stateText = status.words();
    v.percent = double(status.percent);
    v.percentText = status.percentText;
    v.perHour = status.perHour;
    v.etaSeconds = status.etaSeconds;
    v.cpuTimeText = status.cpuTimeText;
    v.lastGood = status.lastGood;
    v.lastFailure = status.lastFailure;
    return v;
}
