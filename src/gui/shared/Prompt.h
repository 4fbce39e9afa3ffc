#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Every modal question the program asks goes through here, so a test can answer it in advance
// and no modal dialog ever blocks a test.
namespace Prompt {

bool AskYesNo(QWidget *parent, const QString &text, const QString &title);
// Empty text on Cancel.
QString InputBox(QWidget *parent, const QString &prompt, const QString &title, const QString &defaultReply);
QString ExistingDirectory(QWidget *parent, const QString &title, const QString &startDir);
QString OpenFileName(QWidget *parent, const QString &title, const QString &initialPath, const QString &filter);
QString SaveFileName(QWidget *parent, const QString &title, const QString &initialPath, const QString &filter);

// Test hooks: the next call of the matching kind returns this answer without showing anything.
void SetNextYesNo(bool answer);
void SetNextText(const QString &answer); // InputBox, ExistingDirectory, OpenFileName, SaveFileName
void ClearScripted();
// The titles of the questions answered from the script, oldest first.
QStringList Asked();

} // namespace Prompt
