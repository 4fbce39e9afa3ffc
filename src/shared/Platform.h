#pragma once

#include <functional>

// The few things that differ between operating systems.
namespace Platform {

// Runs onTerminate on the user-interface thread when the process is asked to end (SIGTERM,
// SIGINT, SIGHUP on Unix-like systems). Call once, after the application object exists.
void InstallTerminationHandler(std::function<void()> onTerminate);

} // namespace Platform
