#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// How the list of CPUs is kept in the settings store between runs: the hand-over sections
// "0".."n-1" written at exit, and the "CPUs" list kept for a run that did not end normally.
namespace CpuList {

// No list holds more CPUs than this; a stored count beyond it is not believed.
constexpr int MaxCpus = 1000;

// Start-up in two steps, so the caller can open the windows a few at a time: Read gives every
// stored CPU in order, from the hand-over list when there is one, else from the "CPUs" list, else
// the built-in default CPU; once all are open, TakeOver moves the hand-over list to "CPUs" in one
// write. Read changes nothing, so a start-up killed at any moment leaves a list the next start
// loads the same way.
//
// A "TotalCPUs" that is not a number, negative, beyond MaxCpus or beyond the entries actually
// present is not believed: the list is then recovered from the entries present and "CPUs".
struct StoredList
{
    QList<QPair<QString, QString>> cpus; // name, path
    QStringList handOverSections; // to delete
    bool takeOver = false; // the list came from the hand-over entries and moves to "CPUs"
};
StoredList Read();
void TakeOver(const StoredList &list);

// Exit: the hand-over list starts empty, before every CPU window adds its entry (all within the
// caller's one batch of writes).
void BeginHandOver();

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
