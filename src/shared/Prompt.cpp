#include "shared/Prompt.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include <deque>
#include <variant>

namespace Prompt {

namespace {

std::deque<std::variant<bool, QString>> &script()
{
    static std::deque<std::variant<bool, QString>> s;
    return s;
}

QStringList &asked()
{
    static QStringList a;
    return a;
}

template <typename T>
bool takeScripted(const QString &title, T *answer)
{
    if (script().empty() || !std::holds_alternative<T>(script().front()))
        return false;
    *answer = std::get<T>(script().front());
    script().pop_front();
    asked().append(title);
    return true;
}

} // namespace

bool AskYesNo(QWidget *parent, const QString &text, const QString &title)
{
    bool answer = false;
    if (takeScripted(title, &answer))
        return answer;
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

QString InputBox(QWidget *parent, const QString &prompt, const QString &title, const QString &defaultReply)
{
    QString answer;
    if (takeScripted(title, &answer))
        return answer;
    bool ok = false;
    const QString reply = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, defaultReply, &ok);
    return ok ? reply : QString();
}

QString ExistingDirectory(QWidget *parent, const QString &title, const QString &startDir)
{
    QString answer;
    if (takeScripted(title, &answer))
        return answer;
    return QFileDialog::getExistingDirectory(parent, title, startDir);
}

QString OpenFileName(QWidget *parent, const QString &title, const QString &initialPath, const QString &filter)
{
    QString answer;
    if (takeScripted(title, &answer))
        return answer;
    return QFileDialog::getOpenFileName(parent, title, initialPath, filter);
}

void SetNextYesNo(bool answer)
{
    script().push_back(answer);
}

void SetNextText(const QString &answer)
{
    script().push_back(answer);
}

void ClearScripted()
{
    script().clear();
    asked().clear();
}

QStringList Asked()
{
    return asked();
}

} // namespace Prompt
