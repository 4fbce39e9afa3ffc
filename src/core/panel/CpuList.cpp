#include "panel/CpuList.h"

#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/bksPublicModule.h"

#include <QHash>
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

bool SameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool IsReservedName(const QString &name)
{
    const QString trimmed = name.trimmed();
    for (const QString &own : { Schema::AppSettings, Schema::Author, Schema::Message, Schema::SDisplay,
             Schema::MainWindow, Schema::Overview, QStringLiteral("General") })
        if (SameName(trimmed, own))
            return true;
    // Any whole number, so no spelling of one ever meets a hand-over entry.
    bool number = false;
    trimmed.toLongLong(&number);
    return number;
}

QString NameRefusal(const QString &name, const QStringList &otherNames)
{
    if (IsReservedName(name))
        return QStringLiteral("The name \"%1\" is kept for the panel's own settings; choose another.").arg(name);
    for (const QString &other : otherNames)
        if (SameName(name.trimmed(), other.trimmed()))
            return QStringLiteral("A CPU named \"%1\" is already listed; choose another name.").arg(other);
    return QString();
}

QString AddRefusal(qsizetype count)
{
    if (count < MaxCpus)
        return QString();
    return QStringLiteral("The panel holds %1 CPUs, as many as it can; remove one before adding another.").arg(MaxCpus);
}

QString SafeName(const QString &name, const QStringList &taken)
{
    for (int i = 2;; ++i) {
        const QString candidate = QStringLiteral("%1 (%2)").arg(name).arg(i);
        if (NameRefusal(candidate, taken).isEmpty())
            return candidate;
    }
}

namespace {

    // Duplicates merged, reserved names moved, the rest past MaxCpus set apart; paths read for the
    // loaded ones (a blank path becomes the default where blankIsDefault).
    void settle(StoredList &out, const QStringList &stored, bool blankIsDefault)
    {
        QStringList kept;
        QStringList merged;
        QHash<QString, bool> seen;
        for (const QString &name : stored) {
            const QString key = name.toCaseFolded();
            if (seen.contains(key)) {
                merged.append(name);
                continue;
            }
            seen.insert(key, true);
            kept.append(name);
        }
        if (!merged.isEmpty())
            out.notes.append(QStringLiteral("%1 CPU name(s) listed twice were merged (names are compared without "
                                            "letter case): %2.")
                                 .arg(merged.size())
                                 .arg(merged.join(QStringLiteral(", "))));
        for (qsizetype i = 0; i < kept.size(); ++i) {
            const QString name = kept[i];
            QString path;
            if (IsReservedName(name)) {
                const QString safe = SafeName(name, kept);
                out.notes.append(QStringLiteral("The CPU \"%1\" is loaded as \"%2\": its name is kept for the "
                                                "panel's own settings.")
                                     .arg(name, safe));
                path = SettingsStore::get(name, Schema::CPUPath, QString());
                if (IsBlank(path))
                    path = Schema::DefaultCPUPath();
                kept[i] = safe;
            } else if (i < MaxCpus) {
                path = SettingsStore::get(name, Schema::CPUPath, QString());
                if (blankIsDefault && IsBlank(path))
                    path = Schema::DefaultCPUPath();
            }
            (i < MaxCpus ? out.cpus : out.notLoaded).append({ kept[i], path });
        }
        if (!out.notLoaded.isEmpty())
            out.notes.append(QStringLiteral("%1 stored CPU(s) were not loaded: the panel shows at most %2. They stay "
                                            "stored as they are.")
                                 .arg(out.notLoaded.size())
                                 .arg(MaxCpus));
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
        if (!number || i < 0 || i >= MaxEntries || section != QString::number(i))
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
        if (IsBlank(list))
            out.cpus.append({ Schema::DefaultCPUName, Schema::DefaultCPUPath() });
        else
            settle(out, names(list), false);
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
    settle(out, loaded, true);
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
    for (const auto &cpu : stored.notLoaded)
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

void HandOver(const QList<QPair<QString, QString>> &cpus)
{
    const SettingsStore::Batch batch;
    qint16 n = SettingsStore::getInt16(Schema::AppSettings, Schema::TotalCPUs, QStringLiteral("0")).value_or(0);
    for (const auto &[name, path] : cpus) {
        if (n >= MaxEntries)
            break;
        if (!IsBlank(path) && IsBlank(SettingsStore::get(name, Schema::CPUPath, QString())))
            SettingsStore::save(name, Schema::CPUPath, path);
        SettingsStore::save(QString::number(n), Schema::CPUName, name);
        ++n;
    }
    SettingsStore::saveInt(Schema::AppSettings, Schema::TotalCPUs, n);
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
    if (!IsReservedName(name))
        SettingsStore::deleteSection(name);
}

} // namespace CpuList
