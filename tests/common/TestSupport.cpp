#include "common/TestSupport.h"

#include "shared/Clock.h"
#ifdef TAVRIK_TEST_GUI
#include "shared/Prompt.h"
#include "shared/bksPublicWindows.h"
#endif

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

IsolatedSettings::IsolatedSettings()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
#ifdef TAVRIK_TEST_GUI
    Prompt::ClearScripted();
#endif
    Clock::SetFake(QDateTime());
}

IsolatedSettings::~IsolatedSettings()
{
#ifdef TAVRIK_TEST_GUI
    Prompt::ClearScripted();
    bksPublicModule::SetWavePlayer({});
#endif
    Clock::SetFake(QDateTime());
}

QString IsolatedSettings::configFile() const
{
#ifdef Q_OS_WIN
    return QDir(m_dir.path()).filePath(QStringLiteral("Brakmere/Tavrik.ini"));
#else
    return QDir(m_dir.path()).filePath(QStringLiteral("Brakmere/Tavrik.conf"));
#endif
}

bool WriteTextFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(content) == content.size();
}
