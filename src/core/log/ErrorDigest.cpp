#include "log/ErrorDigest.h"

#include "log/SessionLog.h"

namespace {

const QString Stamp = QStringLiteral("yyyy-MM-dd HH:mm:ss");

} // namespace

bool ErrorDigest::add(const LogEntries &entries)
{
    bool changed = false;
    for (qsizetype i = 0; i < entries.size();) {
        // One CPU's run of entries: the texts of one reading.
        const quint64 cpu = entries[i].cpu;
        qsizetype end = i;
        QStringList failure;
        int code = 0;
        bool read = false;
        for (; end < entries.size() && entries[end].cpu == cpu; ++end) {
            const LogEntry &e = entries[end];
            if (e.kind == LogKind::Alarm || (e.kind == LogKind::Failure && cpu == 0)) {
                append({ 0, e.cpuName, e.text, e.at, e.at, 1 });
                changed = true;
            } else if (e.kind == LogKind::Failure) {
                if (failure.isEmpty())
                    code = e.code;
                failure.append(e.text);
            } else if (e.kind == LogKind::Reading) {
                read = true;
            }
        }
        const QDateTime at = entries[end - 1].at;
        if (!failure.isEmpty()) {
            const QString text = failure.join(QLatin1String("\r\n"));
            const auto open = m_open.constFind(cpu);
            Line *repeated = nullptr;
            if (open != m_open.cend() && open->code == code) {
                for (auto it = m_lines.rbegin(); it != m_lines.rend() && !repeated; ++it)
                    if (it->serial == open->serial)
                        repeated = &*it;
            }
            if (repeated) {
                ++repeated->count;
                repeated->last = at;
            } else {
                append({ 0, entries[i].cpuName, text, at, at, 1 });
                m_open.insert(cpu, { m_lines.back().serial, code });
            }
            changed = true;
        } else if (read) {
            m_open.remove(cpu); // a good reading ends the run of repeats
        }
        i = end;
    }
    return changed;
}

void ErrorDigest::append(Line line)
{
    line.serial = m_nextSerial++;
    m_lines.push_back(std::move(line));
    while (m_lines.size() > size_t(LinesKept))
        m_lines.pop_front();
}

QString ErrorDigest::render(const Line &line)
{
    QString head = line.first.toLocalTime().toString(Stamp);
    if (line.count > 1)
        head += QStringLiteral(" to %1, %2 times").arg(line.last.toLocalTime().toString(Stamp)).arg(line.count);
    head += u' ';
    if (!line.cpuName.isEmpty())
        head += line.cpuName + QStringLiteral(": ");
    return SessionLog::FileText(line.text.trimmed(), head).chopped(1);
}

QStringList ErrorDigest::lines() const
{
    QStringList out;
    out.reserve(qsizetype(m_lines.size()));
    for (const Line &l : m_lines)
        out.append(render(l));
    return out;
}
