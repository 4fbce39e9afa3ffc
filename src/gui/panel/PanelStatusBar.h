#pragma once

#include <QFrame>

class QLabel;
class StatusTotals;

// The main window's status bar: the four totals under their headings. Long durations are
// shortened with an ellipsis to fit their column, and the whole text shows as a tip.
class PanelStatusBar : public QFrame
{
    Q_OBJECT
public:
    explicit PanelStatusBar(QWidget *parent = nullptr);
    void show(const StatusTotals &totals);

private:
    QLabel *m_downloaded = nullptr;
    QLabel *m_uploaded = nullptr;
    QLabel *m_totalTime = nullptr;
    QLabel *m_currentTime = nullptr;
};
