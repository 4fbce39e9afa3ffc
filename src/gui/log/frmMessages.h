#pragma once

#include "log/ErrorDigest.h"
#include "log/MessageLog.h"

#include <QWidget>

class QAction;
class QLabel;
class QLineEdit;
class QMdiArea;
class QPlainTextEdit;
class SessionLog;

// The message log: one per process, created (and shown) on first use. Every entry also goes to the
// session log file when the program has one; the pop-up menu saves that file's whole session, and
// shows only failures and alarms ("errors only") or a find bar.
//
// The text box keeps the log as lines. Message() gives it back with CR LF between lines, and the
// size rule measures that text: a line break always counts as two characters, whether the caller
// wrote CR LF, a lone CR or a lone LF (all three become CR LF in the log).
class frmMessages : public QWidget
{
    Q_OBJECT
public:
    static frmMessages *instance();
    static bool exists();
    // Appends one entry to the log (creating it if needed).
    static void Append(const QString &sMessage, LogKind kind = LogKind::Note);
    // Appends several entries, as many Appends would, with one layout of the text box.
    static void Append(const QStringList &messages);
    static void Append(const LogEntries &entries);
    // While held, the CPUs' entries gather and go into the text box together every tenth of a
    // second, in the same order and with the same text; released, whatever waits goes in at once.
    // An update cycle holds the log: laying the box out for every CPU cost more than the reading.
    static void HoldEntries(bool hold);
    // The main window's MDI area; without one the log is a top-level window.
    static void setMdiArea(QMdiArea *area);
    // Shutdown: saves the placement and destroys the log (it is created afresh on next use).
    static void unloadInstance();
    // The program's session log file (owned by the program); null: entries are not kept in a file.
    static void setSessionLog(SessionLog *log);

    void setMessage(const QString &sMessage);
    void setMessages(const QStringList &messages);
    void setMessages(const LogEntries &entries);
    QString Message() const;
    // Shows or hides the log's window (its MDI frame when it has one).
    void setLogVisible(bool visible);
    bool isLogVisible() const;

    // Errors only: a read-only view of this session's failure and alarm entries, with their times,
    // in place of the text box.
    void setErrorsOnly(bool on);
    bool errorsOnly() const;
    // The find bar (Ctrl+F in the log): finds in whichever view shows, wrapping round, and
    // highlights every match. False when the text is not there.
    void showFindBar();
    bool findText(const QString &text, bool backwards = false);
    // Asks for a file and writes the whole session's log to it (the text box's text without a
    // session log file).
    void saveLogAs();

    // Until it has a place of its own, the log goes below these windows of its area, as wide as
    // their grid and at least eight lines high.
    bool hasStoredPlace() const { return m_storedPlace; }
    void placeBelow(const QList<QRect> &windows);

Q_SIGNALS:
    void activated(); // became the active child window
    void deactivated(); // another child window became active
    void closedByUser(); // hidden by its own close box

protected:
    explicit frmMessages(QWidget *parent = nullptr);
    ~frmMessages() override;
    void resizeEvent(QResizeEvent *event) override;
    // Reached only by the user's close box: the program unloads the log through unloadInstance().
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void load();
    void save() const;
    void placeIn(QMdiArea *area);
    qsizetype length() const;
    void buildFindBar();
    void layoutControls();
    int layoutFindBar(int width); // its height at this width
    QPlainTextEdit *visibleView() const;
    void showPopup(QPlainTextEdit *view, const QPoint &pos);
    void highlightMatches(const QString &text);
    void showErrors();

    QPlainTextEdit *m_tbMessage = nullptr;
    LogEntries m_waiting; // entries held back (see HoldEntries)
    bool m_held = false;
    QPlainTextEdit *m_tbErrors = nullptr;
    QWidget *m_findBar = nullptr;
    QList<QWidget *> m_findGroups; // of the find bar's controls, laid out as lines of words
    QLineEdit *m_tbFind = nullptr;
    QLabel *m_lblFindStatus = nullptr;
    QAction *m_mnuLogFind = nullptr;
    QAction *m_mnuLogErrorsOnly = nullptr;
    QAction *m_mnuLogSaveAs = nullptr;
    ErrorDigest m_digest; // this session's failures and alarms, as the errors-only view shows them
    bool m_resizing = false;
    bool m_storedPlace = false;
};
