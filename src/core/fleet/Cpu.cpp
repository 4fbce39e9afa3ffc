#include "fleet/Cpu.h"

#include "shared/bksPublicModule.h"

QString Cpu::NormalisedPath(const QString &path)
{
    return bksPublicModule::AddTrailingChar(path);
}

QString Cpu::DownloadStartedText(qint64 utcMs)
{
    return utcMs > 0 ? QDateTime::fromMSecsSinceEpoch(utcMs, Qt::UTC).toString(Qt::ISODateWithMs) : QString();
}

qint64 Cpu::DownloadStartedFromText(const QString &text)
{
    const QDateTime t = QDateTime::fromString(text.trimmed(), Qt::ISODateWithMs);
    return t.isValid() && t.toMSecsSinceEpoch() > 0 ? t.toMSecsSinceEpoch() : 0;
}

void Cpu::resumeDownload(qint64 sinceUtcMs)
{
    if (sinceUtcMs <= 0)
        return;
    // Only a finished unit is waited for: at 100 % and unmoved, the next reading times it.
    fields.Percent = fields.LastPercent = 100.0f;
    fields.barPercent = 100.0f;
    fields.DownloadStart = fields.downloadSince = sinceUtcMs;
    status.state = CpuState::Downloading;
    status.percent = 100.0f;
    status.downloadSince = QDateTime::fromMSecsSinceEpoch(sinceUtcMs);
    // As the watch's first reading left the window before the restart.
    view.downloadingVisible = true;
    view.downloadCaption = QStringLiteral("Downloading a new work unit...");
    view.percentRed = true;
}

ReadingOutcome ApplyReading(Cpu &cpu, const ClientSnapshot &files, const ReadingContext &context)
{
    UpdateInput in;
    in.name = cpu.name;
    in.path = cpu.path;
    in.files = files;
    in.fields = cpu.fields;
    in.alarmInterval = context.alarmMinutes;
    in.now = context.clock.utcMs;
    in.date = context.clock.date;
    in.shownDownloaded = context.shownDownloaded;
    in.shownUploaded = context.shownUploaded;

    ReadingOutcome out;
    out.result = StatsInterpreter::Run(in);
    const UpdateResult &r = out.result;
    out.stateBefore = cpu.status.state;
    out.playAlarm = r.playAlarm;
    out.downloadStartChanged = r.fields.downloadSince != cpu.fields.downloadSince;

    cpu.fields = r.fields;
    CpuView &v = cpu.view;
    if (r.percentRed)
        v.percentRed = *r.percentRed;
    if (r.percentText)
        v.percentText = *r.percentText;
    if (r.downloadingVisible)
        v.downloadingVisible = *r.downloadingVisible;
    if (r.downloadCaption)
        v.downloadCaption = *r.downloadCaption;
    if (r.cpuTimeText)
        v.cpuTimeText = *r.cpuTimeText;
    if (r.unitNumberText)
        v.unitNumberText = *r.unitNumberText;
    if (r.downloadedText)
        v.downloadedText = *r.downloadedText;
    if (r.uploadedText)
        v.uploadedText = *r.uploadedText;
    if (r.cpuSeconds)
        cpu.cpuSeconds = *r.cpuSeconds;
    cpu.lastFailureCode = r.failure;
    if (r.failure)
        ++cpu.failureCounts[r.failure];

    // Kept in UTC: the state's arithmetic needs no time zone, only what is shown does.
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(context.clock.utcMs, Qt::UTC);
    cpu.status = CpuStatus::Next(cpu.status, r, now, context.alarmMinutes);

    const QDateTime &at = now;
    out.log.reserve(r.log.size());
    for (const UpdateResult::Line &line : r.log)
        out.log.append({ line.text, line.kind, cpu.key, cpu.name, line.kind == LogKind::Failure ? r.failure : 0, at });
    return out;
}
