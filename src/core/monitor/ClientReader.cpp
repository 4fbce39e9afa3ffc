#include "monitor/ClientReader.h"

#include "shared/Failure.h"

#include <QFile>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
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

#ifdef Q_OS_UNIX

// The folder of the three files. Names are tried exactly as written first; only when "State.txt"
// or "User_Info.txt" is not there is the folder listed (once), to find the files under another
// letter case. A client that writes those two under their usual names writes "wtemp.txt" as usual
// too, so a download file is only looked for under another case once the folder is listed.
class ClientReader::Directory
{
public:
    explicit Directory(const QString &dir)
    {
        const qsizetype cut = dir.lastIndexOf(u'/') + 1;
        m_folder = QFile::encodeName(dir.left(cut));
        const QByteArray prefix = QFile::encodeName(dir.mid(cut));
        static const QByteArray names[]
            = { QFile::encodeName(StateFile), QFile::encodeName(UserFile), QFile::encodeName(WtempFile) };
        for (int i = 0; i < 3; ++i)
            m_names[i].wanted = prefix + names[i];
    }

    QByteArray path(int i) const { return m_folder + m_names[i].wanted; }

    // The entry that stands for the i-th name when its exact name is not there; empty when none.
    QByteArray otherCase(int i)
    {
        list();
        return m_names[i].other.isEmpty() ? QByteArray() : m_folder + m_names[i].other;
    }

    bool listed() const { return m_listed; }
    void fileOpened() { m_exists = true; }

    // The code of a file that is not there: 53 in a folder that exists, otherwise what the folder's
    // own failure maps to (76 when it or its machine cannot be reached).
    int missingCode()
    {
        if (m_exists)
            return Failure::FileNotFound;
        list();
        if (m_listed || m_listError == EACCES || m_listError == EPERM)
            return Failure::FileNotFound;
        return Failure::FromErrno(m_listError, false);
    }

private:
    void list()
    {
        if (m_listed || m_listError)
            return;
        DIR *d = ::opendir(m_folder.isEmpty() ? "." : m_folder.constData());
        if (!d) {
            m_listError = errno ? errno : EIO;
            return;
        }
        while (const dirent *e = ::readdir(d)) {
            for (Name &n : m_names) {
                if (n.other.isEmpty() && qstricmp(e->d_name, n.wanted.constData()) == 0 && n.wanted != e->d_name)
                    n.other = e->d_name;
            }
        }
        ::closedir(d);
        m_listed = true;
        m_exists = true;
    }

    struct Name
    {
        QByteArray wanted; // what the path adds to the folder: its last part, then the file name
        QByteArray other; // an entry equal to it apart from letter case
    };
    QByteArray m_folder; // up to and including the last separator
    Name m_names[3]; // State.txt, User_Info.txt, wtemp.txt
    bool m_listed = false;
    bool m_exists = false; // the folder is known to exist
    int m_listError = 0;
};

namespace {

// Opens for reading only. An open that blocks (a share whose machine went away, a FIFO) holds only
// the worker thread it runs on: the update cycle gives up on it in time.
int openForReading(const QByteArray &path)
{
    int fd;
    do {
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

ClientFile readOpen(int fd, const QByteArray &path)
{
    ClientFile out;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        out.error = Failure::FromErrno(errno, true);
        return out;
    }
    if (!S_ISREG(st.st_mode)) {
        out.error = S_ISDIR(st.st_mode) ? Failure::FromErrno(EISDIR, true) : int(Failure::AccessError);
        out.detail = notAFileDetail(QFile::decodeName(path));
        return out;
    }
    if (st.st_size > ClientReader::MaxFileSize) {
        out.error = Failure::FileTooLarge;
        out.detail = tooLargeDetail(QFile::decodeName(path));
        return out;
    }
    // The size is only a hint: the client may be writing the file right now.
    QByteArray bytes(qsizetype(st.st_size) + 1, Qt::Uninitialized);
    qsizetype got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got > ClientReader::MaxFileSize) {
                out.error = Failure::FileTooLarge;
                out.detail = tooLargeDetail(QFile::decodeName(path));
                return out;
            }
            bytes.resize(qMin<qsizetype>(bytes.size() * 2, ClientReader::MaxFileSize + 1));
        }
        const qsizetype wanted = bytes.size() - got;
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(wanted));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            out.error = Failure::FromErrno(errno, true);
            return out;
        }
        got += n;
        if (n < wanted) // a plain file reads short only at its end
            break;
    }
    out.text = QString::fromLatin1(bytes.constData(), got);
    return out;
}

} // namespace

