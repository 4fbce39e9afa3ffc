#include "settings/Options.h"

#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/bksPublicModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

bool OptionValues::operator==(const OptionValues &o) const
{
    return MonitorInterval == o.MonitorInterval && AlarmInterval == o.AlarmInterval && AlarmSound == o.AlarmSound
        && SoundsOn == o.SoundsOn && Scroll == o.Scroll && ScrollInterval == o.ScrollInterval
        && StartMinimized == o.StartMinimized && DisplayTopMost == o.DisplayTopMost && Notifications == o.Notifications;
}

Options::Options(QObject *parent)
    : QObject(parent)
{
}

const std::vector<OptionKey> &Options::Keys()
{
    using V = OptionValues;
    // The Options dialog keeps intervals within 0 to 30000; a value outside that came from a
    // damaged or hand-edited file and would run a cycle every second or an alarm every update.
    static const std::vector<OptionKey> keys {
        { Schema::MonitorInterval, OptionKey::Int16, Schema::DefaultMonitorInterval, 0, 30000, &V::MonitorInterval },
        { Schema::AlarmInterval, OptionKey::Int16, Schema::DefaultAlarmInterval, 0, 30000, &V::AlarmInterval },
        { Schema::AlarmSound, OptionKey::Text, QString(), 0, 0, nullptr, nullptr, &V::AlarmSound },
        { Schema::SoundsOn, OptionKey::Bool, Schema::BoolTrue, 0, 0, nullptr, &V::SoundsOn },
        { Schema::Scroll, OptionKey::Bool, Schema::BoolTrue, 0, 0, nullptr, &V::Scroll },
        { Schema::ScrollInterval, OptionKey::Int16, Schema::DefaultScrollInterval, 0, 30000, &V::ScrollInterval },
        { Schema::StartMinimized, OptionKey::Bool, Schema::BoolFalse, 0, 0, nullptr, &V::StartMinimized },
        { Schema::DisplayTopMost, OptionKey::Bool, Schema::BoolTrue, 0, 0, nullptr, &V::DisplayTopMost },
        { Schema::Notifications, OptionKey::Bool, Schema::BoolTrue, 0, 0, nullptr, &V::Notifications },
    };
    return keys;
}

void Options::setValues(const OptionValues &values)
{
    const OptionValues before = m_values;
    m_values = values;
    for (const OptionKey &k : Keys()) {
        const bool same = k.int16 ? before.*k.int16 == values.*k.int16
            : k.boolean           ? before.*k.boolean == values.*k.boolean
                                  : before.*k.text == values.*k.text;
        if (!same)
            Q_EMIT changed(k.name);
    }
}

void Options::update(const std::function<void(OptionValues &)> &change)
{
    OptionValues v = m_values;
    change(v);
    setValues(v);
}

void Options::setScrollInterval(qint16 seconds)
{
    update([seconds](OptionValues &v) { v.ScrollInterval = seconds; });
}

void Options::setDisplayTopMost(bool on)
{
    update([on](OptionValues &v) { v.DisplayTopMost = on; });
}

namespace modTavrik {

void LoadOptions(Options &options)
{
    using S = SettingsStore;
    const QString &A = Schema::AppSettings;
    OptionValues o = options.values();
    for (const OptionKey &k : Options::Keys()) {
        if (k.int16) {
            if (const auto v = S::getInt16(A, k.name, k.defaultValue))
                o.*k.int16 = (*v < k.min || *v > k.max) ? qint16(k.defaultValue.toInt()) : *v;
        } else if (k.boolean) {
            if (const auto v = S::getBool(A, k.name, k.defaultValue))
                o.*k.boolean = *v;
        } else {
            const QString installed = bksPublicModule::AddTrailingChar(ProgramFolder()) + Schema::AlarmFileName;
            o.*k.text = AlarmSoundOrInstalled(S::get(A, k.name, installed), installed);
        }
    }
    options.setValues(o);
}

bool SaveOptions(const Options &options)
{
    using S = SettingsStore;
    const S::Batch batch;
    bool ok = S::save(Schema::Author, Schema::WrittenBy, Schema::AuthorName);
    ok = S::save(Schema::Author, Schema::Company, Schema::CompanyName) && ok;
    ok = S::save(Schema::Author, Schema::HomeUrl, Schema::ProductHomeUrl) && ok;
    const OptionValues &o = options.values();
    for (const OptionKey &k : Options::Keys()) {
        if (k.int16)
            ok = S::saveInt(Schema::AppSettings, k.name, o.*k.int16) && ok;
        else if (k.boolean)
            ok = S::saveBool(Schema::AppSettings, k.name, o.*k.boolean) && ok;
        else
            ok = S::save(Schema::AppSettings, k.name, o.*k.text) && ok;
    }
    return ok;
}

QString ProgramFolder()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    // An installed program keeps its files in share/tavrik beside bin/.
    const QString installed = QDir(exeDir).absoluteFilePath(QStringLiteral("../share/tavrik"));
    QString folder = exeDir;
    if (!QFileInfo::exists(QDir(exeDir).filePath(Schema::AlarmFileName))
        && QFileInfo::exists(QDir(installed).filePath(Schema::AlarmFileName)))
        folder = QDir::cleanPath(installed);
    return bksPublicModule::AddTrailingChar(QDir::toNativeSeparators(folder));
}

QString AlarmSoundOrInstalled(const QString &stored, const QString &installed)
{
    const QFileInfo file(QDir::fromNativeSeparators(stored));
    // A relative path names no particular folder, so nothing can be said about where it lay.
    if (!file.isAbsolute() || file.exists() || !QFileInfo::exists(QDir::fromNativeSeparators(installed)))
        return stored;
    bool inBuild = file.fileName().compare(Schema::AlarmFileName, Qt::CaseInsensitive) == 0;
    for (QDir dir = file.absoluteDir(); !inBuild; dir.setPath(QDir::cleanPath(dir.filePath(QStringLiteral(".."))))) {
        inBuild = dir.exists(QStringLiteral("CMakeCache.txt"));
        if (dir.isRoot())
            break;
    }
    return inBuild ? installed : stored;
}

QString ProgramVersion()
{
    return QStringLiteral("%1.%2.%3").arg(TAVRIK_VERSION_MAJOR).arg(TAVRIK_VERSION_MINOR).arg(TAVRIK_VERSION_PATCH);
}

} // namespace modTavrik
