#include "shared/bksPublicModule.h"

#include "core/modTavrik.h"
#include "shared/Prompt.h"

#include <QApplication>
#include <QAudioDevice>
#include <QComboBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QMediaDevices>
#include <QPointer>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace bksPublicModule {

namespace {

bool isSeparator(QChar c)
{
#ifdef Q_OS_WIN
    return c == u'\\' || c == u'/';
#else
    return c == u'/';
#endif
}

// Whether text ends with the given character; the platform separator also matches the other
// separator the platform accepts.
bool endsWithChar(const QString &text, const QString &character)
{
    if (text.isEmpty() || character.size() != 1)
        return false;
    const QChar last = text.back();
    if (last == character[0])
        return true;
    return character == Separator() && isSeparator(last);
}

WavePlayer &customPlayer()
{
    static WavePlayer player;
    return player;
}

// Longest a waiting PlayWave holds its caller, whatever the file claims.
constexpr int MaxWaitMs = 8000;

void playWithSoundEffect(const QString &path, bool wait, bool loop)
{
    if (!qApp || QMediaDevices::audioOutputs().isEmpty())
        return;
    // One effect at a time, like the platform's simple sound call: a new sound replaces the last.
    static QPointer<QSoundEffect> effect;
    if (!effect)
        effect = new QSoundEffect(qApp);
    effect->stop();
    effect->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    effect->setLoopCount(loop ? QSoundEffect::Infinite : 1);
    effect->play();
    if (!wait || loop)
        return;
    QEventLoop waitLoop;
    QTimer cap;
    cap.setSingleShot(true);
    QObject::connect(&cap, &QTimer::timeout, &waitLoop, &QEventLoop::quit);
    QObject::connect(effect, &QSoundEffect::playingChanged, &waitLoop, [&waitLoop] {
        if (effect && !effect->isPlaying() && effect->status() != QSoundEffect::Loading)
            waitLoop.quit();
    });
    QObject::connect(effect, &QSoundEffect::statusChanged, &waitLoop, [&waitLoop] {
        if (effect && effect->status() == QSoundEffect::Error)
            waitLoop.quit();
    });
    cap.start(MaxWaitMs);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    waitLoop.exec(QEventLoop::ExcludeUserInputEvents);
    QApplication::restoreOverrideCursor();
}

} // namespace

QString TrimSpaces(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start] == u' ')
        ++start;
    while (end > start && text[end - 1] == u' ')
        --end;
    return text.mid(start, end - start);
}

bool IsBlank(const QString &text)
{
    return TrimSpaces(text).isEmpty();
}

QString GetField(const QString &text, qint16 field, const QString &delimiter)
{
    if (field < 1)
        return QString();
    qsizetype start = 0;
    for (qint16 k = 1;; ++k) {
        const qsizetype p = delimiter.isEmpty() ? -1 : text.indexOf(delimiter, start, Qt::CaseSensitive);
        if (k == field)
            return p >= 0 ? text.mid(start, p - start) : text.mid(start);
        if (p < 0)
            return QString();
        // The next field starts one character after the delimiter's first character.
        start = p + 1;
    }
}

QString GetDirectory(const QString &path)
{
    if (IsBlank(path))
        return QString();
    if (!path.contains(u'.'))
        return AddTrailingChar(path);
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (isSeparator(path[i]))
            return path.left(i + 1);
    }
    return QString();
}

QString GetFileName(const QString &path, QString &directory)
{
    directory = AddTrailingChar(GetDirectory(path));
    const qsizetype count = path.size() - directory.size();
    if (count < 0)
        return QString();
    return path.right(count);
}

QString AddTrailingChar(const QString &value, const QString &character)
{
    const QString t = TrimSpaces(value);
    if (t.isEmpty())
        return QString();
    return endsWithChar(t, character) ? t : t + character;
}

QString RemoveTrailingChar(const QString &value, const QString &character)
{
    const QString t = TrimSpaces(value);
    return endsWithChar(t, character) ? t.left(t.size() - 1) : t;
}

bool FileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

void SelectAllText(qint16 start)
{
    QWidget *focus = QApplication::focusWidget();
    if (auto *combo = qobject_cast<QComboBox *>(focus))
        focus = combo->lineEdit();
    if (auto *edit = qobject_cast<QLineEdit *>(focus)) {
        const int from = qBound(0, int(start), int(edit->text().size()));
        edit->setSelection(from, int(edit->text().size()) - from);
    }
}

void SetTopMost(QWidget *window, bool onTop, bool screenSaver)
{
    if (window && bool(window->windowFlags() & Qt::WindowStaysOnTopHint) != onTop) {
        const bool wasVisible = window->isVisible();
        window->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
        if (wasVisible)
            window->show(); // changing a window flag hides the window
    }
    if (screenSaver)
        SetScreenSaverRunning(onTop);
}

qint16 SetScreenSaverRunning(bool running)
{
    Q_UNUSED(running)
    return 1;
}

void PlayWave(const QString &path, bool bWait, bool bLoop)
{
    if (!modTavrik::SoundsOn || !FileExists(path))
        return;
    if (customPlayer())
        customPlayer()(path, bWait, bLoop);
    else
        playWithSoundEffect(path, bWait, bLoop);
}

void SetWavePlayer(WavePlayer player)
{
    customPlayer() = std::move(player);
}

QString BrowseForFolder(QWidget *owner, const QString &title, bool bAddBackslash)
{
    const QString chosen = QDir::toNativeSeparators(Prompt::ExistingDirectory(owner, title, QString()));
    return bAddBackslash ? AddTrailingChar(chosen) : RemoveTrailingChar(chosen);
}

} // namespace bksPublicModule
