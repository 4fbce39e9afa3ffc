#pragma once

#include <QWidget>

class QMdiArea;
class StatusTotals;
struct ClientSnapshot;
struct CpuStatus;
struct Options;
struct UpdateResult;

// The child window that stands for one CPU: the CPU record itself.
class frmSetiControl : public QWidget
{
    Q_OBJECT
public:
    frmSetiControl(const Options &options, StatusTotals &totals, QWidget *parent = nullptr);
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
    // name or path is blank, reads its settings section and shows it. The client's files are read
    // by the update cycle afterwards. Returns false when it got no valid CPU and unloaded itself
    // (it is then deleted later).
    bool Load(QMdiArea *area);
    // Saves the hand-over entry and the CPU's section, then closes and deletes the window later.
    void Unload();
    bool isUnloaded() const;
    // Writes the CPU's own settings section (path, state, switches, place when normal).
    void SaveSection() const;

    // Identifies the window to the update cycle for as long as it exists; never reused.
    quint64 key() const;
    // Identifies the CPU in the history for good, through renames; kept in its settings section.
    QString historyId() const;
    // What the last applied reading gave (with status(): what the history records).
    const UpdateResult &lastResult() const;

    // Shows a reading of the client's folder: GetSetiStats when the window is loaded and its name
    // and path are not blank.
    void UpdateDisplay(const ClientSnapshot &files);
    void GetSetiStats(const ClientSnapshot &files);

    // What the scrolling display copies.
    QString percentText() const;
    // The state as the last applied reading left it, and in words ("stalled"); the words are
    // empty while the client simply works.
    const CpuStatus &status() const;
    QString attentionWords() const;
    // Where the window sat came from its settings section rather than from the defaults.
    bool hasStoredPlace() const;
    // Rewrites caption and path label after an edit of the CPU.
    void applyNameAndPath();

Q_SIGNALS:
    void activated(); // became the active child: the main window's check marks follow it
    void popupMenuRequested(const QPoint &globalPos); // right button anywhere on the window, Menu key
    void editRequested(); // double click on the window's background
    void statusChanged(); // a reading was applied

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
    void apply(const UpdateResult &r);
    void setPercentText(const QString &text);
    void applyColours();
    void showState();

    class Private;
    Private *d;
};
