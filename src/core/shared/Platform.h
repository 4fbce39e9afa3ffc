#pragma once

#include <functional>

// The few things that differ between operating systems.
namespace Platform {

// Runs onTerminate on the user-interface thread when the process is asked to end (SIGTERM,
// SIGINT, SIGHUP on Unix-like systems; on Windows the console's Ctrl+C, Ctrl+Break, closing,
// logoff and shutdown). Call after the application object exists; a later call
// replaces the function, and an empty function restores the default (the process ends).
void InstallTerminationHandler(std::function<void()> onTerminate);

} // namespace Platform
