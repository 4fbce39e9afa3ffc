#pragma once

#include <QString>

#include <optional>

// The decisions of the Options dialog and the splash window, kept apart from the windows.
namespace DialogRules {

// Interval boxes accept 0 to 30000; anything else is set back to this text.
inline constexpr double MaxInterval = 30000.0;
inline const QString IntervalResetText = QStringLiteral("5");
inline constexpr int IntervalMaxLength = 5;
inline constexpr int AlarmSoundMaxLength = 80;

// The check run when an interval box loses the focus: judged by the text's leading number, a
// value above 30000 or below 0 gives "5"; any other text stays as typed.
QString RangeChecked(const QString &text);

// The value Close stores for an interval box: the range check first, then the whole text as a
// number rounded half to even. A box that is empty or not a number keeps the previous value.
qint16 IntervalOnClose(const QString &text, qint16 previous);

// Where the sound picker opens: a folder (with a trailing separator) and the proposed file.
struct SoundBrowseStart
{
    QString folder;
    QString proposedFile;
    QString initialPath() const { return folder + proposedFile; }
};

// The system's own sound folder, used when the box names no folder or a missing one.
QString SystemSoundFolder();
// Proposed when the box names a folder but no file.
QString DefaultProposedSound();

// From the sound box's text: a blank box opens the program's folder proposing "*.wav", otherwise
// the box's folder and file name. A folder that does not exist falls back to fallbackFolder once;
// nullopt when that does not exist either.
std::optional<SoundBrowseStart> SoundBrowseStartFor(
    const QString &boxText, const QString &programFolder, const QString &fallbackFolder);

// What the CPU dialog says beside its fields, without holding the user up; "" when all is well.
inline constexpr int MaxCpuNameLength = 30;
// atLimit: the name is as long as typing allows; commaRefused: the last edit tried to add a comma.
QString CpuNameNote(bool atLimit, bool commaRefused);
QString CpuFolderNote(const QString &path, bool readable);

// The splash time as stored ("SplashTime") turned into the splash timer's interval in
// milliseconds: whole seconds (half to even) from 1 to 59 show the splash, anything else gives 0
// (no splash). Text that is not a finite number counts as the default of 5 seconds.
int SplashIntervalMs(const QString &storedText);

} // namespace DialogRules
