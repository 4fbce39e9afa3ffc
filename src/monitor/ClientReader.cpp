#include "monitor/ClientReader.h"

#include "core/Failure.h"

#include <QFile>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QDir>
#include <QFileInfo>
#endif

const QString ClientReader::StateFile = QStringLiteral("State.txt");
const QString ClientReader::UserFile = QStringLiteral("User_Info.txt");
const QString ClientReader::WtempFile = QStringLiteral("wtemp.txt");

namespace {

QString tooLargeDetail(const QString &path)
{
    return QStringLiteral("%1 is larger than %2 bytes; it was not read.").arg(path).arg(ClientReader::MaxFileSize);
}

QString notAFileDetail(const QString &path)
{
    return QStringLiteral("%1 is not a plain file; it was not read.").arg(path);
}

} // namespace

// The folder the files are looked up in, with the case-insensitive fallback and the test that
// tells a missing file from a missing folder. The folder is listed at most once per reading.
class ClientReader::Directory
{
public:
    explicit Directory(const QString &dir)
        : m_dir(dir)
    {
        const qsizetype cut = dir.lastIndexOf(u'/');
#ifndef Q_OS_UNIX
        const qsizetype cut2 = dir.lastIndexOf(u'\\');
        m_folder = dir.left(qMax(cut, cut2) + 1);
#else
        m_folder = dir.left(cut + 1);
#endif
        m_prefix = dir.mid(m_folder.size());
    }

    QString path(const QString &name) const { return m_dir + name; }

    // The entry that stands for dir + name when the exact name is not there: the only name in the
    // folder equal to it apart from letter case. Empty when there is none.
    QString caseMatch(const QString &name)
    {
        if (!m_listed) {
            m_listed = true;
            m_entries = list();
        }
        const QString wanted = m_prefix + name;
        for (const QString &entry : std::as_const(m_entries)) {
            if (entry != wanted && entry.compare(wanted, Qt::CaseInsensitive) == 0)
                return m_folder + entry;
        }
        return QString();
    }

    // The code of a file that is not there: 53 in a folder that exists, otherwise what the folder's
    // own failure maps to (76 when it or its machine cannot be reached).
    int missingCode()
    {
        if (m_missingCode < 0)
            m_missingCode = probeFolder();
        return m_missingCode;
    }

private:
#ifdef Q_OS_UNIX
    QStringList list() const
    {
        QStringList out;
        DIR *d = ::opendir(m_folder.isEmpty() ? "." : QFile::encodeName(m_folder).constData());
        if (!d)
            return out;
        while (const dirent *e = ::readdir(d))
            out.append(QFile::decodeName(e->d_name));
        ::closedir(d);
        return out;
    }

    int probeFolder() const
    {
        struct stat st;
        if (::stat(m_folder.isEmpty() ? "." : QFile::encodeName(m_folder).constData(), &st) != 0)
            return Failure::FromErrno(errno, false);
        return S_ISDIR(st.st_mode) ? int(Failure::FileNotFound) : Failure::FromErrno(ENOTDIR, false);
    }
#else
    QStringList list() const
    {
        return QDir(m_folder.isEmpty() ? QStringLiteral(".") : m_folder)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
    }

    int probeFolder() const
    {
        const QFileInfo info(m_folder.isEmpty() ? QStringLiteral(".") : m_folder);
        if (!info.exists())
            return Failure::PathNotFound;
        return info.isDir() ? int(Failure::FileNotFound) : int(Failure::BadFileName);
    }
#endif

    QString m_dir;
    QString m_folder; // up to and including the last separator of m_dir
    QString m_prefix; // what m_dir adds to m_folder (empty when it ends with a separator)
    QStringList m_entries;
    bool m_listed = false;
    int m_missingCode = -1;
};

#ifdef Q_OS_UNIX

