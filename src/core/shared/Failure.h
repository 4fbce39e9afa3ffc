#pragma once

#include <QFileDevice>
#include <QString>

// Numeric failure codes shown to the user in the message log, with their descriptions.
namespace Failure {

enum Code : int {
    None = 0,
    InvalidCall = 5,
    Overflow = 6,
    TypeMismatch = 13,
    BadFileName = 52,
    FileNotFound = 53,
    TooManyFiles = 67,
    PermissionDenied = 70,
    PathNotFound = 76,
    InvalidPropertyValue = 380,
    FileTooLarge = 7, // a client file far beyond any real client's size
    AccessError = 75, // any other failure to open or read a file
};

QString Description(int code);

// Maps an errno from opening or reading a file. dirExists tells a missing file (53) from a
// missing directory or unreachable machine (76).
int FromErrno(int err, bool dirExists);

#ifdef Q_OS_WIN
// Maps a GetLastError() code from opening, reading or asking after a file. Windows tells a missing
// folder or share (ERROR_PATH_NOT_FOUND, ERROR_BAD_NETPATH) from a missing file by itself.
int FromWin32(unsigned long err);
#endif

} // namespace Failure
