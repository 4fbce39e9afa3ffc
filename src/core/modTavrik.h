#pragma once

#include <QString>

class QApplication;

// Process-wide state of the program: the settings root and the eight option values.
namespace modTavrik {

extern QString SettingsRoot;

extern qint16 MonitorInterval; // seconds between update cycles (ticks of the 1 s timer)
extern qint16 AlarmInterval; // minutes a download may take before the alarm
extern QString AlarmSound; // wave file played by the alarm
extern bool SoundsOn;
extern bool Scroll; // show the scrolling display when the main window is minimised
extern qint16 ScrollInterval; // seconds between CPUs on the scrolling display
extern bool StartMinimized;
extern bool DisplayTopMost;

// Reads the eight options; a value that does not convert leaves its variable as it was.
void LoadOptions();
// Writes the Author section and the eight options; false when the store could not be written.
bool SaveOptions();

// The folder holding the program's own files (sounds, ReadMe.htm), with a trailing separator:
// the executable's folder, or the installed data folder beside it.
QString ProgramFolder();
QString ProgramVersion(); // "1.0.0"

// Edits the active CPU window through the CPU information dialog.
void EditActiveCPU();

// The program's start-up; returns the exit code.
int Main(QApplication &app);

} // namespace modTavrik