namespace {

// Opens for reading only; a FIFO or device must not block the reader.
int openForReading(const QString &path)
{
    int fd;
    do {
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

ClientFile readOpen(int fd, const QString &path)
{
    ClientFile out;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        out.error = Failure::FromErrno(errno, true);
        return out;
    }
    if (S_ISDIR(st.st_mode)) {
        out.error = Failure::FromErrno(EISDIR, true);
        out.detail = notAFileDetail(path);
        return out;
    }
    if (!S_ISREG(st.st_mode)) {
        out.error = Failure::AccessError;
        out.detail = notAFileDetail(path);
        return out;
    }
    if (st.st_size > ClientReader::MaxFileSize) {
        out.error = Failure::FileTooLarge;
        out.detail = tooLargeDetail(path);
        return out;
    }
    // The size is only a hint: the client may be writing the file right now.
    QByteArray bytes(qsizetype(st.st_size) + 1, Qt::Uninitialized);
    qsizetype got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got > ClientReader::MaxFileSize) {
                out.error = Failure::FileTooLarge;
                out.detail = tooLargeDetail(path);
                return out;
            }
            bytes.resize(qMin<qsizetype>(bytes.size() * 2, ClientReader::MaxFileSize + 1));
        }
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            out.error = Failure::FromErrno(errno, true);
            return out;
        }
        if (n == 0)
            break;
        got += n;
    }
    out.text = QString::fromLatin1(bytes.constData(), got);
    return out;
}

} // namespace

ClientFile ClientReader::readText(Directory &dir, const QString &name)
{
    QString path = dir.path(name);
    int fd = openForReading(path);
    if (fd < 0 && errno == ENOENT) {
        const QString other = dir.caseMatch(name);
        if (!other.isEmpty()) {
            path = other;
            fd = openForReading(path);
        } else {
            errno = ENOENT;
        }
    }
    if (fd < 0) {
        ClientFile out;
        out.error = errno == ENOENT ? dir.missingCode() : Failure::FromErrno(errno, true);
        return out;
    }
    ClientFile out = readOpen(fd, path);
    ::close(fd);
    return out;
}

ClientSnapshot ClientReader::Read(const QString &dirPath)
{
    Directory dir(dirPath);
    ClientSnapshot snap;
    snap.state = readText(dir, StateFile);
    snap.user = readText(dir, UserFile);

    struct stat st;
    int rc = ::stat(QFile::encodeName(dir.path(WtempFile)).constData(), &st);
    if (rc != 0 && errno == ENOENT) {
        const QString other = dir.caseMatch(WtempFile);
        if (!other.isEmpty())
            rc = ::stat(QFile::encodeName(other).constData(), &st);
        else
            errno = ENOENT;
    }
    if (rc != 0)
        snap.wtempError = errno == ENOENT ? dir.missingCode() : Failure::FromErrno(errno, true);
    else if (S_ISDIR(st.st_mode))
        snap.wtempError = dir.missingCode(); // a folder of that name is no download
    else
        snap.wtempLength = st.st_size;
    return snap;
}

#else // not Q_OS_UNIX

ClientFile ClientReader::readText(Directory &dir, const QString &name)
{
    ClientFile out;
    QString path = dir.path(name);
    QFileInfo info(path);
    if (!info.exists()) {
        const QString other = dir.caseMatch(name);
        if (other.isEmpty()) {
            out.error = dir.missingCode();
            return out;
        }
        path = other;
        info = QFileInfo(path);
    }
    if (info.isDir()) {
        out.error = Failure::BadFileName;
        out.detail = notAFileDetail(path);
        return out;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        out.error = f.error() == QFileDevice::PermissionsError ? int(Failure::PermissionDenied)
                                                               : int(Failure::AccessError);
        return out;
    }
    const QByteArray bytes = f.read(MaxFileSize + 1);
    if (bytes.size() > MaxFileSize) {
        out.error = Failure::FileTooLarge;
        out.detail = tooLargeDetail(path);
        return out;
    }
    out.text = QString::fromLatin1(bytes);
    return out;
}

ClientSnapshot ClientReader::Read(const QString &dirPath)
{
    Directory dir(dirPath);
    ClientSnapshot snap;
    snap.state = readText(dir, StateFile);
    snap.user = readText(dir, UserFile);
    QFileInfo info(dir.path(WtempFile));
    if (!info.exists()) {
        const QString other = dir.caseMatch(WtempFile);
        if (!other.isEmpty())
            info = QFileInfo(other);
    }
    if (!info.exists() || info.isDir())
        snap.wtempError = dir.missingCode();
    else
        snap.wtempLength = info.size();
    return snap;
}

#endif
