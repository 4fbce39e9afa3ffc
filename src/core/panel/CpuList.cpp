#include "panel/CpuList.h"

#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/bksPublicModule.h"

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

void Build(const LoadCpu &loadCpu)
{
    const qint16 n = SettingsStore::getInt16(Schema::AppSettings, Schema::TotalCPUs, QStringLiteral("0")).value_or(0);
    if (n == 0) {
        const QString list = cpusList();
        if (IsBlank(list)) {
            loadCpu(Schema::DefaultCPUName, Schema::DefaultCPUPath());
            return;
        }
        for (const QString &name : names(list))
            loadCpu(name, SettingsStore::get(name, Schema::CPUPath, QString()));
        return;
    }
    for (qint16 i = 0; i < n; ++i) {
        const QString section = QString::number(i);
        QString name = SettingsStore::get(section, Schema::CPUName, QString());
        if (IsBlank(name))
            name = Schema::DefaultCPUName;
        QString path = SettingsStore::get(name, Schema::CPUPath, QString());
        if (IsBlank(path))
            path = Schema::DefaultCPUPath();
        loadCpu(name, path);
        setCpusList(AppendName(cpusList(), name));
        SettingsStore::deleteSection(section);
    }
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
