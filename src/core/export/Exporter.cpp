#include "export/Exporter.h"

#include "history/HistoryStore.h"
#include "monitor/StatusTotals.h"
#include "monitor/UpdateCycle.h"
#include "panel/CpuList.h"
#include "settings/Conv.h"
#include "settings/Options.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/Clock.h"
#include "shared/Failure.h"
#include "shared/SafeFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

QJsonValue optional(const std::optional<double> &v)
{
    return v ? QJsonValue(*v) : QJsonValue();
}

std::optional<double> optional(const QJsonValue &v)
{
    return v.isDouble() ? std::optional<double>(v.toDouble()) : std::nullopt;
}

// The client writes six decimals of the fraction; more would show the float's binary noise.
double Ratio(float percent)
{
    return std::round(double(percent) * 1e4) / 1e6;
}

} // namespace

Exporter::Exporter(const Options &options, const QString &textFile, QObject *parent)
    : QObject(parent)
    , m_fleet(options)
    , m_textFile(textFile)
{
    m_fleet.setStoresDownloadStarts(false); // kept in the state file instead
    connect(&m_fleet, &Fleet::cycleStarted, this, [this] { m_cycleTime.start(); });
    connect(&m_fleet, &Fleet::readingApplied, this, &Exporter::onReading);
    connect(&m_fleet, &Fleet::cycleFinished, this, &Exporter::onCycleFinished);
}

void Exporter::loadStoredCpus()
{
    setCpus(CpuList::Read().cpus);
}

void Exporter::setCpus(const QList<QPair<QString, QString>> &cpus)
{
    for (const Cpu *cpu : QList<Cpu *>(m_fleet.cpus()))
        m_fleet.remove(cpu->key);
    for (const auto &[name, path] : cpus)
        m_fleet.restore(name, path);
    loadState();
}

void Exporter::setHistoryFile(const QString &file)
{
    delete m_history;
    m_history = file.isEmpty() ? nullptr : new HistoryStore(file, this);
    if (m_history) {
        connect(m_history, &HistoryStore::usualPaces, &m_fleet, &Fleet::setUsualPaces);
        // Open before the first cycle, so that a single run knows the usual paces too.
        m_history->flush();
    }
}

void Exporter::setStateFile(const QString &file)
{
    m_stateFile = file;
    loadState();
}

void Exporter::runCycle()
{
    m_fleet.cycle().refresh();
}

void Exporter::stop()
{
    m_fleet.cycle().stop();
}

CpuMetrics Exporter::Metrics(const Cpu &cpu, const QDateTime &now)
{
    CpuMetrics m;
    m.name = cpu.name;
    // Not read yet counts as working, as the panel's window shows a CPU before its first reading.
    m.state = cpu.status.state == CpuState::Unknown ? CpuState::Working : cpu.status.state;
    m.failure = cpu.status.state == CpuState::Unknown ? 0 : cpu.lastFailureCode;
    m.progressRatio = Ratio(cpu.fields.Percent);
    m.cpuSeconds = cpu.cpuSeconds;
    if (cpu.status.lastGood.isValid())
        m.lastSuccess = double(cpu.status.lastGood.toMSecsSinceEpoch()) / 1000.0;
    const QDateTime &since = cpu.status.downloadSince;
    const bool waiting = m.state == CpuState::Downloading || m.state == CpuState::DownloadLate;
    m.downloadSeconds = waiting && since.isValid() ? std::max(0.0, since.msecsTo(now) / 1000.0) : 0;
    m.failures = cpu.failureCounts;
    return m;
}

void Exporter::onReading(quint64 key, const ReadingOutcome &outcome)
{
    const UpdateResult &r = outcome.result;
    if (const Cpu *cpu = m_fleet.find(key)) {
        const QString id = cpu->historyKey();
        const HistoryObservation o = HistoryStore::Observation(id, cpu->name, r, cpu->status, Clock::NowUtc());
        HistoryChanges changes;
        Units &units = m_units[key];
        units.recorder.observe(o, changes);
        for (const UnitRecord &u : changes.units) {
            ++units.finished;
            units.lastWallSeconds = double(u.finishedAt - u.firstSeen);
        }
        if (m_history)
            m_history->observe(o);
    }
    if (r.downloaded)
        m_account.received = Conv::Val(*r.downloaded);
    if (r.uploaded)
        m_account.sent = Conv::Val(*r.uploaded);
    if (r.totalSeconds)
        m_account.cpuSeconds = *r.totalSeconds;
}

