#pragma once

class QApplication;

namespace CommandLine {
struct Request;
}

namespace modTavrik {

// The program's start-up; returns the exit code.
int Main(QApplication &app, const CommandLine::Request &request);

} // namespace modTavrik
