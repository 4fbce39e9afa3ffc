#include "settings/Options.h"

#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/bksPublicModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace modTavrik {

namespace {

    template <typename T> void assignIf(T &variable, const std::optional<T> &value)
    {
        if (value)
            variable = *value;
    }

} // namespace

void LoadOptions(Options &o)
{
    using S = SettingsStore;
    const QString &A = Schema::AppSettings;
    assignIf(o.MonitorInterval, S::getInt16(A, Schema::MonitorInterval, Schema::DefaultMonitorInterval));
    assignIf(o.AlarmInterval, S::getInt16(A, Schema::AlarmInterval, Schema::DefaultAlarmInterval));
    const QString installedSound = bksPublicModule::AddTrailingChar(ProgramFolder()) + Schema::AlarmFileName;
    o.AlarmSound = AlarmSoundOrInstalled(S::get(A, Schema::AlarmSound, installedSound), installedSound);
    assignIf(o.SoundsOn, S::getBool(A, Schema::SoundsOn, Schema::BoolTrue));
    assignIf(o.Scroll, S::getBool(A, Schema::Scroll, Schema::BoolTrue));
    assignIf(o.ScrollInterval, S::getInt16(A, Schema::ScrollInterval, Schema::DefaultScrollInterval));
    assignIf(o.StartMinimized, S::getBool(A, Schema::StartMinimized, Schema::BoolFalse));
    assignIf(o.DisplayTopMost, S::getBool(A, Schema::DisplayTopMost, Schema::BoolTrue));
    assignIf(o.Notifications, S::getBool(A, Schema::Notifications, Schema::BoolTrue));
    if (const auto days = S::getInt32(A, Schema::KeepHistoryDays, QStringLiteral("0")); days && *days >= 0)
        o.KeepHistoryDays = *days;
    // The Options dialog keeps intervals within 0 to 30000; a value outside that came from a
    // damaged or hand-edited file and would run a cycle every second or an alarm every update.
    auto withinRange = [](qint16 &value, const QString &builtIn) {
        if (value < 0 || value > 30000)
            value = qint16(builtIn.toInt());
    };
    withinRange(o.MonitorInterval, Schema::DefaultMonitorInterval);
    withinRange(o.AlarmInterval, Schema::DefaultAlarmInterval);
    withinRange(o.ScrollInterval, Schema::DefaultScrollInterval);
}

bool SaveOptions(const Options &o)
{
    using S = SettingsStore;
    const S::Batch batch;
    bool ok = S::save(Schema::Author, Schema::WrittenBy, Schema::AuthorName);
    ok = S::save(Schema::Author, Schema::Company, Schema::CompanyName) && ok;
    ok = S::save(Schema::Author, Schema::HomeUrl, Schema::ProductHomeUrl) && ok;
    const QString &A = Schema::AppSettings;
    ok = S::saveInt(A, Schema::MonitorInterval, o.MonitorInterval) && ok;
    ok = S::saveInt(A, Schema::AlarmInterval, o.AlarmInterval) && ok;
    ok = S::save(A, Schema::AlarmSound, o.AlarmSound) && ok;
    ok = S::saveBool(A, Schema::SoundsOn, o.SoundsOn) && ok;
    ok = S::saveBool(A, Schema::Scroll, o.Scroll) && ok;
    ok = S::saveBool(A, Schema::StartMinimized, o.StartMinimized) && ok;
    ok = S::saveInt(A, Schema::ScrollInterval, o.ScrollInterval) && ok;
    ok = S::saveBool(A, Schema::Notifications, o.Notifications) && ok;
    ok = S::saveInt(A, Schema::KeepHistoryDays, o.KeepHistoryDays) && ok;
    return S::saveBool(A, Schema::DisplayTopMost, o.DisplayTopMost) && ok;
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
