#pragma once

#include "monitor/CpuStatus.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

struct CpuMetrics;

// What a viewer of one CPU needs (the status page, its JSON): no folder, nothing to act on.
struct CpuView
{
    QString name;
    CpuState state = CpuState::Unknown; // the order of attention
    QString stateKey; // as the metrics' state label: "working", "download_late"
    QString stateText; // in words: "download late 7 min"
    double percent = 0;
    QString percentText;
    std::optional<double> perHour;
    std::optional<qint64> etaSeconds;
    QString cpuTimeText;
    QDateTime lastGood;
    QString lastFailure;

    // The one place the exporter's per-CPU record turns into a view.
    static CpuView From(const QString &name, const CpuStatus &status, const CpuMetrics &metrics);
};

// Every CPU's view after one cycle, in the configured order.
struct StatusSnapshot
{
    QList<CpuView> cpus;
    QDateTime taken; // end of the cycle
    int intervalSeconds = 0;
    double cycleSeconds = 0;
};
