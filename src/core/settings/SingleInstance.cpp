#include "settings/SingleInstance.h"

#include "settings/Schema.h"
#include "settings/SettingsStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>

namespace {

// Windows has no per-session folder (Qt answers the home folder): the lock goes to the user's
// temporary folder, and the channel is a bare pipe name.
QString runtimeFolder()
{
#ifdef Q_OS_WIN
    return QString();
#else
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
#endif
}

} // namespace

SingleInstance::SingleInstance(const QString &lockDir)
{
    QString dir = lockDir;
    QString name = QStringLiteral("tavrik.lock");
    if (dir.isEmpty()) {
        dir = runtimeFolder();
        if (dir.isEmpty()) {
            // The temporary directory is shared between users: keep one lock per user.
            dir = QDir::tempPath();
            name = QStringLiteral("tavrik-%1.lock").arg(qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME")));
        }
    }
    QDir().mkpath(dir);
    m_path = QDir(dir).filePath(name);
    m_lock = std::make_unique<QLockFile>(m_path);
    // No age limit: a live copy may hold the lock for weeks. A lock whose process is gone (or
    // whose PID now belongs to another program, or which predates a reboot) is stale at once.
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::ChannelName()
{
    const QString settings = SettingsStore::fileName();
    const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    const QByteArray hash = QCryptographicHash::hash((user + u'\n' + settings).toUtf8(), QCryptographicHash::Sha1);
    const QString name = QStringLiteral("tavrik-%1-%2").arg(user, QString::fromLatin1(hash.toHex().left(16)));
    const QString runtime = runtimeFolder();
    return runtime.isEmpty() ? name : QDir(runtime).filePath(name);
}

bool SingleInstance::tryAcquire()
{
    return m_lock->tryLock(0);
}
