#pragma once

#include <QDir>
#include <QString>

// Text and path helpers shared by every layer. The helpers that need windows or sound live in
// shared/bksPublicWindows.h of the user interface.
namespace bksPublicModule {

// The platform's directory separator as text: the default character of the trailing-char helpers.
inline QString Separator()
{
    return QString(QDir::separator());
}

// Blank and trimmed mean the space character only: tabs and line breaks are content.
QString TrimSpaces(const QString &text);
bool IsBlank(const QString &text); // empty after removing leading and trailing spaces
QString GetField(const QString &text, qint16 field, const QString &delimiter);
QString GetDirectory(const QString &path);
QString GetFileName(const QString &path, QString &directory);
QString AddTrailingChar(const QString &value, const QString &character = Separator());
QString RemoveTrailingChar(const QString &value, const QString &character = Separator());
bool FileExists(const QString &path);

} // namespace bksPublicModule
