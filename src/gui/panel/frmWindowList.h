#pragma once

#include <QDialog>

class QLineEdit;
class QListWidget;
class QMdiArea;
class QMdiSubWindow;

// "More Windows...": every child window of the panel in a list that narrows as one types, for
// when the Window menu's first nine are not enough.
class frmWindowList : public QDialog
{
    Q_OBJECT
public:
    frmWindowList(QMdiArea *area, QWidget *parent = nullptr);
    QLineEdit *filter() const { return m_filter; }
    QListWidget *list() const { return m_list; }
    // The window chosen with Enter or a double click; null when the dialog was cancelled.
    QMdiSubWindow *chosen() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyFilter(const QString &text);

    QLineEdit *m_filter = nullptr;
    QListWidget *m_list = nullptr;
};
