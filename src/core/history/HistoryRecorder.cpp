#include "history/HistoryRecorder.h"

#include <QDateTime>
#include <QStringList>

namespace {

bool isOutage(CpuState s)
{
    return s == CpuState::Stalled || s == CpuState::Unreachable || s == CpuState::Failed;
}

bool isDownload(CpuState s)
{
    return s == CpuState::Downloading || s == CpuState::DownloadLate;
}

// A unit at its end: the client has written 100 % (and waits for the next unit).
bool atEnd(const HistoryObservation &o)
{
    return o.failure == 0 && o.percent >= 99.999f;
}

} // namespace

int HistoryRecorder::StoredState(CpuState s)
{
    return s == CpuState::Slow ? 7 : s > CpuState::Slow ? int(s) - 1 : int(s);
}

CpuState HistoryRecorder::FromStored(qint64 n)
{
    return n == 7 ? CpuState::Slow : n >= int(CpuState::Slow) ? CpuState(n + 1) : CpuState(n);
}

void HistoryRecorder::restore(const QString &cpuId, const QString &saved)
{
    m_tracks.insert(cpuId, load(saved));
}

QString HistoryRecorder::saved(const QString &cpuId) const
{
    const auto it = m_tracks.constFind(cpuId);
    return it == m_tracks.constEnd() ? QString() : save(*it);
}

void HistoryRecorder::observe(const HistoryObservation &o, HistoryChanges &out)
{
    Track &t = m_tracks[o.cpuId];
    out.names.insert(o.cpuId, o.name);

    // The time since the last reading counts as watched, in the state the last reading found.
    DailyRecord day;
    day.cpuId = o.cpuId;
    day.day = QDateTime::fromSecsSinceEpoch(o.at).toLocalTime().date().toString(Qt::ISODate);
    day.units = o.units;
    day.results = o.results;
    day.totalCpu = o.totalCpu;
    const qint64 gap = t.known ? o.at - t.lastAt : 0;
    if (gap > 0 && gap <= MaxWatchedGap) {
        day.watchedSeconds = gap;
        if (t.lastState == CpuState::Stalled)
            day.stalledSeconds = gap;
        else if (t.lastState == CpuState::Unreachable || t.lastState == CpuState::Failed)
            day.unreachableSeconds = gap;
    }
    out.daily.push_back(day);

    // Outages: a change of state closes the open one and may open another.
    if (t.outKind != StoredState(o.state) || !isOutage(o.state)) {
        if (t.outKind != 0 && t.outKind != StoredState(o.state)) {
            out.outages.push_back({ o.cpuId, FromStored(t.outKind), t.outStart, o.at, t.outCode });
            t.outKind = 0;
        }
        if (isOutage(o.state) && t.outKind == 0) {
            t.outKind = StoredState(o.state);
            t.outStart = o.at;
            t.outCode = o.failure;
        }
    }

    if (o.failure == 0 && !atEnd(o)
        && (o.state == CpuState::Working || o.state == CpuState::Slow || o.state == CpuState::Stalled)) {
        const qint64 unitNo = o.results >= 0 ? o.results + 1 : -1;
        const bool another
            = !t.inUnit || (unitNo >= 0 && t.unitNo >= 0 && unitNo != t.unitNo) || o.percent + 0.001f < t.unitPercent;
        if (another) {
            // Seen from its start only when the last unit's end or a download came just before.
            const bool fromDownload = t.dlStart != 0 || t.unitFinished;
            if (t.inUnit && !t.unitFinished)
                finishUnit(o.cpuId, t, o.at, false, out);
            // The download that brought this unit ends as it starts moving.
            if (t.dlStart != 0) {
                out.downloads.push_back({ o.cpuId, t.dlStart, o.at, t.dlLate, t.dlAlarms });
                t.lastDlStart = t.dlStart;
                t.lastDlSeconds = o.at - t.dlStart;
                t.lastDlLate = t.dlLate;
                t.dlStart = 0;
            } else {
                t.lastDlStart = 0;
                t.lastDlSeconds = -1;
                t.lastDlLate = false;
            }
            t.inUnit = true;
            t.unitNo = unitNo;
            t.unitFirstSeen = o.at;
            t.unitPartial = !fromDownload && o.percent > 0;
            t.unitFinished = false;
            t.unitDlStart = t.lastDlStart;
            t.unitDlSeconds = t.lastDlSeconds;
            t.unitDlLate = t.lastDlLate;
        }
        t.unitPercent = o.percent;
        if (o.cpuSeconds >= 0)
            t.unitCpu = o.cpuSeconds;
        if (o.at - t.lastSampleAt >= SampleEvery) {
            out.samples.push_back({ o.cpuId, o.at, o.percent });
            t.lastSampleAt = o.at;
        }
    } else if (atEnd(o)) {
        if (t.inUnit && !t.unitFinished) {
            if (o.cpuSeconds >= 0)
                t.unitCpu = o.cpuSeconds;
            finishUnit(o.cpuId, t, o.at, true, out);
        }
        t.unitPercent = o.percent;
    }

    // A download runs from the first reading that waits for a unit to the first that works on
    // one; failures in between do not end it.
    if (isDownload(o.state)) {
        if (t.dlStart == 0) {
            t.dlStart = o.at;
            t.dlLate = false;
            t.dlAlarms = 0;
        }
        t.dlLate = t.dlLate || o.state == CpuState::DownloadLate;
    }
    if (t.dlStart != 0 && o.alarm)
        ++t.dlAlarms;

    t.known = true;
    t.lastAt = o.at;
    t.lastState = o.state;
    out.tracks.insert(o.cpuId, save(t));
}

