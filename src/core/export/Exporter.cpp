#include "export/Exporter.h"

#include "history/HistoryStore.h"
#include "panel/CpuList.h"
#include "settings/Conv.h"
#include "settings/Options.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/Clock.h"
#include "shared/Failure.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

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
    , m_options(options)
    , m_textFile(textFile)
    , m_cycle(options)
{
    m_cycle.setTargets([this] {
        QList<UpdateCycle::Target> targets;
        targets.reserve(m_cpus.size());
        for (qsizetype i = 0; i < m_cpus.size(); ++i)
            targets.append({ quint64(i), m_cpus[i].path });
        return targets;
    });
    connect(&m_cycle, &UpdateCycle::cycleStarted, this, [this] { m_cycleTime.start(); });
    connect(&m_cycle, &UpdateCycle::readingReady, this, &Exporter::onReading);
    connect(&m_cycle, &UpdateCycle::cycleFinished, this, &Exporter::onCycleFinished);
}

QList<Exporter::Cpu> Exporter::StoredCpus()
{
    QList<Cpu> out;
    for (const auto &[name, path] : CpuList::Read().cpus) {
        if (SettingsStore::getBool(name, Schema::AllowUpdates, Schema::BoolTrue).value_or(true))
            out.append({ name, path, SettingsStore::get(name, Schema::HistoryId, QString()) });
    }
    return out;
}

void Exporter::setCpus(const QList<Cpu> &cpus)
{
    m_cpus.clear();
    for (const Cpu &c : cpus) {
        ExportedCpu e;
        e.name = c.name;
        e.path = c.path;
        e.historyId = c.historyId.isEmpty() ? c.name : c.historyId;
        e.metrics.name = c.name;
        m_cpus.append(e);
    }
    loadState();
}

void Exporter::setStateFile(const QString &file)
{
    m_stateFile = file;
    loadState();
}

void Exporter::setHistoryFile(const QString &file)
{
    delete m_history;
    m_history = file.isEmpty() ? nullptr : new HistoryStore(file, this);
}

void Exporter::runCycle()
{
    m_cycle.refresh();
}

void Exporter::stop()
{
    m_cycle.stop();
}

void Exporter::Apply(ExportedCpu &cpu, ExportedAccount &account, const ClientSnapshot &files, qint16 alarmInterval,
    const UpdateClock &clock, double unixTime, HistoryObservation *observed)
{
    UpdateInput in;
    in.name = cpu.name;
    in.path = cpu.path;
    in.files = files;
    in.fields = cpu.fields;
    in.alarmInterval = alarmInterval;
    in.clock = clock.seconds;
    in.date = clock.date;
    in.shownDownloaded = account.shownDownloaded;
    in.shownUploaded = account.shownUploaded;
    const UpdateResult r = StatsInterpreter::Run(in);

    cpu.fields = r.fields;
    CpuMetrics &m = cpu.metrics;
    m.failure = r.failure;
    if (r.failure)
        ++m.failures[r.failure];
    else
        m.lastSuccess = unixTime;
    m.progressRatio = Ratio(cpu.fields.Percent);
    if (r.cpuSeconds)
        m.cpuSeconds = *r.cpuSeconds;

    if (r.downloaded) {
        account.shownDownloaded = Conv::Val(*r.downloaded);
        account.metrics.received = account.shownDownloaded;
    }
    if (r.uploaded) {
        account.shownUploaded = Conv::Val(*r.uploaded);
        account.metrics.sent = account.shownUploaded;
    }
    if (r.totalSeconds)
        account.metrics.cpuSeconds = *r.totalSeconds;

    const QDateTime now = QDateTime::fromMSecsSinceEpoch(qint64(unixTime * 1000.0));
    cpu.status = CpuStatus::Next(cpu.status, r, now, alarmInterval);
    switch (cpu.status.state) {
    case CpuState::Unknown:
    case CpuState::Working:
        m.state = MetricState::Working;
        break;
    case CpuState::Downloading:
        m.state = MetricState::Downloading;
        break;
    case CpuState::Stalled:
        m.state = MetricState::Stalled;
        break;
    case CpuState::DownloadLate:
        m.state = MetricState::DownloadLate;
        break;
    case CpuState::Unreachable:
        m.state = MetricState::Unreachable;
        break;
    case CpuState::Failed:
        m.state = MetricState::Failed;
        break;
    }
    // The units it finishes, found as the panel's history finds them.
    const HistoryObservation o = HistoryStore::Observation(cpu.historyId, cpu.name, r, cpu.status, now.toUTC());
    HistoryChanges changes;
    cpu.recorder.observe(o, changes);
    for (const UnitRecord &u : changes.units) {
        ++m.unitsFinished;
        m.lastUnitWallSeconds = double(u.finishedAt - u.firstSeen);
    }
    if (observed)
        *observed = o;

    const bool waiting = m.state == MetricState::Downloading || m.state == MetricState::DownloadLate;
    const QDateTime &since = cpu.status.downloadSince;
    m.downloadSeconds = waiting && since.isValid() ? std::max(0.0, since.msecsTo(now) / 1000.0) : 0;
}

ExportSnapshot Exporter::snapshot() const
{
    ExportSnapshot s;
    s.cpus.reserve(m_cpus.size());
    for (const ExportedCpu &c : m_cpus)
        s.cpus.append(c.metrics);
    s.account = m_account.metrics;
    s.cycleSeconds = m_cycleSeconds;
    return s;
}