ClientFile ClientReader::readText(Directory &dir, int index)
{
    QByteArray path = dir.path(index);
    int fd = openForReading(path);
    if (fd < 0 && errno == ENOENT) {
        path = dir.otherCase(index);
        fd = path.isEmpty() ? -1 : openForReading(path);
        if (path.isEmpty())
            errno = ENOENT;
    }
    if (fd < 0) {
        ClientFile out;
        out.error = errno == ENOENT ? dir.missingCode() : Failure::FromErrno(errno, true);
        return out;
    }
    dir.fileOpened();
    ClientFile out = readOpen(fd, path);
    ::close(fd);
    return out;
}

ClientSnapshot ClientReader::Read(const QString &dirPath)
{
    Directory dir(dirPath);
    ClientSnapshot snap;
    snap.state = readText(dir, 0);
    snap.user = readText(dir, 1);

    struct stat st;
    int rc = ::stat(dir.path(2).constData(), &st);
    if (rc != 0 && errno == ENOENT && dir.listed()) {
        const QByteArray other = dir.otherCase(2);
        rc = other.isEmpty() ? -1 : ::stat(other.constData(), &st);
        if (other.isEmpty())
            errno = ENOENT;
    }
    if (rc != 0)
        snap.wtempError = errno == ENOENT ? dir.missingCode() : Failure::FromErrno(errno, true);
    else if (S_ISDIR(st.st_mode))
        snap.wtempError = Failure::FileNotFound; // a folder of that name is no download
    else
        snap.wtempLength = st.st_size;
    return snap;
}

ClientReader::PartResult ClientReader::ReadPart(const QString &dirPath, Part part)
{
    const Directory dir(dirPath);
    const QByteArray path = dir.path(part);
    PartResult out;
    if (part == Wtemp) {
        struct stat st;
        if (::stat(path.constData(), &st) != 0) {
            out.missing = errno == ENOENT;
            if (!out.missing)
                out.file.error = Failure::FromErrno(errno, true);
        } else if (S_ISDIR(st.st_mode)) {
            out.file.error = Failure::FileNotFound; // a folder of that name is no download
        } else {
            out.length = st.st_size;
        }
        return out;
    }
    const int fd = openForReading(path);
    if (fd < 0) {
        out.missing = errno == ENOENT;
        if (!out.missing)
            out.file.error = Failure::FromErrno(errno, true);
        return out;
    }
    out.opened = true;
    out.file = readOpen(fd, path);
    ::close(fd);
    return out;
}

#elif defined(Q_OS_WIN)

// Windows matches names regardless of letter case except in a folder marked case-sensitive: only
// there is the folder listed. A missing folder or share fails the open itself (ERROR_PATH_NOT_FOUND,
// ERROR_BAD_NETPATH), so a file that is not found always stands in a folder that exists.
class ClientReader::Directory
{
public:
    explicit Directory(const QString &dir)
    {
        const qsizetype cut = qMax(dir.lastIndexOf(u'/'), dir.lastIndexOf(u'\\')) + 1;
        m_folder = dir.left(cut);
        const QString prefix = dir.mid(cut);
        const QString *names[] = { &StateFile, &UserFile, &WtempFile };
        for (int i = 0; i < 3; ++i)
            m_names[i].wanted = prefix + *names[i];
    }

    QString path(int i) const { return m_folder + m_names[i].wanted; }

    QString otherCase(int i)
    {
        list();
        return m_names[i].other.isEmpty() ? QString() : m_folder + m_names[i].other;
    }

    bool listed() const { return m_listed; }

private:
    void list()
    {
        if (m_listed)
            return;
        m_listed = true;
        const QString pattern = (m_folder.isEmpty() ? QStringLiteral(".\\") : m_folder) + u'*';
        WIN32_FIND_DATAW entry;
        const HANDLE find = ::FindFirstFileExW(reinterpret_cast<const wchar_t *>(pattern.utf16()), FindExInfoBasic,
            &entry, FindExSearchNameMatch, nullptr, 0);
        if (find == INVALID_HANDLE_VALUE)
            return;
        do {
            const QString name = QString::fromWCharArray(entry.cFileName);
            for (Name &n : m_names) {
                if (n.other.isEmpty() && name.compare(n.wanted, Qt::CaseInsensitive) == 0 && name != n.wanted)
                    n.other = name;
            }
        } while (::FindNextFileW(find, &entry));
        ::FindClose(find);
    }

    struct Name
    {
        QString wanted; // what the path adds to the folder: its last part, then the file name
        QString other; // an entry equal to it apart from letter case
    };
    QString m_folder; // up to and including the last separator
    Name m_names[3]; // State.txt, User_Info.txt, wtemp.txt
    bool m_listed = false;
};

