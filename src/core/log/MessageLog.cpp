#include "log/MessageLog.h"

#include "shared/bksPublicModule.h"

namespace MessageLog {

QString Entry(const QString &sMessage)
{
    return bksPublicModule::TrimSpaces(sMessage) + QStringLiteral("\r\n");
}

qsizetype CharsToCut(qsizetype length)
{
    return length > TrimAbove ? length - KeepLast : 0;
}

bool IsFailure(const QString &entry)
{
    // The openings and key phrases of every failure text the program writes.
    static const QLatin1String marks[] = {
        QLatin1String("Error #: "),
        QLatin1String("Path not found"),
        QLatin1String("Failed to download new work unit in time given"),
        QLatin1String("Can not access file '"),
        QLatin1String("Downloading not started."),
        QLatin1String("If the percent complete is less than 0.01"),
        QLatin1String("Possible reason is a disk defragmentation program"),
        QLatin1String("\" was not found in "),
        QLatin1String("Name or path not valid."),
        QLatin1String(" could not be saved"),
        QLatin1String("History is off: "),
        QLatin1String("The history file was damaged"),
        QLatin1String("History export failed: "),
    };
    for (const QLatin1String &mark : marks) {
        if (entry.contains(mark))
            return true;
    }
    return false;
}

} // namespace MessageLog
