#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// The program's command line. Parse() needs no application object, so --help and --version can
// be answered before anything asks for a display.
namespace CommandLine {

enum class Action { Run, Help, Version, ExportHistory, Error };

struct Request
{
    Action action = Action::Run;
    bool minimized = false; // start minimised for this run only
    QString error; // for Action::Error
    QString exportFile; // for Action::ExportHistory
    QDate since; // units finished from this local day on; invalid: all
};

// arguments[0] is the program itself.
Request Parse(const QStringList &arguments);
// Prints the help, the version or the error, or exports the history (needs a QCoreApplication), and
// returns the exit code.
int Answer(const Request &request);
// Writes the units of a history file as CSV; false with the reason when there is no history file or
// the CSV cannot be written.
bool ExportHistory(const QString &historyFile, const QString &csvFile, const QDate &since, QString *error);

} // namespace CommandLine
