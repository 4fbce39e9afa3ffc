#include "common/TestSupport.h"

#include "core/modTavrik.h"
#include "shared/Clock.h"
#include "shared/Prompt.h"
#include "shared/bksPublicModule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

IsolatedSettings::IsolatedSettings()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
    modTavrik::MonitorInterval = 0;
    modTavrik::AlarmInterval = 0;
    modTavrik::ScrollInterval = 0;
    modTavrik::AlarmSound.clear();
    modTavrik::SoundsOn = modTavrik::Scroll = modTavrik::StartMinimized = modTavrik::DisplayTopMost = false;
    Prompt::ClearScripted();
    Clock::SetFake(QDateTime());
}

IsolatedSettings::~IsolatedSettings()
{
    Prompt::ClearScripted();
    bksPublicModule::SetWavePlayer({});
    Clock::SetFake(QDateTime());
}

QString IsolatedSettings::configFile() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("Brakmere/Tavrik.conf"));
}

bool WriteTextFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(content) == content.size();
}