ExportSnapshot Exporter::snapshot() const
{
    ExportSnapshot s;
    const QDateTime now = Clock::Now();
    for (const Cpu *cpu : m_fleet.cpus()) {
        if (!cpu->allowUpdates)
            continue;
        CpuMetrics m = Metrics(*cpu, now);
        if (const auto units = m_units.constFind(cpu->key); units != m_units.cend()) {
            m.unitsFinished = units->finished;
            m.lastUnitWallSeconds = units->lastWallSeconds;
        }
        s.cpus.append(m);
    }
    s.account = m_account;
    s.cycleSeconds = m_cycleSeconds;
    s.withSlow = m_history != nullptr; // only a history knows a CPU's usual pace
    return s;
}

StatusSnapshot Exporter::statusSnapshot() const
{
    StatusSnapshot s;
    const QDateTime now = Clock::Now();
    for (const Cpu *cpu : m_fleet.cpus())
        if (cpu->allowUpdates)
            s.cpus.append(CpuCard::From(*cpu, Metrics(*cpu, now)));
    s.taken = now;
    s.cycleSeconds = m_cycleSeconds;
    return s;
}

void Exporter::onCycleFinished()
{
    if (m_history)
        m_history->cycleFinished();
    m_cycleSeconds = double(m_cycleTime.nsecsElapsed()) / 1e9;
    m_error.clear();
    // Without a file the metrics are only served.
    bool ok = m_textFile.isEmpty() || writeText(m_textFile, MetricsText::Render(snapshot()));
    if (!m_stateFile.isEmpty())
        ok = writeText(m_stateFile, stateText()) && ok;
    Q_EMIT cycleWritten(ok);
}

bool Exporter::writeText(const QString &file, const QByteArray &text)
{
    QString why;
    if (SafeFile::WriteWhole(file, text, &why))
        return true;
    m_error += (m_error.isEmpty() ? QString() : QStringLiteral("; ")) + why;
    return false;
}

QByteArray Exporter::stateText() const
{
    QJsonArray cpus;
    for (const Cpu *c : m_fleet.cpus()) {
        const MonitorFields &f = c->fields;
        QJsonArray pace; // the unit's recent readings, so that runs from cron tell a slow CPU too
        for (const CpuStatus::PaceSample &p : c->status.paceSamples)
            pace.append(QJsonArray { double(p.atMs), double(p.percent) });
        cpus.append(QJsonObject { { "name", c->name }, { "path", c->path }, { "percent", double(f.Percent) },
            { "lastPercent", double(f.LastPercent) }, { "downloadPercent", double(f.DownloadPercent) },
            { "downloadStart", double(f.DownloadStart) }, { "noticeRed", f.downloadNoticeRed },
            { "bar", double(f.barPercent) }, { "downloadSince", double(f.downloadSince) },
            { "cpuSeconds", optional(c->cpuSeconds) },
            { "lastSuccess",
                c->status.lastGood.isValid() ? QJsonValue(double(c->status.lastGood.toMSecsSinceEpoch()) / 1000.0)
                                             : QJsonValue() },
            { "unitsFinished", double(m_units.value(c->key).finished) },
            { "lastUnitWall", optional(m_units.value(c->key).lastWallSeconds) },
            { "track", m_units.value(c->key).recorder.saved(c->historyKey()) }, { "pace", pace } });
    }
    const AccountMetrics &a = m_account;
    const QJsonObject account { { "received", optional(a.received) }, { "sent", optional(a.sent) },
        { "cpuSeconds", optional(a.cpuSeconds) } };
    return QJsonDocument(QJsonObject { { "version", StateFormat }, { "cpus", cpus }, { "account", account } })
        .toJson(QJsonDocument::Compact);
}

