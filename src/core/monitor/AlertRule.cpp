#include "monitor/AlertRule.h"

AlertRule::Kind AlertRule::kindOf(CpuState state)
{
    switch (state) {
    case CpuState::Working:
    case CpuState::Downloading:
        return Kind::Good;
    case CpuState::Slow:
        return Kind::Slow;
    case CpuState::Stalled:
        return Kind::Stalled;
    case CpuState::DownloadLate:
        return Kind::DownloadLate;
    case CpuState::Unreachable:
        return Kind::Unreachable;
    default:
        return Kind::Other;
    }
}

AlertUrgency AlertRule::UrgencyOf(CpuState state, bool recovered)
{
    if (recovered)
        return AlertUrgency::Low;
    switch (state) {
    case CpuState::DownloadLate:
    case CpuState::Unreachable:
    case CpuState::Failed:
        return AlertUrgency::Critical;
    case CpuState::Slow: // a notice that the desktop shows, not one that waits in its list
    case CpuState::Stalled:
        return AlertUrgency::Normal;
    default:
        return AlertUrgency::Low;
    }
}

void AlertRule::observe(quint64 key, const QString &name, const CpuStatus &status)
{
    const Kind kind = kindOf(status.state);
    auto it = m_seen.find(key);
    if (it == m_seen.end()) {
        m_seen.insert(key, { kind == Kind::Other ? Kind::Good : kind, kind });
        return;
    }
    Seen &seen = *it;
    const Kind before = seen.last;
    seen.last = kind;
    // Failures other than an unreachable folder are the log's business; they neither alert nor
    // end an alert.
    if (kind == Kind::Other || kind == seen.told)
        return;
    if (kind == Kind::Stalled && before != Kind::Stalled)
        return;
    seen.told = kind;
    // A CPU that changes twice before the flush is told of once, as it is now.
    for (qsizetype i = 0; i < m_pending.size(); ++i)
        if (m_pending[i].key == key)
            m_pending.removeAt(i--);
    if (m_enabled && m_sink)
        m_pending.append({ key, name, status, kind == Kind::Good });
}

void AlertRule::forget(quint64 key)
{
    m_seen.remove(key);
    for (qsizetype i = 0; i < m_pending.size(); ++i)
        if (m_pending[i].key == key)
            m_pending.removeAt(i--);
}

void AlertRule::flush()
{
    if (m_pending.isEmpty())
        return;
    const QList<AlertNotice> notices = Compose(m_pending);
    m_pending.clear();
    if (m_enabled && m_sink)
        m_sink->showAlerts(notices);
}

namespace {

QString titleOf(const AlertRule::Change &c)
{
    return c.recovered ? c.name + QStringLiteral(" is working again")
                       : c.name + QStringLiteral(": ") + c.status.words();
}

QString textOf(const AlertRule::Change &c)
{
    if (c.recovered)
        return QStringLiteral("Now ") + c.status.words() + QStringLiteral(".");
    switch (c.status.state) {
    case CpuState::Slow:
        return QStringLiteral("It is finishing its work unit more slowly than usual.");
    case CpuState::Stalled:
        return QStringLiteral("Its progress has not moved since the last reading.");
    case CpuState::DownloadLate:
        return QStringLiteral("Its new work unit is taking longer than the alarm time.");
    case CpuState::Unreachable:
        return QStringLiteral("Its folder cannot be reached: the computer may be off, or the path wrong.");
    default:
        return QStringLiteral("Now ") + c.status.words() + QStringLiteral(".");
    }
}

} // namespace

QList<AlertNotice> AlertRule::Compose(const QList<Change> &changes)
{
    QList<AlertNotice> out;
    if (changes.size() <= SummaryAfter) {
        for (const Change &c : changes)
            out.append({ { c.key }, UrgencyOf(c.status.state, c.recovered), c.status.state, c.recovered, titleOf(c),
                textOf(c) });
        return out;
    }
    AlertNotice sum;
    sum.urgency = AlertUrgency::Low;
    int bad = 0;
    QStringList lines;
    for (const Change &c : changes) {
        sum.keys.append(c.key);
        sum.urgency = qMax(sum.urgency, UrgencyOf(c.status.state, c.recovered));
        if (!c.recovered) {
            ++bad;
            sum.state = qMax(sum.state, c.status.state);
        }
        lines.append(titleOf(c));
    }
    if (bad == 0)
        sum.state = changes.first().status.state;
    const auto n = changes.size();
    sum.title = bad == n ? QStringLiteral("%1 CPUs need attention").arg(n)
        : bad == 0       ? QStringLiteral("%1 CPUs are working again").arg(n)
                         : QStringLiteral("%1 CPUs changed").arg(n);
    sum.text = lines.join(u'\n');
    out.append(sum);
    return out;
}
