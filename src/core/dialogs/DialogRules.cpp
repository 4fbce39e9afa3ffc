#include "dialogs/DialogRules.h"

#include "settings/Conv.h"
#include "settings/Schema.h"
#include "shared/bksPublicModule.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>

namespace DialogRules {

namespace {

    bool inIntervalRange(double value)
    {
        return value >= 0.0 && value <= MaxInterval;
    }

    bool folderExists(const QString &folder)
    {
        return !folder.isEmpty() && QFileInfo(folder).isDir();
    }

} // namespace

QString RangeChecked(const QString &text)
{
    return inIntervalRange(Conv::Val(text)) ? text : IntervalResetText;
}

qint16 IntervalOnClose(const QString &text, qint16 previous)
{
    // Enter presses Close without the box losing the focus, so the range check runs here too.
    const auto value = Conv::ParseNumber(RangeChecked(text));
    if (!value)
        return previous;
    return Conv::Int16FromDouble(*value).value_or(previous);
}

QString SystemSoundFolder()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\Windows\\Media\\");
#else
    return QStringLiteral("/usr/share/sounds/");
#endif
}

QString DefaultProposedSound()
{
#ifdef Q_OS_WIN
    return QStringLiteral("Musica Error.wav");
#else
    return QStringLiteral("*.wav");
#endif
}

std::optional<SoundBrowseStart> SoundBrowseStartFor(
    const QString &boxText, const QString &programFolder, const QString &fallbackFolder)
{
    using namespace bksPublicModule;
    SoundBrowseStart start;
    if (IsBlank(boxText)) {
        start.proposedFile = QStringLiteral("*.wav");
        start.folder = AddTrailingChar(programFolder);
    } else {
        const QString path = TrimSpaces(boxText);
        QString directory;
        start.folder = GetDirectory(path);
        start.proposedFile = GetFileName(path, directory);
    }
    if (IsBlank(start.folder))
        start.folder = fallbackFolder;
    if (IsBlank(start.proposedFile))
        start.proposedFile = DefaultProposedSound();
    if (!folderExists(start.folder)) {
        start.folder = fallbackFolder;
        if (!folderExists(start.folder))
            return std::nullopt;
    }
    start.folder = AddTrailingChar(start.folder);
    return start;
}

int SplashIntervalMs(const QString &storedText)
{
    const auto parsed = Conv::ParseNumber(storedText);
    const double seconds = parsed ? std::nearbyint(*parsed) : Conv::ParseNumber(Schema::DefaultSplashTime).value_or(5);
    return (seconds > 0 && seconds < 60) ? int(seconds) * 1000 : 0;
}

QString CpuNameNote(bool atLimit, bool commaRefused)
{
    if (commaRefused)
        return QStringLiteral("Commas cannot be used in a name.");
    if (atLimit)
        return QStringLiteral("Names are cut at %1 characters.").arg(MaxCpuNameLength);
    return QString();
}

QString CpuFolderNote(const QString &path, bool readable)
{
    if (path.trimmed().isEmpty() || readable)
        return QString();
    return QStringLiteral("This folder cannot be read now; the CPU will show as unreachable until it can.");
}

} // namespace DialogRules
