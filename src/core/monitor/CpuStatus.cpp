#include "monitor/CpuStatus.h"

#include "settings/Conv.h"

#include "monitor/StatsInterpreter.h"
#include "shared/Failure.h"

#include <QLocale>

#include <cmath>

QString CpuStatus::ShortDuration(qint64 seconds)
{
    const qint64 minutes = (seconds + 59) / 60;
    if (minutes < 60)
        return QStringLiteral("%1 min").arg(minutes);
    const qint64 hours = minutes / 60;
    if (hours < 48)
        return QStringLiteral("%1 h %2 min").arg(hours).arg(minutes % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 d %2 h").arg(hours / 24).arg(hours % 24);
}

CpuStatus CpuStatus::Next(const CpuStatus &before, const UpdateResult &r, const QDateTime &now, int alarmMinutes)
{
    CpuStatus s = before;
    if (r.percentText)
        s.percentText = *r.percentText;
    if (r.cpuTimeText)
        s.cpuTimeText = *r.cpuTimeText;
    s.downloadText = r.downloadWatched && r.percentText ? *r.percentText : QString();

    // One clock for the alarm and the lateness: the download's start as the watch keeps it.
    s.downloadSince = r.downloadWatched && r.fields.downloadSince > 0
        ? QDateTime::fromMSecsSinceEpoch(r.fields.downloadSince, Qt::UTC)
        : QDateTime();

    if (r.failure == 0) {
        s.lastGood = now;
        const float p = r.fields.Percent;
        s.percent = p;
        if (r.downloadWatched) {
            s.state = CpuState::Downloading;
        } else if (r.percentRed.value_or(false)) {
            // Unmoved at 0: the client has not begun its unit, which the window shows as a download.
            s.state = p > 0 ? CpuState::Stalled : CpuState::Downloading;
        } else {
            s.state = CpuState::Working;
        }
        // The pace between this reading and the one before, within one work unit.
        if (s.state == CpuState::Working && before.readAt.isValid() && p > before.readPercent) {
            const double hours = double(before.readAt.msecsTo(now)) / 3600000.0;
            if (hours > 0) {
                s.perHour = double(p - before.readPercent) / hours;
                // A pace of next to nothing would finish past any date: no time is given then.
                s.etaSeconds = Conv::Int64FromDouble(std::ceil(double(100.0f - p) / *s.perHour * 3600.0));
            }
        } else if (s.state == CpuState::Stalled) {
            s.perHour = 0.0;
            s.etaSeconds.reset();
        } else {
            s.perHour.reset();
            s.etaSeconds.reset();
            // Until two readings give a pace, the CPU's usual one gives a time.
            if (s.state == CpuState::Working && s.usualPerHour)
                s.etaSeconds = Conv::Int64FromDouble(std::ceil(double(100.0f - p) / *s.usualPerHour * 3600.0));
        }
        const bool inUnit = s.state == CpuState::Working || s.state == CpuState::Stalled;
        if (inUnit) {
            s.readAt = now;
            s.readPercent = p;
        } else {
            s.readAt = QDateTime();
        }

        // The current pace, over half an hour or more of the unit in hand, against the usual one.
        const qint64 nowMs = now.toMSecsSinceEpoch();
        std::vector<PaceSample> &samples = s.paceSamples;
        if (!inUnit || (!samples.empty() && (p + 0.001f < samples.back().percent || nowMs < samples.back().atMs)))
            samples.clear(); // no unit in hand, a new one, or a clock put back
        if (inUnit && p < 100.0f) {
            auto base = samples.end(); // the newest sample old enough to measure from
            for (auto it = samples.begin(); it != samples.end() && it->atMs <= nowMs - PaceWindowSecs * 1000; ++it)
                base = it;
            if (base != samples.end()) {
                const double current = double(p - base->percent) / (double(nowMs - base->atMs) / 3600000.0);
                if (s.state == CpuState::Working && s.usualPerHour && current < SlowFraction * *s.usualPerHour)
                    s.state = CpuState::Slow;
                samples.erase(samples.begin(), base);
            }
            if (samples.empty() || nowMs - samples.back().atMs >= SampleEverySecs * 1000)
                samples.push_back({ nowMs, p });
        }
    } else {
        s.lastFailure = Failure::Description(r.failure);
        s.lastFailureAt = now;
        // The reader gives both when the folder or its machine cannot be reached.
        if (r.failure == Failure::PathNotFound || r.failure == Failure::BadFileName)
            s.state = CpuState::Unreachable;
        else if (r.downloadWatched)
            s.state = CpuState::Downloading; // a unit's file is on its way while State.txt is missing
        else
            s.state = CpuState::Failed;
        s.perHour.reset();
        s.etaSeconds.reset();
    }

    s.lateSeconds = 0;
    if (s.state == CpuState::Downloading && s.downloadSince.isValid()) {
        const qint64 past = s.downloadSince.secsTo(now) - qint64(alarmMinutes) * 60;
        if (past > 0 || r.playAlarm) {
            s.state = CpuState::DownloadLate;
            s.lateSeconds = qMax<qint64>(past, 1);
        }
    }
    return s;
}

QString CpuStatus::StateName(CpuState state)
{
    switch (state) {
    case CpuState::Unknown:
        return QStringLiteral("not read yet");
    case CpuState::Working:
        return QStringLiteral("working");
    case CpuState::Downloading:
        return QStringLiteral("downloading");
    case CpuState::Slow:
        return QStringLiteral("slow");
    case CpuState::Stalled:
        return QStringLiteral("stalled");
    case CpuState::DownloadLate:
        return QStringLiteral("download late");
    case CpuState::Unreachable:
        return QStringLiteral("unreachable");
    case CpuState::Failed:
        return QStringLiteral("failed");
    }
    return {};
}

QString CpuStatus::MetricName(CpuState state)
{
    return StateName(state).replace(u' ', u'_');
}

QString CpuStatus::words() const
{
    switch (state) {
    case CpuState::DownloadLate:
        return StateName(state) + u' ' + ShortDuration(lateSeconds);
    case CpuState::Failed:
        return StateName(state) + QStringLiteral(": ") + lastFailure;
    default:
        return isFinished() ? QStringLiteral("finished") : StateName(state);
    }
}

QString CpuStatus::spoken(const QString &name) const
{
    return QStringLiteral("%1, %2 percent, %3").arg(name, QLocale().toString(int(percent)), words());
}

bool CpuStatus::isFinished() const
{
    return percent >= 100.0f && (state == CpuState::Working || state == CpuState::Stalled);
}

bool CpuStatus::needsAttention() const
{
    return state >= CpuState::Slow;
}

int CpuStatusModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int CpuStatusModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CpuStatusModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Row &row = m_rows[size_t(index.row())];
    const CpuStatus &s = row.status;
    if (role == KeyRole)
        return row.key;
    if (role == StateRole)
        return int(s.state);
    if (role == Qt::TextAlignmentRole && index.column() != Name && index.column() != State
        && index.column() != LastFailure)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == PastRole)
        return index.column() == LastFailure && s.state != CpuState::Unreachable && s.state != CpuState::Failed;
    // What a screen reader says for the row: "Attic, 50 percent, stalled".
    if (role == Qt::AccessibleTextRole && index.column() == Name)
        return s.spoken(row.name);
    const bool sort = role == SortRole;
    if (role != Qt::DisplayRole && !sort && role != Qt::ToolTipRole && role != Qt::AccessibleTextRole)
        return {};
    const QLocale locale;
    switch (Column(index.column())) {
    case Name:
        return row.name;
    case State:
        if (sort)
            return int(s.state);
        return s.words();
    case Percent:
        if (sort)
            return double(s.percent);
        return s.state == CpuState::Unknown ? QString() : StatsInterpreter::PercentText(s.percent);
    case Download:
        return s.downloadText;
    case PerHour:
        if (sort)
            return s.perHour.value_or(-1);
        return s.perHour ? locale.toString(*s.perHour, 'f', 2) + u'%' : QString();
    case Eta:
        if (sort)
            return s.etaSeconds.value_or(std::numeric_limits<qint64>::max());
        return s.etaSeconds && !s.isFinished() ? CpuStatus::ShortDuration(*s.etaSeconds) : QString();
    case CpuTime:
        return s.cpuTimeText;
    case LastGood:
        if (sort)
            return s.lastGood;
        return s.lastGood.isValid() ? locale.toString(s.lastGood.toLocalTime().time(), QLocale::ShortFormat)
                                    : QString();
    case LastFailure:
        if (sort)
            return s.lastFailureAt;
        return s.lastFailure.isEmpty() ? QString()
                                       : s.lastFailure + QStringLiteral(", ")
                + locale.toString(s.lastFailureAt.toLocalTime().time(), QLocale::ShortFormat);
    case ColumnCount:
        break;
    }
    return {};
}

