#pragma once

#include <QWidget>

class Fleet;
class QMdiArea;
struct Cpu;
struct CpuStatus;

// The child window that stands for one CPU: a view of the CPU's record in the fleet. Its
// properties read and write that record; it keeps only its own place on the screen.
class frmSetiControl : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString CPUName READ CPUName WRITE setCPUName)
    Q_PROPERTY(QString CPUPath READ CPUPath WRITE setCPUPath)
    Q_PROPERTY(bool AllowUpdates READ AllowUpdates WRITE setAllowUpdates)
    Q_PROPERTY(bool PutOnDisplay READ PutOnDisplay WRITE setPutOnDisplay)
public:
    frmSetiControl(Fleet &fleet, quint64 key, QWidget *parent = nullptr);
    ~frmSetiControl() override;

    QString CPUName() const;
    void setCPUName(const QString &sCPUName);
    QString CPUPath() const;
    void setCPUPath(const QString &sCPUPath); // adds the trailing separator
    bool AllowUpdates() const;
    void setAllowUpdates(bool bAllowUpdates);
    bool PutOnDisplay() const;
    void setPutOnDisplay(bool bPutOnDisplay);

    // Places the window in the MDI area (a top-level window without one) where its settings
    // section says, and shows it, as the active window unless told not to.
    void Load(QMdiArea *area, bool activate = true);
    // Closes the window and deletes it later; the record stays the fleet's business.
    void Unload();
    bool isUnloaded() const;
    // The window's own keys in the CPU's section: its state, and its place when normal.
    void savePlace() const;

    // The CPU's key in the fleet; never reused.
    quint64 key() const;
    const Cpu *cpu() const; // null once the fleet has let it go

    // Shows the record as its readings left it (after each reading, and after an edit).
    void showRecord();

    // What the scrolling display copies.
    QString percentText() const;
    // The state as the last applied reading left it, and in words ("stalled"); the words are
    // empty while the client simply works.
    const CpuStatus &status() const;
    QString attentionWords() const;
    // Where the window sat came from its settings section rather than from the defaults.
    bool hasStoredPlace() const;

Q_SIGNALS:
    void activated(); // became the active child: the main window's check marks follow it
    void popupMenuRequested(const QPoint &globalPos); // right button anywhere on the window, Menu key
    void editRequested(); // double click on the window's background

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void setPercentText(const QString &text);
    void applyColours();
    void showState();

    class Private;
    Private *d;
};
