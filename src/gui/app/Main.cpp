#include "app/Main.h"

#include "dialogs/frmSplash.h"
#include "panel/mfrmTavrik.h"
#include "settings/Options.h"
#include "settings/Schema.h"
#include "settings/SingleInstance.h"
#include "shared/Platform.h"

#include <QApplication>
#include <QIcon>

namespace modTavrik {

int Main(QApplication &app)
{
    QApplication::setOrganizationName(Schema::Organisation);
    QApplication::setApplicationName(Schema::Application);
    QApplication::setApplicationVersion(ProgramVersion());
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/media/tavrik.png")));

    // A second copy ends at once, without a window and without touching the settings.
    SingleInstance instance;
    if (!instance.tryAcquire())
        return 0;

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
    main.Load();
    return app.exec();
}

} // namespace modTavrik
