#pragma once

class QApplication;

namespace modTavrik {

// The program's start-up; returns the exit code.
int Main(QApplication &app);

} // namespace modTavrik
