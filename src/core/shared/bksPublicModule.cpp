#include "shared/bksPublicModule.h"

#include <QFileInfo>

namespace bksPublicModule {

namespace {

    bool isSeparator(QChar c)
    {
#ifdef Q_OS_WIN
        return c == u'\\' || c == u'/';
#else
        return c == u'/';
#endif
    }

    // Whether text ends with the given character; the platform separator also matches the other
    // separator the platform accepts.
    bool endsWithChar(const QString &text, const QString &character)
    {
        if (text.isEmpty() || character.size() != 1)
            return false;
        const QChar last = text.back();
        if (last == character[0])
            return true;
        return character == Separator() && isSeparator(last);
    }

} // namespace

QString TrimSpaces(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start] == u' ')
        ++start;
    while (end > start && text[end - 1] == u' ')
        --end;
    return text.mid(start, end - start);
}

bool IsBlank(const QString &text)
{
    return TrimSpaces(text).isEmpty();
}

QString GetField(const QString &text, qint16 field, const QString &delimiter)
{
    if (field < 1)
        return QString();
    qsizetype start = 0;
    for (qint16 k = 1;; ++k) {
        const qsizetype p = delimiter.isEmpty() ? -1 : text.indexOf(delimiter, start, Qt::CaseSensitive);
        if (k == field)
            return p >= 0 ? text.mid(start, p - start) : text.mid(start);
        if (p < 0)
            return QString();
        // The next field starts one character after the delimiter's first character.
        start = p + 1;
    }
}

QString GetDirectory(const QString &path)
{
    if (IsBlank(path))
        return QString();
    if (!path.contains(u'.'))
        return AddTrailingChar(path);
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (isSeparator(path[i]))
            return path.left(i + 1);
    }
    return QString();
}

QString GetFileName(const QString &path, QString &directory)
{
    directory = AddTrailingChar(GetDirectory(path));
    const qsizetype count = path.size() - directory.size();
    if (count < 0)
        return QString();
    return path.right(count);
}

QString AddTrailingChar(const QString &value, const QString &character)
{
    const QString t = TrimSpaces(value);
    if (t.isEmpty())
        return QString();
    return endsWithChar(t, character) ? t : t + character;
}

QString RemoveTrailingChar(const QString &value, const QString &character)
{
    const QString t = TrimSpaces(value);
    return endsWithChar(t, character) ? t.left(t.size() - 1) : t;
}

bool FileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

} // namespace bksPublicModule
