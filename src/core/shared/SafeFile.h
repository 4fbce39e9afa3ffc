#pragma once

#include <QByteArray>
#include <QString>

// Files the programs write on a user's or an administrator's word (--textfile, --state, the
// settings file): never a device, a FIFO or a socket, and never left half written.
namespace SafeFile {

enum class Allow { File, FileOrFolder };

// Empty when the path may be written: a regular file, a path that does not exist yet, or (with
// FileOrFolder) a folder. Otherwise the reason, naming the path. Symbolic links are followed;
// nothing is opened, so a FIFO cannot block the caller.
QString Refusal(const QString &path, Allow allow = Allow::File);

// Replaces the file whole through a temporary file in its folder: on any failure (a full disk
// included) the old file stays as it was and error says why, naming the file.
bool WriteWhole(const QString &path, const QByteArray &data, QString *error);

// Whether two paths name the same file (the same one once links are followed, or the same
// absolute path when it does not exist yet).
bool SameFile(const QString &a, const QString &b);

} // namespace SafeFile
