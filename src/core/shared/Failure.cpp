#include "shared/Failure.h"

#include <cerrno>

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

} // namespace Failure
