#pragma once

#include "log/MessageLog.h"

#include <QWidget>

class QMdiArea;
class QPlainTextEdit;

// The message log: one per process, created (and shown) on first use.
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
    static void Append(const QString &sMessage);
    // Appends several entries, as many Appends would, with one layout of the text box.
    static void Append(const QStringList &messages);
    // The main window's MDI area; without one the log is a top-level window.
    static void setMdiArea(QMdiArea *area);
    // Shutdown: saves the placement and destroys the log (it is created afresh on next use).
    static void unloadInstance();

    void setMessage(const QString &sMessage);
    void setMessages(const QStringList &messages);
    QString Message() const;
    // Shows or hides the log's window (its MDI frame when it has one).
    void setLogVisible(bool visible);
    bool isLogVisible() const;

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

private:
    void load();
    void save() const;
    void placeIn(QMdiArea *area);
    qsizetype length() const;

    QPlainTextEdit *m_tbMessage = nullptr;
    bool m_resizing = false;
};
