#include "app/CommandLine.h"

#include "settings/Options.h"

#include <QCommandLineParser>

#include <cstdio>

namespace CommandLine {

namespace {

    struct Parser
    {
        QCommandLineParser parser;
        QCommandLineOption help = parser.addHelpOption();
        QCommandLineOption version = parser.addVersionOption();
        QCommandLineOption minimized { QStringLiteral("minimized"),
            QStringLiteral("Start with the main window minimised (this run only).") };

        Parser()
        {
            parser.setApplicationDescription(
                QStringLiteral("Tavrik Panel: watches the SETI@home clients of several computers.\n"
                               "A second start brings the running panel to the front."));
            parser.addOption(minimized);
        }
    };

} // namespace

Request Parse(const QStringList &arguments)
{
    Parser p;
    Request r;
    if (!p.parser.parse(arguments)) {
        r.action = Action::Error;
        r.error = p.parser.errorText();
    } else if (!p.parser.positionalArguments().isEmpty()) {
        r.action = Action::Error;
        r.error = QStringLiteral("Unexpected argument '%1'.").arg(p.parser.positionalArguments().constFirst());
    } else if (p.parser.isSet(p.help)) {
        r.action = Action::Help;
    } else if (p.parser.isSet(p.version)) {
        r.action = Action::Version;
    }
    r.minimized = r.action == Action::Run && p.parser.isSet(p.minimized);
    return r;
}

int Answer(const Request &request)
{
    Parser p;
    switch (request.action) {
    case Action::Help:
        std::fputs(qUtf8Printable(p.parser.helpText()), stdout);
        return 0;
    case Action::Version:
        std::printf("tavrik %s\n", qUtf8Printable(modTavrik::ProgramVersion()));
        return 0;
    case Action::Error:
        std::fprintf(stderr, "tavrik: %s\nTry 'tavrik --help' for the options.\n", qUtf8Printable(request.error));
        return 2;
    case Action::Run:
        break;
    }
    return 0;
}

} // namespace CommandLine