void Exporter::onReading(quint64 key, const QString &path, const ClientSnapshot &files)
{
    if (key >= quint64(m_cpus.size()) || m_cpus[qsizetype(key)].path != path)
        return;
    const double unixTime = double(Clock::Now().toMSecsSinceEpoch()) / 1000.0;
    HistoryObservation observed;
    Apply(m_cpus[qsizetype(key)], m_account, files, m_options.AlarmInterval, UpdateClock::Now(), unixTime, &observed);
    if (m_history)
        m_history->observe(observed);
}

void Exporter::onCycleFinished()
{
    m_cycleSeconds = double(m_cycleTime.nsecsElapsed()) / 1e9;
    if (m_history)
        m_history->cycleFinished();
    m_error.clear();
    bool ok = writeText(m_textFile, MetricsText::Render(snapshot()));
    if (!m_stateFile.isEmpty())
        ok = writeText(m_stateFile, stateText()) && ok;
    Q_EMIT cycleWritten(ok);
}

bool Exporter::writeText(const QString &file, const QByteArray &text)
{
    // A temporary file in the same folder, renamed over the old one once complete.
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly) && out.write(text) == text.size() && out.commit())
        return true;
    m_error += (m_error.isEmpty() ? QString() : QStringLiteral("; ")) + file + QStringLiteral(": ") + out.errorString();
    return false;
}

QByteArray Exporter::stateText() const
{
    QJsonArray cpus;
    for (const ExportedCpu &c : m_cpus) {
        const MonitorFields &f = c.fields;
        cpus.append(QJsonObject { { "name", c.name }, { "path", c.path }, { "percent", double(f.Percent) },
            { "lastPercent", double(f.LastPercent) }, { "downloadPercent", double(f.DownloadPercent) },
            { "downloadStart", f.DownloadStart }, { "noticeRed", f.downloadNoticeRed }, { "bar", double(f.barPercent) },
            { "downloadSince",
                c.status.downloadSince.isValid() ? double(c.status.downloadSince.toMSecsSinceEpoch()) : 0.0 },
            { "cpuSeconds", optional(c.metrics.cpuSeconds) }, { "lastSuccess", optional(c.metrics.lastSuccess) },
            { "unitsFinished", double(c.metrics.unitsFinished) },
            { "lastUnitWall", optional(c.metrics.lastUnitWallSeconds) }, { "track", c.recorder.saved(c.historyId) } });
    }
    const AccountMetrics &a = m_account.metrics;
    const QJsonObject account { { "received", optional(a.received) }, { "sent", optional(a.sent) },
        { "cpuSeconds", optional(a.cpuSeconds) } };
    return QJsonDocument(QJsonObject { { "version", StateVersion }, { "cpus", cpus }, { "account", account } })
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
    // The first format had no version; a later one may mean something else by the same keys.
    if (root.value(QLatin1String("version")).toInt(1) > StateVersion)
        return;
    for (const QJsonValue &v : root.value(QLatin1String("cpus")).toArray()) {
        const QJsonObject o = v.toObject();
        for (ExportedCpu &c : m_cpus) {
            if (c.name != o.value(QLatin1String("name")).toString()
                || c.path != o.value(QLatin1String("path")).toString())
                continue;
            MonitorFields &f = c.fields;
            f.Percent = float(o.value(QLatin1String("percent")).toDouble());
            f.LastPercent = float(o.value(QLatin1String("lastPercent")).toDouble());
            f.DownloadPercent = float(o.value(QLatin1String("downloadPercent")).toDouble());
            f.DownloadStart = qint32(o.value(QLatin1String("downloadStart")).toInt());
            f.downloadNoticeRed = o.value(QLatin1String("noticeRed")).toBool();
            f.barPercent = float(o.value(QLatin1String("bar")).toDouble());
            // Kept in milliseconds since the epoch; 0 while the client was not waiting.
            if (const double since = o.value(QLatin1String("downloadSince")).toDouble(); since > 0)
                c.status.downloadSince = QDateTime::fromMSecsSinceEpoch(qint64(since));
            c.metrics.cpuSeconds = optional(o.value(QLatin1String("cpuSeconds")));
            c.metrics.lastSuccess = optional(o.value(QLatin1String("lastSuccess")));
            c.metrics.progressRatio = Ratio(f.Percent);
            c.metrics.unitsFinished = quint64(o.value(QLatin1String("unitsFinished")).toDouble());
            c.metrics.lastUnitWallSeconds = optional(o.value(QLatin1String("lastUnitWall")));
            if (const QString track = o.value(QLatin1String("track")).toString(); !track.isEmpty())
                c.recorder.restore(c.historyId, track);
        }
    }
    const QJsonObject a = root.value(QLatin1String("account")).toObject();
    m_account.metrics.received = optional(a.value(QLatin1String("received")));
    m_account.metrics.sent = optional(a.value(QLatin1String("sent")));
    m_account.metrics.cpuSeconds = optional(a.value(QLatin1String("cpuSeconds")));
    m_account.shownDownloaded = m_account.metrics.received.value_or(0);
    m_account.shownUploaded = m_account.metrics.sent.value_or(0);
}
