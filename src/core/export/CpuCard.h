#pragma once

#include "monitor/CpuStatus.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

struct Cpu;
struct CpuMetrics;

// What a viewer of one CPU needs (the status page, its JSON): no folder, nothing to act on.
struct CpuCard
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

    // The one place a CPU's record turns into a card; metrics: the same CPU as scraped.
    static CpuCard From(const Cpu &cpu, const CpuMetrics &metrics);
};

// Every CPU's card after one cycle, in the configured order.
struct StatusSnapshot
{
    QList<CpuCard> cpus;
    QDateTime taken; // end of the cycle
    int intervalSeconds = 0;
    double cycleSeconds = 0;
};
