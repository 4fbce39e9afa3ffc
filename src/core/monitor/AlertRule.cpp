#include "monitor/AlertRule.h"

AlertRule::Kind AlertRule::kindOf(CpuState state)
{
    switch (state) {
    case CpuState::Working:
    case CpuState::Downloading:
        return Kind::Good;
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
    const bool recovered = kind == Kind::Good;
    seen.told = kind;
    if (!m_enabled || !m_sink)
        return;
    const QString title
        = recovered ? name + QStringLiteral(" is working again") : name + QStringLiteral(": ") + status.words();
    QString text;
    switch (kind) {
    case Kind::Stalled:
        text = QStringLiteral("Its progress has not moved since the last reading.");
        break;
    case Kind::DownloadLate:
        text = QStringLiteral("Its new work unit is taking longer than the alarm time.");
        break;
    case Kind::Unreachable:
        text = QStringLiteral("Its folder cannot be reached: the computer may be off, or the path wrong.");
        break;
    default:
        text = QStringLiteral("Now ") + status.words() + QStringLiteral(".");
        break;
    }
    m_sink->showAlert(title, text);
}
