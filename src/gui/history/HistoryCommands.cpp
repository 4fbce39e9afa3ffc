#include "history/HistoryCommands.h"

#include "app/CommandLine.h"
#include "history/HistoryStore.h"
#include "log/frmMessages.h"
#include "shared/Prompt.h"

#include <QDir>

namespace HistoryCommands {

void Export(QWidget *parent, HistoryStore &store)
{
    const QString file = Prompt::SaveFileName(parent, QStringLiteral("Export History..."),
        QDir::home().filePath(QStringLiteral("tavrik-history.csv")),
        QStringLiteral("CSV Files (*.csv);;All Files (*)"));
    if (file.isEmpty())
        return;
    store.flush(); // the last cycle's units are in the file too
    QString error;
    if (CommandLine::ExportHistory(store.file(), file, {}, &error)) {
        frmMessages::Append(QStringLiteral("History exported to %1.").arg(file));
        return;
    }
    frmMessages::Append(QStringLiteral("History export failed: %1.").arg(error), LogKind::Failure);
    QMessageBox::warning(
        parent, QStringLiteral("Tavrik"), QStringLiteral("The history was not exported: %1.").arg(error));
}

bool Clear(QWidget *parent, HistoryStore &store)
{
    if (!Prompt::AskYesNo(parent,
            QStringLiteral("Delete every finished unit, download and outage from the history? This cannot be undone."),
            QStringLiteral("Tavrik")))
        return false;
    store.clear();
    store.flush();
    frmMessages::Append(QStringLiteral("History cleared."));
    return true;
}

} // namespace HistoryCommands
