#pragma once

#include <QString>

#include <functional>

// How the list of CPUs is kept in the settings store between runs: the hand-over sections
// "0".."n-1" written at exit, and the "CPUs" list kept for a run that did not end normally.
namespace CpuList {

using LoadCpu = std::function<void(const QString &name, const QString &path)>;

// Start-up: opens every stored CPU through loadCpu, in order, from the hand-over list when there
// is one, else from the "CPUs" list, else the built-in default CPU.
void Build(const LoadCpu &loadCpu);

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
