#pragma once

#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The per-user two-level store (section -> key -> text) under Brakmere/Tavrik.
// Section names are free text typed by users; they are escaped here so that "/" and "\" do not
// nest and every name keeps a section of its own.
class SettingsStore
{
public:
    // One logical change: every save and delete made while a Batch lives (in any function it
    // calls) stays in memory, and the outermost Batch writes the file once when it ends. The
    // file is replaced through a temporary file, so a crash leaves it as it was before the change
    // or as it is after it, never in between. Reads inside a batch see its pending writes.
    class Batch
    {
    public:
        Batch();
        ~Batch();
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;
    };

    static QString get(const QString &section, const QString &key, const QString &defaultValue);
    // Writes through to disk (at the end of the batch inside one); a failed write is reported (see
    // setFailureReporter) and returns false.
    static bool save(const QString &section, const QString &key, const QString &value);
    // False when the section does not exist (nothing is removed then) or the write failed.
    static bool deleteSection(const QString &section);
    // Removes one key; true when there was none to remove.
    static bool removeKey(const QString &section, const QString &key);
    static bool sectionExists(const QString &section);
    static QStringList sections(); // every section's name

    // Typed reads: nullopt when the stored (or default) text does not convert.
    static std::optional<qint16> getInt16(const QString &section, const QString &key, const QString &defaultValue);
    static std::optional<qint32> getInt32(const QString &section, const QString &key, const QString &defaultValue);
    static std::optional<bool> getBool(const QString &section, const QString &key, const QString &defaultValue);

    static bool saveInt(const QString &section, const QString &key, int value);
    static bool saveBool(const QString &section, const QString &key, bool value);
    static bool saveTwips(const QString &section, const QString &key, int twips);

    // Window placement in twips, keys "Top", "Left", "Width", "Height". A key that does not convert
    // falls back to its default, so a hand-edited value never moves a window to nowhere; a place
    // that BoundPlacement refuses gives the default place.
    static QRect getPlacement(
        const QString &section, const QRect &defaultTwips, const QSize &screenTwips = DefaultScreenTwips);
    // An 8K screen: the bound when the caller knows of no screen.
    static constexpr QSize DefaultScreenTwips { 7680 * 15, 4320 * 15 };
    // The stored place when it lies within ten times the screen on every side and has a size, else
    // the default (itself replaced by a small place at the top left when it does not pass either).
    static QRect BoundPlacement(
        double left, double top, double width, double height, const QRect &defaultTwips, const QSize &screenTwips);
    static bool savePlacement(const QString &section, const QRect &twips);

    // Reads and writes this INI file instead of the user's store (the exporter's --settings); an
    // empty name returns to the user's store.
    static void useFile(const QString &iniFile);

    // At start: what about the store's file would lose the user's settings, one line each (empty
    // when all is well): a file that cannot be read (or is not a regular file), or a file or folder
    // that cannot be written. A file that cannot be read is then neither read nor ever written
    // for the rest of the run, so the defaults this run works with never replace it.
    static QStringList checkAccess();
    static QString fileName();

    // Called before every write of the file; tests use it to stop the program at a chosen write.
    static void setBeforeWrite(std::function<void()> hook);

    // Where failed writes are told. Until the message log exists they go to stderr.
    static void setFailureReporter(std::function<void(const QString &)> reporter);

    static QString encodeSection(const QString &section);
    static QString decodeSection(const QString &encoded);
};
