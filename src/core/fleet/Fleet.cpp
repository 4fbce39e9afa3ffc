#include "fleet/Fleet.h"

#include "monitor/StatusTotals.h"
#include "monitor/UpdateCycle.h"
#include "settings/Options.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/bksPublicModule.h"

#include <QUuid>

using bksPublicModule::IsBlank;

namespace {

const QString CrLf = QStringLiteral("\r\n");

QString nameAndPath(const QString &name, const QString &path)
{
    return CrLf + QStringLiteral("Name: ") + name + CrLf + QStringLiteral("Path: ") + path;
}

} // namespace

Fleet::Fleet(const Options &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_totals(std::make_unique<StatusTotals>())
    , m_cycle(new UpdateCycle(options, this))
{
    m_cycle->setObjectName(QStringLiteral("cycle"));
    m_cycle->setTargets([this] {
        QList<UpdateCycle::Target> targets;
        targets.reserve(m_order.size());
        for (const Cpu *cpu : std::as_const(m_order))
            if (cpu->allowUpdates)
                targets.append({ cpu->key, cpu->path });
        return targets;
    });
    connect(m_cycle, &UpdateCycle::cycleStarted, this, [this] {
        m_totals->resetCurrent();
        m_alarmInCycle = false;
        Q_EMIT cycleStarted();
    });
    connect(m_cycle, &UpdateCycle::readingReady, this, &Fleet::applyReading);
    connect(m_cycle, &UpdateCycle::cycleFinished, this, [this] {
        storeDownloadStarts();
        Q_EMIT cycleFinished();
    });
}

Fleet::~Fleet() = default;

Cpu *Fleet::create(const QString &name, const QString &path)
{
    auto record = std::make_unique<Cpu>();
    Cpu *cpu = record.get();
    cpu->key = m_nextKey++;
    cpu->name = name;
    cpu->path = Cpu::NormalisedPath(path);
    m_records.push_back(std::move(record));
    m_order.append(cpu);
    m_byKey.insert(cpu->key, cpu);
    return cpu;
}

void Fleet::restoreSection(Cpu &cpu) const
{
    // The stored switches decide, also over what the Add dialog gave (a section of that name may
    // be left from before); a value that does not convert leaves the switch as it was.
    if (const auto v = SettingsStore::getBool(cpu.name, Schema::AllowUpdates, Schema::BoolTrue))
        cpu.allowUpdates = *v;
    if (const auto v = SettingsStore::getBool(cpu.name, Schema::PutOnDisplay, Schema::BoolTrue))
        cpu.putOnDisplay = *v;
    cpu.resumeDownload(Cpu::DownloadStartedFromText(SettingsStore::get(cpu.name, Schema::DownloadStarted, QString())));
    cpu.historyId = SettingsStore::get(cpu.name, Schema::HistoryId, QString());
    if (cpu.historyId.isEmpty() && m_storesDownloadStarts) {
        // Stored in one write for every CPU given an id at start-up (storeNewIds).
        cpu.historyId = QUuid::createUuid().toString(QUuid::WithoutBraces);
        m_idsToStore.append(cpu.key);
    }
    applyUsualPace(cpu);
}

void Fleet::note(const QString &text, const Cpu *cpu, LogKind kind)
{
    Q_EMIT logged({ LogEntry {
        text, kind, cpu ? cpu->key : 0, cpu ? cpu->name : QString(), 0, QDateTime::currentDateTimeUtc() } });
}

Cpu *Fleet::restore(const QString &name, const QString &path)
{
    if (IsBlank(name) || IsBlank(path)) {
        note(QStringLiteral("Name or path not valid.") + nameAndPath(name, path), nullptr, LogKind::Failure);
        return nullptr;
    }
    Cpu *cpu = create(name, path);
    restoreSection(*cpu);
    note(QStringLiteral("Loaded successfully.") + nameAndPath(cpu->name, cpu->path), cpu);
    Q_EMIT cpuAdded(cpu->key);
    return cpu;
}

QString Fleet::nameRefusal(const QString &name, quint64 key) const
{
    QStringList others;
    for (const Cpu *cpu : m_order)
        if (cpu->key != key)
            others.append(cpu->name);
    for (const auto &stored : m_notLoaded)
        others.append(stored.first);
    return CpuList::NameRefusal(name, others);
}

Cpu *Fleet::add(const QString &name, const QString &path, bool allowUpdates, bool putOnDisplay)
{
    if (const QString why = CpuList::AddRefusal(m_order.size() + m_notLoaded.size()); !why.isEmpty()) {
        note(why, nullptr, LogKind::Failure);
        return nullptr;
    }
    if (IsBlank(name) || IsBlank(path)) {
        note(QStringLiteral("Name or path not valid.") + nameAndPath(name, path), nullptr, LogKind::Failure);
        return nullptr;
    }
    Cpu *cpu = create(name, path);
    cpu->allowUpdates = allowUpdates;
    cpu->putOnDisplay = putOnDisplay;
    restoreSection(*cpu);
    note(QStringLiteral("Loaded successfully.") + nameAndPath(cpu->name, cpu->path), cpu);
    Q_EMIT cpuAdded(cpu->key);
    const SettingsStore::Batch batch;
    storeSection(*cpu);
    CpuList::Added(cpu->name);
    return cpu;
}

bool Fleet::edit(quint64 key, const QString &name, const QString &path, bool allowUpdates, bool putOnDisplay)
{
    Cpu *cpu = find(key);
    if (!cpu || IsBlank(path) || IsBlank(name))
        return false;
    const QString oldName = cpu->name;
    const QString oldPath = cpu->path;
    cpu->name = name;
    cpu->path = Cpu::NormalisedPath(path);
    cpu->allowUpdates = allowUpdates;
    cpu->putOnDisplay = putOnDisplay;
    const bool reread = oldName != cpu->name || oldPath != cpu->path;
    if (reread)
        m_cycle->forget(key); // a reading on its way belongs to the CPU as it was
    {
        // An old section is kept while another CPU still uses that name.
        const SettingsStore::Batch batch;
        if (oldName != cpu->name) {
            bool shared = false;
            for (const Cpu *other : std::as_const(m_order))
                shared = shared || (other != cpu && other->name == oldName);
            if (!shared && !CpuList::IsReservedName(oldName))
                SettingsStore::deleteSection(oldName);
            CpuList::Renamed(oldName, cpu->name);
        }
        storeSection(*cpu);
        Q_EMIT cpuChanged(key); // the window adds its place to the same write
    }
    return reread;
}

void Fleet::setAllowUpdates(quint64 key, bool on)
{
    if (Cpu *cpu = find(key)) {
        cpu->allowUpdates = on;
        const SettingsStore::Batch batch;
        storeSection(*cpu);
        Q_EMIT cpuChanged(key);
    }
}

void Fleet::setPutOnDisplay(quint64 key, bool on)
{
    if (Cpu *cpu = find(key)) {
        cpu->putOnDisplay = on;
        const SettingsStore::Batch batch;
        storeSection(*cpu);
        Q_EMIT cpuChanged(key);
    }
}

void Fleet::remove(quint64 key)
{
    Cpu *cpu = find(key);
    if (!cpu)
        return;
    m_cycle->forget(key);
    const QString name = cpu->name;
    m_order.removeOne(cpu);
    m_byKey.remove(key);
    {
        const SettingsStore::Batch batch;
        CpuList::Removed(name);
        bool shared = false;
        for (const Cpu *other : std::as_const(m_order))
            shared = shared || other->name == name;
        if (!shared && !CpuList::IsReservedName(name))
            SettingsStore::deleteSection(name);
    }
    Q_EMIT cpuRemoved(key);
    for (auto it = m_records.begin(); it != m_records.end(); ++it) {
        if (it->get() == cpu) {
            m_records.erase(it);
            break;
        }
    }
}

void Fleet::handOver(const QList<QPair<QString, QString>> &unbuilt)
{
    const SettingsStore::Batch batch;
    CpuList::BeginHandOver();
    // Numbered entries from 0 in the CPUs' order; at the top of the count's range an entry
    // cannot be numbered and is left out instead of overflowing.
    qint16 n = 0;
    for (const Cpu *cpu : std::as_const(m_order)) {
        if (n < 32767) {
            SettingsStore::save(QString::number(n), Schema::CPUName, cpu->name);
            ++n;
        }
        storeSection(*cpu);
    }
    SettingsStore::saveInt(Schema::AppSettings, Schema::TotalCPUs, n);
    CpuList::HandOver(unbuilt + m_notLoaded);
}

void Fleet::storeSection(const Cpu &cpu) const
{
    if (IsBlank(cpu.name) || IsBlank(cpu.path))
        return;
    const SettingsStore::Batch batch;
    SettingsStore::save(cpu.name, Schema::CPUPath, cpu.path);
    SettingsStore::saveBool(cpu.name, Schema::AllowUpdates, cpu.allowUpdates);
    SettingsStore::saveBool(cpu.name, Schema::PutOnDisplay, cpu.putOnDisplay);
    if (!cpu.historyId.isEmpty())
        SettingsStore::save(cpu.name, Schema::HistoryId, cpu.historyId);
    if (cpu.fields.downloadSince > 0)
        SettingsStore::save(cpu.name, Schema::DownloadStarted, Cpu::DownloadStartedText(cpu.fields.downloadSince));
    else
        SettingsStore::removeKey(cpu.name, Schema::DownloadStarted);
    m_downloadsToStore.removeOne(cpu.key);
}

void Fleet::storeDownloadStarts()
{
    if (!m_storesDownloadStarts)
        m_downloadsToStore.clear();
    if (m_downloadsToStore.isEmpty())
        return;
    // The cycle's changes in one write.
    const SettingsStore::Batch batch;
    for (quint64 key : std::as_const(m_downloadsToStore)) {
        const Cpu *cpu = find(key);
        if (!cpu)
            continue;
        if (cpu->fields.downloadSince > 0)
            SettingsStore::save(
                cpu->name, Schema::DownloadStarted, Cpu::DownloadStartedText(cpu->fields.downloadSince));
        else
            SettingsStore::removeKey(cpu->name, Schema::DownloadStarted);
    }
    m_downloadsToStore.clear();
}

void Fleet::storeNewIds()
{
    const SettingsStore::Batch batch;
    for (quint64 key : std::as_const(m_idsToStore))
        if (const Cpu *cpu = find(key))
            SettingsStore::save(cpu->name, Schema::HistoryId, cpu->historyId);
    m_idsToStore.clear();
}

void Fleet::readNow(const QList<quint64> &keys)
{
    QList<UpdateCycle::Target> targets;
    targets.reserve(keys.size());
    for (quint64 key : keys)
        if (const Cpu *cpu = find(key))
            targets.append({ key, cpu->path });
    if (!targets.isEmpty())
        m_cycle->readNow(targets);
}

void Fleet::applyReading(quint64 key, const QString &path, const ClientSnapshot &files)
{
    Cpu *cpu = find(key);
    if (!cpu || cpu->path != path || IsBlank(cpu->name) || IsBlank(cpu->path))
        return;
    ReadingContext context;
    context.alarmMinutes = m_options.alarmInterval();
    context.clock = UpdateClock::Now();
    context.shownDownloaded = m_totals->downloadedCount();
    context.shownUploaded = m_totals->uploadedCount();
    const ReadingOutcome outcome = ApplyReading(*cpu, files, context);
    const UpdateResult &r = outcome.result;

    if (r.cpuSeconds)
        m_totals->setContribution(cpu, *r.cpuSeconds);
    if (r.downloaded)
        m_totals->setDownloaded(*r.downloaded);
    if (r.uploaded)
        m_totals->setUploaded(*r.uploaded);
    if (r.totalTimeText)
        m_totals->setTotalTimeText(*r.totalTimeText);
    if (outcome.downloadStartChanged && !m_downloadsToStore.contains(key))
        m_downloadsToStore.append(key);
    if (!m_cycle->isCycling())
        storeDownloadStarts();

    Q_EMIT logged(outcome.log);
    Q_EMIT readingApplied(key, outcome);
    if (outcome.playAlarm) {
        // After a restart with several late downloads, one alarm a cycle rather than one a CPU.
        if (!m_cycle->isCycling())
            Q_EMIT alarmDue();
        else if (!m_alarmInCycle)
            Q_EMIT alarmDue();
        m_alarmInCycle = m_alarmInCycle || m_cycle->isCycling();
    }
}

void Fleet::setUsualPaces(const QHash<QString, double> &perHour)
{
    // Kept for CPUs loaded or added later, as the history may answer before they are.
    for (auto it = perHour.constBegin(); it != perHour.constEnd(); ++it)
        m_usualPaces.insert(it.key(), it.value());
    for (Cpu *cpu : std::as_const(m_order))
        if (perHour.contains(cpu->historyKey()))
            applyUsualPace(*cpu);
}

void Fleet::applyUsualPace(Cpu &cpu) const
{
    const double pace = m_usualPaces.value(cpu.historyKey());
    cpu.status.usualPerHour = pace > 0 ? std::optional<double>(pace) : std::nullopt;
}

QList<WindowView> Fleet::displayViews() const
{
    QList<WindowView> views;
    views.reserve(m_order.size());
    for (const Cpu *cpu : m_order) {
        const CpuState s = cpu->status.state;
        const bool plain = s == CpuState::Working || s == CpuState::Unknown;
        views.append(
            { true, cpu->putOnDisplay, cpu->view.percentText, cpu->name, plain ? QString() : cpu->status.words(), s });
    }
    return views;
}