void HistoryChanges::mergeDaily()
{
    QHash<QString, size_t> at; // cpu id and day -> the record in merged
    std::vector<DailyRecord> merged;
    for (const DailyRecord &r : daily) {
        const QString key = r.cpuId + u' ' + r.day;
        const auto it = at.constFind(key);
        if (it == at.constEnd()) {
            at.insert(key, merged.size());
            merged.push_back(r);
            continue;
        }
        DailyRecord &m = merged[*it];
        m.units = r.units >= 0 ? r.units : m.units;
        m.results = r.results >= 0 ? r.results : m.results;
        m.totalCpu = r.totalCpu >= 0 ? r.totalCpu : m.totalCpu;
        m.watchedSeconds += r.watchedSeconds;
        m.stalledSeconds += r.stalledSeconds;
        m.unreachableSeconds += r.unreachableSeconds;
    }
    daily = std::move(merged);
}

void HistoryRecorder::finishUnit(const QString &cpuId, Track &t, qint64 at, bool seen, HistoryChanges &out)
{
    UnitRecord u;
    u.cpuId = cpuId;
    u.unitNo = t.unitNo >= 0 ? t.unitNo : -at;
    u.firstSeen = t.unitFirstSeen;
    u.finishedAt = at;
    u.partial = t.unitPartial;
    u.cpuSeconds = t.unitCpu;
    u.seenFinishing = seen;
    u.downloadStarted = t.unitDlStart;
    u.downloadSeconds = t.unitDlSeconds;
    u.downloadLate = t.unitDlLate;
    out.units.push_back(u);
    t.unitFinished = true;
}

QString HistoryRecorder::save(const Track &t)
{
    // A flat list of numbers: small, and read back without a parser.
    const qint64 v[] = { t.known, t.lastAt, StoredState(t.lastState), t.inUnit, t.unitNo, t.unitFirstSeen,
        t.unitPartial, t.unitFinished, qint64(double(t.unitPercent) * 1000.0), qint64(t.unitCpu), t.unitDlStart,
        t.unitDlSeconds, t.unitDlLate, t.dlStart, t.dlLate, t.dlAlarms, t.lastDlStart, t.lastDlSeconds, t.lastDlLate,
        t.outKind, t.outStart, t.outCode, t.lastSampleAt };
    QStringList parts;
    parts.reserve(int(std::size(v)));
    for (qint64 x : v)
        parts.append(QString::number(x));
    return parts.join(u' ');
}

HistoryRecorder::Track HistoryRecorder::load(const QString &text)
{
    const QStringList parts = text.split(u' ');
    Track t;
    if (parts.size() != 23)
        return t; // unreadable: start afresh, as for a CPU never seen
    qint64 v[23];
    for (int i = 0; i < 23; ++i)
        v[i] = parts[i].toLongLong();
    int i = 0;
    t.known = v[i++];
    t.lastAt = v[i++];
    t.lastState = FromStored(v[i++]);
    t.inUnit = v[i++];
    t.unitNo = v[i++];
    t.unitFirstSeen = v[i++];
    t.unitPartial = v[i++];
    t.unitFinished = v[i++];
    t.unitPercent = float(double(v[i++]) / 1000.0);
    t.unitCpu = double(v[i++]);
    t.unitDlStart = v[i++];
    t.unitDlSeconds = v[i++];
    t.unitDlLate = v[i++];
    t.dlStart = v[i++];
    t.dlLate = v[i++];
    t.dlAlarms = int(v[i++]);
    t.lastDlStart = v[i++];
    t.lastDlSeconds = v[i++];
    t.lastDlLate = v[i++];
    t.outKind = int(v[i++]);
    t.outStart = v[i++];
    t.outCode = int(v[i++]);
    t.lastSampleAt = v[i++];
    return t;
}