QVariant CpuStatusModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const Titles[] = { "CPU", "State", "Done", "Download", "Per hour", "Finishes in", "CPU time",
        "Last good reading", "Last failure" };
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(Titles[section]) : QVariant();
}

int CpuStatusModel::rowOf(quint64 key) const
{
    return m_rowOfKey.value(key, -1);
}

quint64 CpuStatusModel::keyAt(int row) const
{
    return row >= 0 && row < rowCount() ? m_rows[size_t(row)].key : 0;
}

void CpuStatusModel::setCpu(quint64 key, const QString &name)
{
    const int at = rowOf(key);
    if (at < 0) {
        beginInsertRows({}, rowCount(), rowCount());
        m_rowOfKey.insert(key, rowCount());
        m_rows.push_back({ key, name, {} });
        endInsertRows();
    } else if (m_rows[size_t(at)].name != name) {
        m_rows[size_t(at)].name = name;
        Q_EMIT dataChanged(index(at, Name), index(at, Name));
    }
}

void CpuStatusModel::setStatus(quint64 key, const QString &name, const CpuStatus &status)
{
    // A reading of every CPU each cycle: finding the row must not walk the table.
    setCpu(key, name);
    const int at = rowOf(key);
    m_rows[size_t(at)].status = status;
    Q_EMIT dataChanged(index(at, 0), index(at, ColumnCount - 1));
}

void CpuStatusModel::remove(quint64 key)
{
    const int at = rowOf(key);
    if (at < 0)
        return;
    beginRemoveRows({}, at, at);
    m_rows.erase(m_rows.begin() + at);
    m_rowOfKey.remove(key);
    for (size_t i = size_t(at); i < m_rows.size(); ++i)
        m_rowOfKey[m_rows[i].key] = int(i);
    endRemoveRows();
}

CpuState CpuStatusModel::worst() const
{
    CpuState w = CpuState::Unknown;
    for (const Row &r : m_rows)
        w = qMax(w, r.status.state);
    return w;
}

QString CpuStatusModel::summary() const
{
    if (m_rows.empty())
        return QStringLiteral("No CPUs");
    int counts[int(CpuState::Failed) + 1] = {};
    for (const Row &r : m_rows)
        ++counts[int(r.status.state)];
    QStringList parts;
    for (int s = int(CpuState::Failed); s >= 0; --s)
        if (counts[s])
            parts.append(QStringLiteral("%1 %2").arg(counts[s]).arg(CpuStatus::StateName(CpuState(s))));
    return parts.join(QStringLiteral(", "));
}
