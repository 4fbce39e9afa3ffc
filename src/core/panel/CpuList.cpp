#include "panel/CpuList.h"

#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/bksPublicModule.h"

#include <QMap>

using bksPublicModule::GetField;
using bksPublicModule::IsBlank;

namespace CpuList {

namespace {

    QString cpusList()
    {
        return SettingsStore::get(Schema::AppSettings, Schema::CPUs, QString());
    }

    void setCpusList(const QString &list)
    {
        SettingsStore::save(Schema::AppSettings, Schema::CPUs, list);
    }

    QStringList names(const QString &list)
    {
        QStringList out;
        for (qint16 i = 1; i < 32767; ++i) {
            const QString name = GetField(list, i, QStringLiteral(","));
            if (IsBlank(name))
                break;
            out.append(name);
        }
        return out;
    }

    QString join(const QStringList &list)
    {
        QString out;
        for (const QString &name : list)
            out += name + u',';
        return out;
    }

} // namespace

StoredList Read()
{
    StoredList out;
    // The hand-over entries present, in their order, and how many of them follow on from "0".
    QMap<int, QString> present;
    QStringList numbered; // blank ones included: all of them go once the list is taken over
    for (const QString &section : SettingsStore::sections()) {
        bool number = false;
        const int i = section.toInt(&number);
        if (!number || i < 0 || i >= MaxCpus || section != QString::number(i))
            continue;
        numbered.append(section);
        const QString name = SettingsStore::get(section, Schema::CPUName, QString());
        if (!IsBlank(name))
            present.insert(i, name);
    }
    const QStringList entries = present.values();
    int unbroken = 0;
    while (present.contains(unbroken))
        ++unbroken;
    const QString list = cpusList();
    const std::optional<qint16> count
        = SettingsStore::getInt16(Schema::AppSettings, Schema::TotalCPUs, QStringLiteral("0"));
    const bool believed = count && *count >= 0 && *count <= unbroken;

    if (believed && *count == 0) {
        if (IsBlank(list)) {
            out.cpus.append({ Schema::DefaultCPUName, Schema::DefaultCPUPath() });
            return out;
        }
        for (const QString &name : names(list))
            out.cpus.append({ name, SettingsStore::get(name, Schema::CPUPath, QString()) });
        return out;
    }

    QStringList loaded = believed ? entries.mid(0, *count) : entries;
    if (!believed) {
        for (const QString &name : names(list))
            if (!loaded.contains(name))
                loaded.append(name);
    }
    if (loaded.isEmpty()) {
        out.cpus.append({ Schema::DefaultCPUName, Schema::DefaultCPUPath() });
        return out;
    }
    for (const QString &name : std::as_const(loaded)) {
        QString path = SettingsStore::get(name, Schema::CPUPath, QString());
        if (IsBlank(path))
            path = Schema::DefaultCPUPath();
        out.cpus.append({ name, path });
    }
    out.handOverSections = numbered;
    out.takeOver = true;
    return out;
}

void TakeOver(const StoredList &stored)
{
    if (!stored.takeOver)
        return;
    QStringList loaded;
    for (const auto &cpu : stored.cpus)
        loaded.append(cpu.first);
    const SettingsStore::Batch batch;
    setCpusList(join(loaded));
    for (const QString &section : stored.handOverSections)
        SettingsStore::deleteSection(section);
    SettingsStore::saveInt(Schema::AppSettings, Schema::TotalCPUs, 0);
}

void BeginHandOver()
{
    SettingsStore::saveInt(Schema::AppSettings, Schema::TotalCPUs, 0);
}

QString AppendName(const QString &list, const QString &name)
{
    return list + name + u',';
}

QString ReplaceName(const QString &list, const QString &oldName, const QString &newName)
{
    QStringList all = names(list);
    const qsizetype i = all.indexOf(oldName);
    if (i < 0)
        all.append(newName);
    else
        all[i] = newName;
    return join(all);
}

QString RemoveName(const QString &list, const QString &name)
{
    QStringList all = names(list);
    all.removeOne(name);
    return join(all);
}

void Added(const QString &name)
{
    const QString list = cpusList();
    if (!names(list).contains(name))
        setCpusList(AppendName(list, name));
}

void Renamed(const QString &oldName, const QString &newName)
{
    if (oldName != newName)
        setCpusList(ReplaceName(cpusList(), oldName, newName));
}

void Removed(const QString &name)
{
    setCpusList(RemoveName(cpusList(), name));
}

void ForgetUnloaded(const QString &name)
{
    Removed(name);
    const qint16 n = SettingsStore::getInt16(Schema::AppSettings, Schema::TotalCPUs, QStringLiteral("0")).value_or(0);
    if (!SettingsStore::deleteSection(QString::number(n - 1)))
        return;
    SettingsStore::saveInt(Schema::AppSettings, Schema::TotalCPUs, n - 1);
    SettingsStore::deleteSection(name);
}

} // namespace CpuList
