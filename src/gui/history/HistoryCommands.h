#pragma once

class HistoryStore;
class QWidget;

// The File menu's history commands.
namespace HistoryCommands {

// Asks where to save and writes the finished units as CSV; says so when it cannot.
void Export(QWidget *parent, HistoryStore &store);
// Asks first; true when the history was cleared.
bool Clear(QWidget *parent, HistoryStore &store);

} // namespace HistoryCommands
