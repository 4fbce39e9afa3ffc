#include "shared/bksPublicWindows.h"

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
        // The one local loop outside a modal dialog: a caller that asked to wait for its sound
        // (the about box's closing sound) waits here, bounded, with user input held back. No
        // update-cycle path ever waits for a sound.
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

QString PlayWave(const QString &path, bool soundsOn, bool bWait, bool bLoop)
{
    if (!soundsOn)
        return QString();
    if (!FileExists(path))
        return QStringLiteral("the sound file does not exist");
    if (customPlayer()) {
        customPlayer()(path, bWait, bLoop);
        return QString();
    }
    if (QMediaDevices::audioOutputs().isEmpty())
        return QStringLiteral("there is no sound device");
    playWithSoundEffect(path, bWait, bLoop);
    return QString();
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
