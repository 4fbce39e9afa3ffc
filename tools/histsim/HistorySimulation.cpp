#include "HistorySimulation.h"

#include "history/HistoryStore.h"
#include "shared/Failure.h"

#include <QRandomGenerator>

#include <algorithm>
#include <vector>

namespace {

constexpr qint64 Reading = 31;
constexpr qint64 AlarmSeconds = 30 * 60;

struct Cpu
{
    HistoryObservation o; // the last reading, updated in place
    QRandomGenerator rng;
    enum Phase { Work, Download, Outage } phase = Work;
    qint64 unitLength = 0; // seconds of work the unit needs
    qint64 worked = 0; // before resumedAt
    qint64 resumedAt = 0;
    double cpuShare = 0.95;
    qint64 downloadEnd = 0;
    qint64 lateAt = 0; // 0: on time
    bool alarmed = false;
    qint64 outageEnd = 0;
    qint64 nextOutage = 0;
    qint64 nextReading = 0;

    qint64 unitEnd() const { return resumedAt + unitLength - worked; }
    float percentAt(qint64 t) const
    {
        return float(std::min(100.0, 100.0 * double(worked + (t - resumedAt)) / double(unitLength)));
    }
    void newUnit(qint64 t)
    {
        unitLength = 6 * 3600 + rng.bounded(6 * 3600);
        cpuShare = 0.90 + rng.bounded(0.08);
        worked = 0;
        resumedAt = t;
        phase = Work;
    }
};

qint64 quantised(qint64 t, qint64 start)
{
    return start + ((t - start + Reading - 1) / Reading) * Reading;
}

} // namespace

QString HistorySimulation::CpuName(int index)
{
    static const char *const Rooms[] = { "Attic", "Den", "Study", "Kitchen", "Cellar", "Garage", "Office", "Lab",
        "Loft", "Porch", "Library", "Workshop" };
    return index < int(std::size(Rooms)) ? QString::fromLatin1(Rooms[index]) : QStringLiteral("cpu-%1").arg(index + 1);
}

HistorySimulation::Totals HistorySimulation::run(HistoryStore &store) const
{
    Totals totals;
    const qint64 stop = end.toSecsSinceEpoch();
    const qint64 start = stop - qint64(days) * 86400;
    const qint64 fine = stop - 30 * 86400; // readings every 5 minutes from here on
    std::vector<Cpu> fleet(static_cast<size_t>(cpus));
    for (int i = 0; i < cpus; ++i) {
        Cpu &c = fleet[size_t(i)];
        c.rng.seed(seed * 7919u + quint32(i));
        c.o.cpuId = QStringLiteral("sim-%1").arg(i + 1);
        c.o.name = CpuName(i);
        c.o.results = 100 + c.rng.bounded(900);
        c.o.units = c.o.results + 1;
        c.newUnit(start);
        c.worked = c.rng.bounded(c.unitLength); // caught half way through its unit
        c.nextOutage = start + c.rng.bounded(7 * 86400);
        c.nextReading = start;
    }

    // One hour of readings of every CPU is one transaction.
    for (qint64 hour = start; hour < stop; hour += 3600) {
        const qint64 hourEnd = std::min(stop, hour + 3600);
        for (Cpu &c : fleet) {
            for (;;) {
                const qint64 every = c.nextReading >= fine ? 300 : 3600;
                // The next thing that happens to this CPU, at the reading that would see it.
                qint64 t = c.nextReading;
                if (c.phase == Cpu::Work)
                    t = std::min({ t, quantised(c.unitEnd(), start), quantised(c.nextOutage, start) });
                else if (c.phase == Cpu::Download)
                    t = std::min(t,
                        quantised(c.lateAt && !c.alarmed ? std::min(c.lateAt, c.downloadEnd) : c.downloadEnd, start));
                else
                    t = std::min(t, quantised(c.outageEnd, start));
                if (c.o.at)
                    t = std::max(t, c.o.at + Reading); // an event that passed unseen is seen now
                if (t >= hourEnd)
                    break;
                HistoryObservation &o = c.o;
                o.at = t;
                o.alarm = false;
                o.failure = 0;
                if (c.phase == Cpu::Work && t >= c.nextOutage) {
                    c.worked += t - c.resumedAt;
                    c.resumedAt = t;
                    c.phase = Cpu::Outage;
                    c.outageEnd = t + 3600 + c.rng.bounded(7 * 3600);
                    c.nextOutage += 7 * 86400 - 3 * 86400 + c.rng.bounded(6 * 86400);
                } else if (c.phase == Cpu::Outage && t >= c.outageEnd) {
                    c.phase = Cpu::Work;
                    c.resumedAt = t;
                } else if (c.phase == Cpu::Work && t >= c.unitEnd()) {
                    c.phase = Cpu::Download;
                    o.results += 1;
                    totals.units += 1;
                    const bool late = c.rng.bounded(100) < 5;
                    c.downloadEnd = t + (late ? AlarmSeconds + 60 + c.rng.bounded(3600) : 60 + c.rng.bounded(29 * 60));
                    c.lateAt = late ? t + AlarmSeconds : 0;
                    c.alarmed = false;
                    o.cpuSeconds = double(c.unitLength) * c.cpuShare;
                } else if (c.phase == Cpu::Download && c.lateAt && !c.alarmed && t >= c.lateAt) {
                    o.alarm = true;
                    c.alarmed = true;
                } else if (c.phase == Cpu::Download && t >= c.downloadEnd) {
                    o.units += 1;
                    c.newUnit(t);
                }
                switch (c.phase) {
                case Cpu::Work:
                    o.state = CpuState::Working;
                    o.percent = c.percentAt(t);
                    o.cpuSeconds = double(c.worked + t - c.resumedAt) * c.cpuShare;
                    break;
                case Cpu::Download:
                    o.state = c.lateAt && t >= c.lateAt ? CpuState::DownloadLate : CpuState::Downloading;
                    o.percent = 100;
                    break;
                case Cpu::Outage:
                    o.state = CpuState::Unreachable;
                    o.failure = Failure::PathNotFound;
                    break;
                }
                store.observe(o);
                ++totals.observations;
                if (t >= c.nextReading)
                    c.nextReading = t + every;
            }
        }
        store.cycleFinished();
        ++totals.cycles;
        if (totals.cycles % 24 == 0)
            store.flush(); // a day at a time: the queue does not grow past it
    }
    store.flush();
    return totals;
}
