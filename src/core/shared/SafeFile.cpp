#include "shared/SafeFile.h"

#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace SafeFile {

QString Refusal(const QString &path, Allow allow)
{
#ifdef Q_OS_UNIX
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QString(); // a new file (or a folder the write will then fail on, saying so)
    const char *what = nullptr;
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        what = "a device";
    else if (S_ISFIFO(st.st_mode))
        what = "a FIFO";
    else if (S_ISSOCK(st.st_mode))
        what = "a socket";
    else if (S_ISDIR(st.st_mode) && allow == Allow::File)
        what = "a folder";
    else if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
        what = "not a regular file";
    if (what)
        return QStringLiteral("%1 is %2; only a regular file will do").arg(path, QLatin1String(what));
    return QString();
#else
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !(info.isDir() && allow == Allow::FileOrFolder))
        return QStringLiteral("%1 is not a regular file").arg(path);
    return QString();
#endif
}

bool WriteWhole(const QString &path, const QByteArray &data, QString *error)
{
    if (const QString why = Refusal(path); !why.isEmpty()) {
        *error = why;
        return false;
    }
    // Unbuffered, so a write the disk refuses fails here and not unnoticed inside commit().
    QSaveFile out(path);
    bool ok = out.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    for (qint64 done = 0; ok && done < data.size();) {
        const qint64 n = out.write(data.constData() + done, data.size() - done);
        ok = n > 0;
        done += qMax<qint64>(n, 0);
    }
    if (ok && out.commit())
        return true;
    *error = path + QStringLiteral(": ") + out.errorString();
    out.cancelWriting();
    return false;
}

bool SameFile(const QString &a, const QString &b)
{
    const QFileInfo x(a);
    const QFileInfo y(b);
    if (x.exists() && y.exists())
        return x.canonicalFilePath() == y.canonicalFilePath();
    return x.absoluteFilePath() == y.absoluteFilePath();
}

} // namespace SafeFile
