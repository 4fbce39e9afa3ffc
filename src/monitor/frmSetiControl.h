#pragma once

#include <QWidget>

class QMdiArea;
class StatusTotals;
struct UpdateResult;

// The child window that stands for one CPU: the CPU record itself.
class frmSetiControl : public QWidget
{
    Q_OBJECT
public:
    explicit frmSetiControl(StatusTotals &totals, QWidget *parent = nullptr);
    ~frmSetiControl() override;

    QString CPUName() const;
    void setCPUName(const QString &sCPUName);
    QString CPUPath() const;
    void setCPUPath(const QString &sCPUPath); // adds the trailing separator
    bool AllowUpdates() const;
    void setAllowUpdates(bool bAllowUpdates);
    bool PutOnDisplay() const;
    void setPutOnDisplay(bool bPutOnDisplay);

    // Loads the window into the MDI area (a top-level window without one): asks for a CPU when the
    // name or path is blank, reads its settings section and the client's files once, shows it.
    // Returns false when it got no valid CPU and unloaded itself (it is then deleted later).
    bool Load(QMdiArea *area);
    // Saves the hand-over entry and the CPU's section, then closes and deletes the window later.
    void Unload();
    bool isUnloaded() const;
    // Writes the CPU's own settings section (path, state, switches, place when normal).
    void SaveSection() const;

    void UpdateDisplay(); // GetSetiStats when name and path are not blank
    void GetSetiStats();

    // What the scrolling display copies.
    QString percentText() const;
    // Rewrites caption and path label after an edit of the CPU.
    void applyNameAndPath();

Q_SIGNALS:
    void activated(); // became the active child: the main window's check marks follow it
    void popupMenuRequested(const QPoint &globalPos); // right button anywhere on the window
    void editRequested(); // double click on the window's background

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void readAndApply();
    void apply(const UpdateResult &r);
    void setPercentText(const QString &text);

    class Private;
    Private *d;
};
