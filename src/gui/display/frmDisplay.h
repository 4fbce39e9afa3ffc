#pragma once

#include <QWidget>

struct Options;

// The one-line scrolling display shown while the main window is minimised.
class frmDisplay : public QWidget
{
    Q_OBJECT
public:
    // The scroll interval and the top-most switch come from options; "Update Interval..." changes
    // the interval there.
    explicit frmDisplay(Options &options, QWidget *parent = nullptr);
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
