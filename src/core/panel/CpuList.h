#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// How the list of CPUs is kept in the settings store between runs: the hand-over sections
// "0".."n-1" written at exit, and the "CPUs" list kept for a run that did not end normally.
namespace CpuList {

// No more CPUs than this are loaded or added; stored ones beyond it are kept, not loaded.
constexpr int MaxCpus = 1000;
// Hand-over entries are numbered below this (the count is a 16-bit number).
constexpr int MaxEntries = 32767;

// CPU names are compared as the Windows registry compares its keys: without letter case.
bool SameName(const QString &a, const QString &b);
// The sections the program keeps for itself (its options, windows, the numbered hand-over
// entries), in any letter case: a CPU by such a name would share or delete them.
bool IsReservedName(const QString &name);
// Why a CPU cannot take this name (empty when it can): the panel's own, or used by another CPU.
QString NameRefusal(const QString &name, const QStringList &otherNames);
// Why no further CPU can be added to a panel holding count CPUs (empty when one can).
QString AddRefusal(qsizetype count);
// "<name> (2)", "<name> (3)"…: the first that is neither reserved nor taken.
QString SafeName(const QString &name, const QStringList &taken);

// Start-up in two steps, so the caller can open the windows a few at a time: Read gives every
// stored CPU in order, from the hand-over list when there is one, else from the "CPUs" list, else
// the built-in default CPU; once all are open, TakeOver moves the hand-over list to "CPUs" in one
// write. Read changes nothing, so a start-up killed at any moment leaves a list the next start
// loads the same way.
//
// A "TotalCPUs" that is not a number, negative or beyond the entries actually present is not
// believed: the list is then recovered from the entries present and "CPUs".
//
// A name given twice (in any letter case) is loaded once; a reserved name is loaded under
// SafeName; past MaxCpus the rest are not loaded but kept (HandOver at exit). notes says what
// was done, one line each.
struct StoredList
{
    QList<QPair<QString, QString>> cpus; // name, path
    QList<QPair<QString, QString>> notLoaded; // name, path (empty: the section keeps it)
    QStringList handOverSections; // to delete
    QStringList notes; // for the message log
    bool takeOver = false; // the list came from the hand-over entries and moves to "CPUs"
};
StoredList Read();
void TakeOver(const StoredList &list);

// Exit: the hand-over list starts empty, before every CPU window adds its entry (all within the
// caller's one batch of writes).
void BeginHandOver();
// Exit: adds entries for CPUs that have no window (not loaded, or not made yet), after those of
// the windows; a path is stored where given.
void HandOver(const QList<QPair<QString, QString>> &cpus);

// The "CPUs" text: every name followed by ",".
QString AppendName(const QString &list, const QString &name);
QString ReplaceName(const QString &list, const QString &oldName, const QString &newName);
QString RemoveName(const QString &list, const QString &name);

// Keeps the "CPUs" list in step with a CPU that was added, renamed or removed during the run.
void Added(const QString &name);
void Renamed(const QString &oldName, const QString &newName);
void Removed(const QString &name);

// Remove CPU after the window has unloaded (and so written its hand-over entry): takes that entry
// back and deletes the CPU's section. Stops at the first delete that finds nothing.
void ForgetUnloaded(const QString &name);

} // namespace CpuList