// Takes back the readings of CPUs still listed under the same name and folder; anything else in
// the file (a CPU since removed, a damaged file) is passed over.
void Exporter::loadState()
{
    if (m_stateFile.isEmpty())
        return;
    QFile file(m_stateFile);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QJsonObject root = QJsonDocument::fromJson(file.read(16 * 1024 * 1024)).object();
    // Files without a version and versions 1 and 2 hold the same fields (2 adds the units) with
    // the download's timing in seconds of the day, which is not taken back; any other format is
    // not guessed at.
    const QJsonValue v = root.value(QLatin1String("version"));
    if (!v.isUndefined() && v != QJsonValue(StateFormat) && v != QJsonValue(2) && v != QJsonValue(1)) {
        file.close();
        const QString aside = m_stateFile + QStringLiteral(".unknown");
        QFile::remove(aside);
        const bool moved = QFile::rename(m_stateFile, aside);
        m_stateNote = QStringLiteral("%1 has a format this version does not know (%2); %3")
                          .arg(m_stateFile, v.toVariant().toString(),
                              moved ? QStringLiteral("set aside as ") + aside : QStringLiteral("not read"));
        return;
    }
    // Times are real times in milliseconds; anything before 2001 is no such time.
    auto instant = [](const QJsonValue &v) {
        const double ms = v.toDouble();
        return ms > 1e12 && ms < 1e14 ? qint64(ms) : qint64(0);
    };
    for (const QJsonValue &v : root.value(QLatin1String("cpus")).toArray()) {
        const QJsonObject o = v.toObject();
        for (Cpu *c : m_fleet.cpus()) {
            if (c->name != o.value(QLatin1String("name")).toString()
                || c->path != o.value(QLatin1String("path")).toString())
                continue;
            MonitorFields &f = c->fields;
            f.Percent = float(o.value(QLatin1String("percent")).toDouble());
            f.LastPercent = float(o.value(QLatin1String("lastPercent")).toDouble());
            f.DownloadPercent = float(o.value(QLatin1String("downloadPercent")).toDouble());
            f.DownloadStart = instant(o.value(QLatin1String("downloadStart")));
            f.downloadSince = instant(o.value(QLatin1String("downloadSince")));
            f.downloadNoticeRed = o.value(QLatin1String("noticeRed")).toBool();
            f.barPercent = float(o.value(QLatin1String("bar")).toDouble());
            if (f.downloadSince > 0)
                c->status.downloadSince = QDateTime::fromMSecsSinceEpoch(f.downloadSince);
            c->cpuSeconds = optional(o.value(QLatin1String("cpuSeconds")));
            c->status.paceSamples.clear();
            for (const QJsonValue &p : o.value(QLatin1String("pace")).toArray())
                if (const qint64 at = instant(p.toArray().at(0)); at > 0)
                    c->status.paceSamples.push_back({ at, float(p.toArray().at(1).toDouble()) });
            Units &units = m_units[c->key];
            units.finished = quint64(qMax(0.0, o.value(QLatin1String("unitsFinished")).toDouble()));
            units.lastWallSeconds = optional(o.value(QLatin1String("lastUnitWall")));
            if (const QString track = o.value(QLatin1String("track")).toString(); !track.isEmpty())
                units.recorder.restore(c->historyKey(), track);
            if (const auto last = optional(o.value(QLatin1String("lastSuccess"))))
                c->status.lastGood = QDateTime::fromMSecsSinceEpoch(qint64(*last * 1000.0));
        }
    }
    const QJsonObject a = root.value(QLatin1String("account")).toObject();
    m_account.received = optional(a.value(QLatin1String("received")));
    m_account.sent = optional(a.value(QLatin1String("sent")));
    m_account.cpuSeconds = optional(a.value(QLatin1String("cpuSeconds")));
    // The leader the next readings are compared with, as the panel's status bar keeps it.
    if (m_account.received)
        m_fleet.totals().setDownloaded(Conv::DoubleText(*m_account.received));
    if (m_account.sent)
        m_fleet.totals().setUploaded(Conv::DoubleText(*m_account.sent));
}
