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

} // namespace MessageLog
