#include "shared/Prompt.h"

#include <QFileDialog>
#include <QGuiApplication>
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

    template <typename T> bool takeScripted(const QString &title, T *answer)
    {
        if (script().empty() || !std::holds_alternative<T>(script().front()))
            return false;
        *answer = std::get<T>(script().front());
        script().pop_front();
        asked().append(title);
        return true;
    }

    // Nobody can answer a dialog on the offscreen or minimal platform (tests, headless runs): a
    // question that was not scripted gets the safe answer, No or Cancel, instead of waiting for ever.
    bool unattended(const QString &title)
    {
        const QString platform = QGuiApplication::platformName();
        if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
            return false;
        qWarning("Prompt: no answer scripted for \"%s\"; answering No/Cancel", qUtf8Printable(title));
        return true;
    }

} // namespace

bool AskYesNo(QWidget *parent, const QString &text, const QString &title)
{
    bool answer = false;
    if (takeScripted(title, &answer))
        return answer;
    if (unattended(title))
        return false;
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

QString InputBox(QWidget *parent, const QString &prompt, const QString &title, const QString &defaultReply)
{
    QString answer;
    if (takeScripted(title, &answer))
        return answer;
    if (unattended(title))
        return QString();
    bool ok = false;
    const QString reply = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, defaultReply, &ok);
    return ok ? reply : QString();
}

QString ExistingDirectory(QWidget *parent, const QString &title, const QString &startDir)
{
    QString answer;
    if (takeScripted(title, &answer))
        return answer;
    if (unattended(title))
        return QString();
    return QFileDialog::getExistingDirectory(parent, title, startDir);
}

QString OpenFileName(QWidget *parent, const QString &title, const QString &initialPath, const QString &filter)
{
    QString answer;
    if (takeScripted(title, &answer))
        return answer;
    if (unattended(title))
        return QString();
    return QFileDialog::getOpenFileName(parent, title, initialPath, filter);
}

QString SaveFileName(QWidget *parent, const QString &title, const QString &initialPath, const QString &filter)
{
    QString answer;
    if (takeScripted(title, &answer))
        return answer;
    if (unattended(title))
        return QString();
    return QFileDialog::getSaveFileName(parent, title, initialPath, filter);
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
