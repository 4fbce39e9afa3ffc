#pragma once

#include "display/DisplayTicker.h"

#include <QWidget>

class Options;

// The one-line scrolling display shown while the main window is minimised.
class frmDisplay : public QWidget
{
    Q_OBJECT
public:
    // The scroll interval and the top-most switch come from options; "Update Interval..." changes
    // the interval there. The CPUs to show, in their order, come from cpus.
    frmDisplay(Options &options, DisplayTicker::ViewSource cpus, QWidget *parent = nullptr);
    ~frmDisplay() override;

    void setEnableTimer(bool bEnableTimer); // before Load
    void Load(); // reads its placement, shows itself
    void Unload(); // saves its placement, closes and deletes itself later
    bool isUnloaded() const;

    // One tick of Timer1; also what Update Now runs.
    void Timer1_Timer();

Q_SIGNALS:
    void showMainWindowRequested(); // "Show Main Window"
    void unloaded();

private:
    class Private;
    Private *d;
};