namespace {

const wchar_t *wide(const QString &path)
{
    return reinterpret_cast<const wchar_t *>(path.utf16());
}

ClientFile readOpen(HANDLE file, const QString &path)
{
    ClientFile out;
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        out.error = Failure::AccessError;
        out.detail = notAFileDetail(path);
        return out;
    }
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file, &size)) {
        out.error = Failure::FromWin32(::GetLastError());
        return out;
    }
    if (size.QuadPart > ClientReader::MaxFileSize) {
        out.error = Failure::FileTooLarge;
        out.detail = tooLargeDetail(path);
        return out;
    }
    // The size is only a hint: the client may be writing the file right now.
    QByteArray bytes(qsizetype(size.QuadPart) + 1, Qt::Uninitialized);
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
        const DWORD wanted = DWORD(bytes.size() - got);
        DWORD n = 0;
        if (!::ReadFile(file, bytes.data() + got, wanted, &n, nullptr)) {
            out.error = Failure::FromWin32(::GetLastError());
            return out;
        }
        got += n;
        if (n < wanted) // a disk file reads short only at its end
            break;
    }
    out.text = QString::fromLatin1(bytes.constData(), got);
    return out;
}

// Reads one file whole. openError is the open's failure, or 0 when the name was found (the file
// read, or its failure in the result). Sharing everything never gets in the client's way.
ClientFile readFile(const QString &path, DWORD &openError)
{
    ClientFile out;
    const HANDLE file = ::CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        openError = ::GetLastError();
        // A folder does not open as a file here; elsewhere it opens and is then found not to be one.
        if (openError == ERROR_ACCESS_DENIED) {
            const DWORD attributes = ::GetFileAttributesW(wide(path));
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                openError = 0;
                out.error = Failure::AccessError;
                out.detail = notAFileDetail(path);
            }
        }
        return out;
    }
    openError = 0;
    out = readOpen(file, path);
    ::CloseHandle(file);
    return out;
}

// The download file's length, asked of the folder so that the client holding the file open does
// not matter. Returns the query's failure; error is set for a folder of that name.
DWORD queryLength(const QString &path, int &error, qint64 &length)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(wide(path), GetFileExInfoStandard, &data))
        return ::GetLastError();
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        error = Failure::FileNotFound; // a folder of that name is no download
    else
        length = qint64((quint64(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    return 0;
}

} // namespace

ClientFile ClientReader::readText(Directory &dir, int index)
{
    DWORD openError = 0;
    ClientFile out = readFile(dir.path(index), openError);
    if (openError == ERROR_FILE_NOT_FOUND) {
        const QString other = dir.otherCase(index);
        if (!other.isEmpty())
            out = readFile(other, openError);
    }
    if (openError)
        out.error = Failure::FromWin32(openError);
    return out;
}

ClientSnapshot ClientReader::Read(const QString &dirPath)
{
    Directory dir(dirPath);
    ClientSnapshot snap;
    snap.state = readText(dir, 0);
    snap.user = readText(dir, 1);
    DWORD err = queryLength(dir.path(2), snap.wtempError, snap.wtempLength);
    if (err == ERROR_FILE_NOT_FOUND && dir.listed()) {
        const QString other = dir.otherCase(2);
        if (!other.isEmpty())
            err = queryLength(other, snap.wtempError, snap.wtempLength);
    }
    if (err)
        snap.wtempError = Failure::FromWin32(err);
    return snap;
}

ClientReader::PartResult ClientReader::ReadPart(const QString &dirPath, Part part)
{
    const Directory dir(dirPath);
    const QString path = dir.path(part);
    PartResult out;
    DWORD err = 0;
    if (part == Wtemp) {
        err = queryLength(path, out.file.error, out.length);
    } else {
        out.file = readFile(path, err);
        out.opened = err == 0;
    }
    // A missing folder or share is a failure of its own here, so only a missing name needs Read.
    out.missing = err == ERROR_FILE_NOT_FOUND;
    if (err && !out.missing)
        out.file.error = Failure::FromWin32(err);
    return out;
}

#else
#error "ClientReader reads files through the POSIX or the Win32 calls only"
#endif

bool ClientReader::Combine(const PartResult (&parts)[PartCount], ClientSnapshot &out)
{
    const PartResult &state = parts[State];
    const PartResult &user = parts[User];
    const PartResult &wtemp = parts[Wtemp];
    // A name that is not there as written may be there in another letter case, and a download
    // file that is missing is told apart from a missing folder only by a file of the two opening.
    if (state.missing || user.missing || (wtemp.missing && !state.opened && !user.opened))
        return false;
    out.state = state.file;
    out.user = user.file;
    out.wtempError = wtemp.missing ? int(Failure::FileNotFound) : wtemp.file.error;
    out.wtempLength = wtemp.length;
    return true;
}

ClientSnapshot ClientReader::Unreachable()
{
    ClientSnapshot s;
    s.state.error = Failure::PathNotFound;
    s.user.error = Failure::PathNotFound;
    s.wtempError = Failure::PathNotFound;
    return s;
}
