#include "shared/Failure.h"

#include <cerrno>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace Failure {

QString Description(int code)
{
    switch (code) {
    case InvalidCall:
        return QStringLiteral("Invalid procedure call or argument");
    case Overflow:
        return QStringLiteral("Overflow");
    case FileTooLarge:
        return QStringLiteral("File too large");
    case TypeMismatch:
        return QStringLiteral("Type mismatch");
    case BadFileName:
        return QStringLiteral("Bad file name or number");
    case FileNotFound:
        return QStringLiteral("File not found");
    case TooManyFiles:
        return QStringLiteral("Too many files");
    case PermissionDenied:
        return QStringLiteral("Permission denied");
    case AccessError:
        return QStringLiteral("Path/File access error");
    case PathNotFound:
        return QStringLiteral("Path not found");
    case InvalidPropertyValue:
        return QStringLiteral("Invalid property value");
    default:
        return QStringLiteral("Application-defined or object-defined error");
    }
}

int FromErrno(int err, bool dirExists)
{
    switch (err) {
    case 0:
        return None;
    case ENOENT:
        return dirExists ? FileNotFound : PathNotFound;
    case EMFILE:
    case ENFILE:
        return TooManyFiles;
    case EACCES:
    case EPERM:
        return PermissionDenied;
    case ENAMETOOLONG:
    case EINVAL:
        return BadFileName;
    case EISDIR:
        return AccessError;
    case ENOTDIR: // a part of the path is a file: the directory does not exist
#ifdef EHOSTDOWN
    case EHOSTDOWN:
#endif
#ifdef ENOTCONN
    case ENOTCONN:
#endif
#ifdef ESTALE
    case ESTALE:
#endif
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENODEV:
    case ENXIO:
    case ETIMEDOUT:
    case EIO:
        return PathNotFound; // an unmounted or unreachable share
    default:
        return AccessError;
    }
}

#ifdef Q_OS_WIN
int FromWin32(unsigned long err)
{
    switch (err) {
    case ERROR_SUCCESS:
        return None;
    case ERROR_FILE_NOT_FOUND:
        return FileNotFound;
    case ERROR_TOO_MANY_OPEN_FILES:
        return TooManyFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: // the client holds the file without sharing it
    case ERROR_LOCK_VIOLATION:
        return PermissionDenied;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_INVALID_PARAMETER:
        return BadFileName;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY: // a part of the path is a file: the folder does not exist
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_HOST_UNREACHABLE:
    case ERROR_SEM_TIMEOUT:
        return PathNotFound; // an unmapped drive or an unreachable share
    default:
        return AccessError;
    }
}
#endif

} // namespace Failure
