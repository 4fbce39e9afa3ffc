#pragma once

#include "shared/bksPublicModule.h"

#include <functional>

class QWidget;

// The shared helpers that need windows or sound.
namespace bksPublicModule {

// Selects the whole text of the focused line edit / combo box of the active window.
void SelectAllText(qint16 start = 0);

void SetTopMost(QWidget *window, bool onTop = true, bool screenSaver = false);
// There is no portable call for this; it reports success and changes nothing.
qint16 SetScreenSaverRunning(bool running = true);

// Plays a wave file when soundsOn (the SoundsOn option) is true and the file exists. With bWait
// the call returns after the sound (the event loop keeps running meanwhile, bounded to a few
// seconds).
// Returns what kept an asked-for sound from being heard ("there is no sound device"), else "".
QString PlayWave(const QString &path, bool soundsOn, bool bWait = true, bool bLoop = false);
// Tests replace the sound output to see what would be played; an empty function restores it.
using WavePlayer = std::function<void(const QString &path, bool wait, bool loop)>;
void SetWavePlayer(WavePlayer player);

// The folder picker; "" when cancelled, otherwise with (or without) one trailing separator.
QString BrowseForFolder(QWidget *owner, const QString &title, bool bAddBackslash = true);

} // namespace bksPublicModule
