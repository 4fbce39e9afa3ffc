#pragma once

#include <QList>

#include "panel/mfrmTavrik.h"

class QAction;

// Every menu item of the main window, held rather than looked up by name.
struct mfrmTavrik::Actions
{
    QAction *fileOptions, *fileExit;
    QAction *cpuAdd, *cpuRemove, *cpuInfo, *cpuPutOnDisplay, *cpuAllowUpdates, *cpuRefresh;
    QAction *refresh;
    QAction *windowMessage, *windowMore;
    QAction *popPutOnDisplay, *popAllowUpdates, *popRemove, *popInfo, *popRefresh, *popRefreshMe;

    // The commands that act on a CPU window; the log disables them while it is active.
    QList<QAction *> cpuCommands() const
    {
        return { cpuRemove, cpuInfo, cpuAllowUpdates, cpuPutOnDisplay, cpuRefresh, popRemove, popInfo, popAllowUpdates,
            popPutOnDisplay, popRefresh };
    }
};
