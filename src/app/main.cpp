#include "app/Main.h"
#include "app/CommandLine.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    // Answered before any display is needed.
    const CommandLine::Request request = CommandLine::Parse(arguments);
    if (request.action != CommandLine::Action::Run) {
        QCoreApplication core(argc, argv);
        return CommandLine::Answer(request);
    }
    QApplication app(argc, argv);
    return modTavrik::Main(app, request);
}
