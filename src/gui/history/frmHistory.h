#pragma once

#include <QWidget>

#include <memory>

class HistoryStore;
class QComboBox;
class QLabel;
class QTabWidget;
class QTableView;
class QTableWidget;
class QChartView;

// What the CPUs did over days, months and years: units finished per CPU as stacked bars with the
// fleet's total as a line, a table per CPU and the finished units. Reads the history file on its
// own read-only connection; the store's worker goes on writing meanwhile.
class frmHistory : public QWidget
{
    Q_OBJECT
public:
    frmHistory(HistoryStore &store, QWidget *parent = nullptr);
    ~frmHistory() override;

    void Load(); // placement from its settings section, then shown with the data as it is now
    void Unload(); // placement saved, then hidden
    // Reads the history again for the range chosen.
    void refresh();

    QComboBox *rangeBox() const { return m_range; }
    QChartView *chartView() const { return m_chart; }
    QTableWidget *cpuTable() const { return m_cpus; }
    QTableView *unitTable() const { return m_units; }
    QLabel *notice() const { return m_notice; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    bool openDatabase();
    void fillChart();
    void fillCpus();
    void fillUnits();

    class Private;
    std::unique_ptr<Private> d;
    HistoryStore &m_store;
    QComboBox *m_range = nullptr;
    QLabel *m_notice = nullptr;
    QTabWidget *m_tabs = nullptr;
    QChartView *m_chart = nullptr;
    QTableWidget *m_cpus = nullptr;
    QTableView *m_units = nullptr;
};
