#include "core/modTavrik.h"

#include "core/Conv.h"
#include "core/Schema.h"
#include "core/SettingsStore.h"
#include "shared/bksPublicModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace modTavrik {

QString SettingsRoot;
qint16 MonitorInterval = 0;
qint16 AlarmInterval = 0;
QString AlarmSound;
bool SoundsOn = false;
bool Scroll = false;
qint16 ScrollInterval = 0;
bool StartMinimized = false;
bool DisplayTopMost = false;

namespace {

template <typename T>
void assignIf(T &variable, const std::optional<T> &value)
{
    if (value)
        variable = *value;
}

} // namespace

void LoadOptions()
{
    using S = SettingsStore;
    const QString &A = Schema::AppSettings;
    assignIf(MonitorInterval, S::getInt16(A, Schema::MonitorInterval, Schema::DefaultMonitorInterval));
    assignIf(AlarmInterval, S::getInt16(A, Schema::AlarmInterval, Schema::DefaultAlarmInterval));
    AlarmSound = S::get(A, Schema::AlarmSound,
                        bksPublicModule::AddTrailingChar(ProgramFolder()) + Schema::AlarmFileName);
    assignIf(SoundsOn, S::getBool(A, Schema::SoundsOn, Schema::BoolTrue));
    assignIf(Scroll, S::getBool(A, Schema::Scroll, Schema::BoolTrue));
    assignIf(ScrollInterval, S::getInt16(A, Schema::ScrollInterval, Schema::DefaultScrollInterval));
    assignIf(StartMinimized, S::getBool(A, Schema::StartMinimized, Schema::BoolFalse));
    assignIf(DisplayTopMost, S::getBool(A, Schema::DisplayTopMost, Schema::BoolTrue));
}

bool SaveOptions()
{
    using S = SettingsStore;
    bool ok = S::save(Schema::Author, Schema::WrittenBy, Schema::AuthorName);
    ok = S::save(Schema::Author, Schema::Company, Schema::CompanyName) && ok;
    ok = S::save(Schema::Author, Schema::HomeUrl, Schema::ProductHomeUrl) && ok;
    const QString &A = Schema::AppSettings;
    ok = S::saveInt(A, Schema::MonitorInterval, MonitorInterval) && ok;
    ok = S::saveInt(A, Schema::AlarmInterval, AlarmInterval) && ok;
    ok = S::save(A, Schema::AlarmSound, AlarmSound) && ok;
    ok = S::saveBool(A, Schema::SoundsOn, SoundsOn) && ok;
    ok = S::saveBool(A, Schema::Scroll, Scroll) && ok;
    ok = S::saveBool(A, Schema::StartMinimized, StartMinimized) && ok;
    ok = S::saveInt(A, Schema::ScrollInterval, ScrollInterval) && ok;
    return S::saveBool(A, Schema::DisplayTopMost, DisplayTopMost) && ok;
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

QString ProgramVersion()
{
    return QStringLiteral("%1.%2.%3").arg(TAVRIK_VERSION_MAJOR).arg(TAVRIK_VERSION_MINOR).arg(TAVRIK_VERSION_PATCH);
}

} // namespace modTavrik
