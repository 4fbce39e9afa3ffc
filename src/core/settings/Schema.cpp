#include "settings/Schema.h"

#include <QDir>

namespace Schema {

QString DefaultCPUPath()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\Program Files\\Seti@Home\\");
#else
    return QDir::homePath() + QStringLiteral("/setiathome/");
#endif
}

QString NetworkCPUPath(const QString &machineName)
{
#ifdef Q_OS_WIN
    return QStringLiteral("\\\\") + machineName + QStringLiteral("\\DriveC\\Program Files\\Seti@home\\");
#else
    return QStringLiteral("/mnt/") + machineName + QStringLiteral("/setiathome/");
#endif
}

} // namespace Schema
