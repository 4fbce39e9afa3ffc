#pragma once

#include <QWidget>

class CpuStatusModel;
class QSortFilterProxyModel;
class QTableView;

// Every CPU in one sortable table: state, progress, pace, time to finish, last good reading and
// last failure. Rows change in place as readings arrive; the order changes only when the user
// sorts, so a row does not jump away while it is read. Double click or Enter brings up the CPU's
// window.
class frmOverview : public QWidget
{
    Q_OBJECT
public:
    frmOverview(CpuStatusModel &model, QWidget *parent = nullptr);
    ~frmOverview() override;

    QTableView *table() const { return m_table; }
    void Load(); // placement from its settings section, then shown
    void Unload(); // placement saved, then hidden
    // Columns to their contents: once a cycle, as sizing them costs more than the readings.
    void fitColumns();
    // It goes and comes back with the panel.
    void followPanel(bool panelShown);

Q_SIGNALS:
    void cpuActivated(quint64 key);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QTableView *m_table = nullptr;
    QSortFilterProxyModel *m_sorted = nullptr;
    bool m_hiddenWithPanel = false;
};
