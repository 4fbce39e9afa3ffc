#include "app/Main.h"

#include "app/CommandLine.h"
#include "app/InstanceChannel.h"
#include "dialogs/frmSplash.h"
#include "log/SessionLog.h"
#include "log/frmMessages.h"
#include "panel/mfrmTavrik.h"
#include "settings/Options.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "settings/SingleInstance.h"
#include "shared/Platform.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>

namespace modTavrik {

int Main(QApplication &app, const CommandLine::Request &request)
{
    QApplication::setOrganizationName(Schema::Organisation);
    QApplication::setApplicationName(Schema::Application);
    QApplication::setApplicationVersion(ProgramVersion());
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/media/tavrik.png")));

    // A second copy ends at once, without a window and without touching the settings; it asks
    // the running copy to come to the front, so a second start is never met with nothing.
    SingleInstance instance;
    const QString channelName = SingleInstance::ChannelName();
    if (!instance.tryAcquire()) {
        if (InstanceChannel::AskToShow(channelName))
            std::fprintf(stderr, "tavrik: already running; brought its window to the front.\n");
        else
            std::fprintf(stderr, "tavrik: already running (it did not answer the request to show itself).\n");
        return 0;
    }
    InstanceChannel channel(channelName);
    if (!channel.listen())
        std::fprintf(
            stderr, "tavrik: a second start will not be able to show this window (%s).\n", qUtf8Printable(channelName));

    // Said before anything is read, and again in the log once it shows.
    const QStringList storeProblems = SettingsStore::checkAccess();
    for (const QString &problem : storeProblems)
        std::fprintf(stderr, "tavrik: %s\n", qUtf8Printable(problem));

    // Every log entry of this run is kept in a file as well; the log window shows the last part.
    SessionLog sessionLog(SessionLog::DefaultDir());
    frmMessages::setSessionLog(&sessionLog);

    auto *splash = new frmSplash;
    splash->setEnableTimer(true);
    splash->Load();

    Options options;
    LoadOptions(options);

    mfrmTavrik main(options);
    // Termination requests and the end of the desktop session close the window the normal way,
    // so everything is saved; a running update cycle finishes first.
    Platform::InstallTerminationHandler([&main] { main.closeFromSystem(); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &main, [&main] { main.closeFromSystem(); });
    QObject::connect(
        &channel, &InstanceChannel::showRequested, &main, [&main] { InstanceChannel::BringForward(&main); });
    // --minimized acts like the option for this run only, so the stored option stays as it was.
    main.Load(request.minimized);
    for (const QString &problem : storeProblems)
        frmMessages::Append(problem, LogKind::Failure);
    return app.exec();
}

} // namespace modTavrik
