#pragma once

#include <QString>

// The option values. The program owns one set and hands it to whoever needs it.
struct Options
{
    qint16 MonitorInterval = 0; // seconds between update cycles (ticks of the 1 s timer)
    qint16 AlarmInterval = 0; // minutes a download may take before the alarm
    QString AlarmSound; // wave file played by the alarm
    bool SoundsOn = false;
    bool Scroll = false; // show the scrolling display when the main window is minimised
    qint16 ScrollInterval = 0; // seconds between CPUs on the scrolling display
    bool StartMinimized = false;
    bool DisplayTopMost = false;
    bool Notifications = false; // desktop notifications when a CPU needs attention or recovers
    qint32 KeepHistoryDays = 0; // how long the history keeps its records; 0: for ever
};

namespace modTavrik {

// Reads the options; a value that does not convert leaves its member as it was.
void LoadOptions(Options &options);
// Writes the Author section and the options; false when the store could not be written.
bool SaveOptions(const Options &options);

// The folder holding the program's own files (sounds, ReadMe.htm), with a trailing separator:
// the executable's folder, or the installed data folder beside it.
QString ProgramFolder();
// The alarm sound to use for a stored one: a stored file that is gone, and that was the default
// sound or lay in a build folder (a settings file first written by a build run keeps pointing
// there after the program is installed), gives way to the installed sound when that exists.
QString AlarmSoundOrInstalled(const QString &stored, const QString &installed);
QString ProgramVersion(); // "1.0.0"

} // namespace modTavrik
