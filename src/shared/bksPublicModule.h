#pragma once

#include <QDir>
#include <QString>

#include <functional>

class QWidget;

// Small helpers shared by the windows: text and path functions, sound, top-most windows.
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

// Selects the whole text of the focused line edit / combo box of the active window.
void SelectAllText(qint16 start = 0);

void SetTopMost(QWidget *window, bool onTop = true, bool screenSaver = false);
// There is no portable call for this; it reports success and changes nothing.
qint16 SetScreenSaverRunning(bool running = true);

// Plays a wave file when SoundsOn is true and the file exists. With bWait the call returns
// after the sound (the event loop keeps running meanwhile, bounded to a few seconds).
void PlayWave(const QString &path, bool bWait = true, bool bLoop = false);
// Tests replace the sound output to see what would be played; an empty function restores it.
using WavePlayer = std::function<void(const QString &path, bool wait, bool loop)>;
void SetWavePlayer(WavePlayer player);

// The folder picker; "" when cancelled, otherwise with (or without) one trailing separator.
QString BrowseForFolder(QWidget *owner, const QString &title, bool bAddBackslash = true);

} // namespace bksPublicModule
