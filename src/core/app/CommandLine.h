#pragma once

#include <QString>
#include <QStringList>

// The program's command line. Parse() needs no application object, so --help and --version can
// be answered before anything asks for a display.
namespace CommandLine {

enum class Action { Run, Help, Version, Error };

struct Request
{
    Action action = Action::Run;
    bool minimized = false; // start minimised for this run only
    QString error; // for Action::Error
};

// arguments[0] is the program itself.
Request Parse(const QStringList &arguments);
// Prints the help, the version or the error (needs a QCoreApplication) and returns the exit code.
int Answer(const Request &request);

} // namespace CommandLine
