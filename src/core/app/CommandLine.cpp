#include "app/CommandLine.h"

#include "history/HistoryDatabase.h"
#include "history/HistoryQuery.h"
#include "history/HistoryStore.h"
#include "settings/Options.h"
#include "settings/Schema.h"

#include <QSaveFile>

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
        QCommandLineOption exportHistory { QStringLiteral("export-history"),
            QStringLiteral("Write every finished work unit in the history to FILE as CSV and exit; works while the "
                           "panel runs."),
            QStringLiteral("FILE") };
        QCommandLineOption since { QStringLiteral("since"),
            QStringLiteral("With --export-history: only units finished on or after this local day."),
            QStringLiteral("YYYY-MM-DD") };

        Parser()
        {
            parser.setApplicationDescription(
                QStringLiteral("Tavrik Panel: watches the SETI@home clients of several computers.\n"
                               "A second start brings the running panel to the front."));
            parser.addOption(minimized);
            parser.addOption(exportHistory);
            parser.addOption(since);
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
    } else if (p.parser.isSet(p.exportHistory)) {
        r.action = Action::ExportHistory;
        r.exportFile = p.parser.value(p.exportHistory);
        if (p.parser.isSet(p.since)) {
            r.since = QDate::fromString(p.parser.value(p.since), Qt::ISODate);
            if (!r.since.isValid()) {
                r.action = Action::Error;
                r.error = QStringLiteral("--since needs a day as YYYY-MM-DD, not '%1'.").arg(p.parser.value(p.since));
            }
        }
    } else if (p.parser.isSet(p.since)) {
        r.action = Action::Error;
        r.error = QStringLiteral("--since goes with --export-history.");
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
    case Action::ExportHistory: {
        if (QCoreApplication::organizationName().isEmpty()) {
            QCoreApplication::setOrganizationName(Schema::Organisation);
            QCoreApplication::setApplicationName(Schema::Application);
        }
        QString error;
        if (!ExportHistory(HistoryStore::DefaultFile(), request.exportFile, request.since, &error)) {
            std::fprintf(stderr, "tavrik: %s\n", qUtf8Printable(error));
            return 1;
        }
        return 0;
    }
    case Action::Run:
        break;
    }
    return 0;
}

bool ExportHistory(const QString &historyFile, const QString &csvFile, const QDate &since, QString *error)
{
    // Read-only and without the single-instance lock: the running panel goes on writing.
    HistoryDatabase db;
    if (db.open(historyFile, true) != HistoryDatabase::State::ReadOnly) {
        *error = QStringLiteral("no history to export: %1").arg(db.reason());
        return false;
    }
    QSaveFile out(csvFile);
    if (!out.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(csvFile, out.errorString());
        return false;
    }
    if (!db.exportCsv(out, since.isValid() ? HistoryQuery::DayStart(since) : 0)) {
        out.cancelWriting();
        *error = QStringLiteral("the export to %1 failed: %2")
                     .arg(csvFile, db.reason().isEmpty() ? out.errorString() : db.reason());
        return false;
    }
    if (!out.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(csvFile, out.errorString());
        return false;
    }
    return true;
}

} // namespace CommandLine
