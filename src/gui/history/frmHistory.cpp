#include "history/frmHistory.h"

#include "history/HistoryDatabase.h"
#include "history/HistoryQuery.h"
#include "history/HistoryStore.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/Framework.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSortFilterProxyModel>
#include <QStackedBarSeries>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

namespace {

QString duration(double seconds)
{
    if (seconds < 0)
        return QString();
    const qint64 minutes = qint64(seconds + 30) / 60;
    return minutes < 60 ? QStringLiteral("%1 min").arg(minutes)
                        : QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// A cell that sorts by the value behind its text.
class SortItem : public QTableWidgetItem
{
public:
    using QTableWidgetItem::QTableWidgetItem;
    bool operator<(const QTableWidgetItem &other) const override
    {
        return QVariant::compare(data(Qt::UserRole), other.data(Qt::UserRole)) == QPartialOrdering::Less;
    }
};

// The finished units, most recent first; sorted by the proxy on the values themselves.
class UnitModel : public QAbstractTableModel
{
public:
    enum Column { Cpu, Started, Finished, Wall, CpuTime, Download, Late, ColumnCount };
    using QAbstractTableModel::QAbstractTableModel;

    void setRows(std::vector<HistoryQuery::UnitRow> rows)
    {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    }
    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : ColumnCount; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        const HistoryQuery::UnitRow &r = m_rows[size_t(index.row())];
        const bool sort = role == Qt::UserRole;
        if (role != Qt::DisplayRole && !sort)
            return {};
        const QLocale locale;
        auto when = [&](qint64 t) -> QVariant {
            return sort ? QVariant(t)
                        : QVariant(locale.toString(QDateTime::fromSecsSinceEpoch(t), QLocale::ShortFormat));
        };
        switch (Column(index.column())) {
        case Cpu:
            return r.cpu;
        case Started:
            return when(r.firstSeen);
        case Finished:
            return when(r.finishedAt);
        case Wall: {
            const qint64 wall = r.finishedAt - r.firstSeen;
            return sort ? QVariant(wall)
                        : QVariant(duration(double(wall)) + (r.partial ? QStringLiteral(" (partly)") : QString()));
        }
        case CpuTime:
            return sort ? QVariant(r.cpuSeconds) : QVariant(duration(r.cpuSeconds));
        case Download:
            return sort ? QVariant(r.downloadSeconds) : QVariant(duration(double(r.downloadSeconds)));
        case Late:
            return sort ? QVariant(int(r.downloadLate)) : QVariant(r.downloadLate ? QStringLiteral("late") : QString());
        case ColumnCount:
            break;
        }
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const char *const Titles[]
            = { "CPU", "First seen", "Finished", "Wall time", "CPU time", "Download", "Download late" };
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
            return QString::fromLatin1(Titles[section]);
        return {};
    }

private:
    std::vector<HistoryQuery::UnitRow> m_rows;
};

} // namespace

class frmHistory::Private
{
public:
    HistoryDatabase db;
    UnitModel *units = nullptr;
    bool unitsLoaded = false;
    HistoryQuery::UnitChart shown;
};

frmHistory::frmHistory(HistoryStore &store, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , d(std::make_unique<Private>())
    , m_store(store)
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("History"));
    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    auto *rangeLabel = new QLabel(QStringLiteral("&Range:"), this);
    m_range = new QComboBox(this);
    m_range->setObjectName(QStringLiteral("cboRange"));
    m_range->addItems({ QStringLiteral("7 days"), QStringLiteral("30 days"), QStringLiteral("12 months"),
        QStringLiteral("All, by month") });
    m_range->setCurrentIndex(1);
    rangeLabel->setBuddy(m_range);
    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("lblNotice"));
    m_notice->setWordWrap(true);
    top->addWidget(rangeLabel);
    top->addWidget(m_range);
    top->addWidget(m_notice, 1);
    layout->addLayout(top);

    m_tabs = new QTabWidget(this);
    m_chart = new QChartView(new QChart, this);
    m_chart->setObjectName(QStringLiteral("chtUnits"));
    m_chart->setRenderHint(QPainter::Antialiasing);
    m_chart->chart()->legend()->setAlignment(Qt::AlignRight);
    m_tabs->addTab(m_chart, QStringLiteral("Units per day"));

    m_cpus = new QTableWidget(this);
    m_cpus->setObjectName(QStringLiteral("tblCPUs"));
    m_cpus->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_cpus->setSortingEnabled(true);
    m_cpus->verticalHeader()->hide();
    m_cpus->setAlternatingRowColors(true);
    m_tabs->addTab(m_cpus, QStringLiteral("CPUs"));

    d->units = new UnitModel(this);
    auto *sorted = new QSortFilterProxyModel(this);
    sorted->setSortRole(Qt::UserRole);
    sorted->setSourceModel(d->units);
    m_units = new QTableView(this);
    m_units->setObjectName(QStringLiteral("tblUnits"));
    m_units->setModel(sorted);
    m_units->setSortingEnabled(true);
    m_units->sortByColumn(UnitModel::Finished, Qt::DescendingOrder);
    m_units->verticalHeader()->hide();
    m_units->setAlternatingRowColors(true);
    m_units->horizontalHeader()->setStretchLastSection(true);
    m_tabs->addTab(m_units, QStringLiteral("Finished units"));
    layout->addWidget(m_tabs, 1);

    connect(m_range, &QComboBox::currentIndexChanged, this, [this] {
        if (openDatabase())
            fillChart();
    });
    // The list of every unit is read when it is first looked at.
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] {
        if (m_tabs->currentWidget() == m_units && !d->unitsLoaded)
            fillUnits();
    });
}

frmHistory::~frmHistory() = default;

void frmHistory::Load()
{
    Framework::SetGeometryTwips(this, SettingsStore::getPlacement(Schema::History, Schema::HistoryPlacement));
    refresh();
    show();
    QWidget *frame = Framework::FrameOf(this);
    frame->show();
    if (auto *sub = qobject_cast<QMdiSubWindow *>(frame); sub && sub->mdiArea())
        sub->mdiArea()->setActiveSubWindow(sub);
}

void frmHistory::Unload()
{
    QWidget *frame = Framework::FrameOf(this);
    if (frame->isHidden())
        return;
    SettingsStore::savePlacement(Schema::History, Framework::GeometryTwips(this));
    frame->hide();
}

void frmHistory::closeEvent(QCloseEvent *event)
{
    // Hidden, not closed: in the panel's area a closed child window would be deleted, and the
    // history is opened again where the user left it.
    event->ignore();
    Unload();
}

void frmHistory::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange && d->db.state() == HistoryDatabase::State::ReadOnly)
        fillChart();
    QWidget::changeEvent(event);
}

bool frmHistory::openDatabase()
{
    const QString off = m_store.offReason();
    m_notice->setText(off.isEmpty() ? QString() : QStringLiteral("History is off: %1.").arg(off));
    if (d->db.state() == HistoryDatabase::State::ReadOnly)
        return true;
    if (d->db.open(m_store.file(), true) == HistoryDatabase::State::ReadOnly)
        return true;
    if (off.isEmpty())
        m_notice->setText(QStringLiteral("No history yet: it begins with the first reading of a CPU."));
    return false;
}

void frmHistory::refresh()
{
    d->db.close(); // sees what the worker wrote since
    d->unitsLoaded = false;
    if (!openDatabase())
        return;
    fillChart();
    fillCpus();
    if (m_tabs->currentWidget() == m_units)
        fillUnits();
}

void frmHistory::fillChart()
{
    const auto range = HistoryQuery::Range(m_range->currentIndex());
    d->shown = HistoryQuery::Units(d->db.db(), range, QDate::currentDate());
    const HistoryQuery::UnitChart &c = d->shown;

    QChart *chart = m_chart->chart();
    chart->removeAllSeries();
    for (QAbstractAxis *axis : chart->axes())
        chart->removeAxis(axis), delete axis;
    // Light or dark with the palette the user has.
    const bool dark = palette().color(QPalette::Window).lightness() < 128;
    chart->setTheme(dark ? QChart::ChartThemeDark : QChart::ChartThemeLight);
    chart->setBackgroundBrush(palette().base());
    chart->setTitleBrush(palette().text());
    chart->legend()->setLabelColor(palette().color(QPalette::Text));
    chart->setTitle(m_range->currentIndex() == 2 ? QStringLiteral("Units finished per week")
            : m_range->currentIndex() == 3       ? QStringLiteral("Units finished per month")
                                                 : QStringLiteral("Units finished per day"));

    // Ten colours that stay apart on light and dark backgrounds; "others" in the palette's grey.
    static const QRgb Colours[]
        = { 0x4e79a7, 0xf28e2b, 0xe15759, 0x76b7b2, 0x59a14f, 0xedc948, 0xb07aa1, 0xff9da7, 0x9c755f, 0x17becf };
    auto *bars = new QStackedBarSeries;
    for (int s = 0; s < c.series.size(); ++s) {
        auto *set = new QBarSet(c.series[s]);
        const bool others = s >= HistoryQuery::MaxSeries;
        set->setColor(others ? palette().color(QPalette::Mid) : QColor(Colours[s % std::size(Colours)]));
        set->setBorderColor(set->color());
        QList<qreal> values;
        values.reserve(c.buckets.size());
        for (int v : c.counts[size_t(s)])
            values.append(v);
        set->append(values);
        bars->append(set);
    }
    // The tip is the chart's own: the view's help event shows an item's tip, and hides any tip
    // shown by other means once the pointer rests.
    connect(bars, &QStackedBarSeries::hovered, this, [this](bool on, int index, QBarSet *) {
        QChart *chart = m_chart->chart();
        if (!on || index < 0 || index >= d->shown.buckets.size()) {
            chart->setToolTip(QString());
            QToolTip::hideText();
            return;
        }
        QStringList lines {
            QStringLiteral("<b>%1</b>: %2 units").arg(d->shown.buckets[index]).arg(d->shown.totals[size_t(index)])
        };
        for (int s = 0; s < d->shown.series.size(); ++s)
            if (const int n = d->shown.counts[size_t(s)][size_t(index)])
                lines.append(QStringLiteral("%1: %2").arg(d->shown.series[s].toHtmlEscaped()).arg(n));
        chart->setToolTip(lines.join(QStringLiteral("<br>")));
        QToolTip::showText(QCursor::pos(), chart->toolTip(), m_chart);
    });
    auto *total = new QLineSeries;
    total->setName(QStringLiteral("All CPUs"));
    total->setPen(QPen(palette().color(QPalette::Text), 2));
    int most = 0;
    for (int b = 0; b < int(c.totals.size()); ++b) {
        total->append(b, c.totals[size_t(b)]);
        most = qMax(most, c.totals[size_t(b)]);
    }
    chart->addSeries(bars);
    chart->addSeries(total);
    auto *x = new QBarCategoryAxis;
    x->append(c.buckets);
    x->setLabelsAngle(c.buckets.size() > 12 ? -90 : 0);
    x->setTruncateLabels(false); // a small window or a large scale would leave only ellipses
    auto *y = new QValueAxis;
    y->setRange(0, qMax(1, most + most / 10 + 1));
    y->setLabelFormat(QStringLiteral("%d"));
    for (QAbstractAxis *axis : { static_cast<QAbstractAxis *>(x), static_cast<QAbstractAxis *>(y) })
        axis->setLabelsColor(palette().color(QPalette::Text));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries *s : { static_cast<QAbstractSeries *>(bars), static_cast<QAbstractSeries *>(total) }) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
}

void frmHistory::fillCpus()
{
    const std::vector<HistoryQuery::CpuRow> rows = HistoryQuery::Cpus(d->db.db(), QDate::currentDate());
    m_cpus->setSortingEnabled(false);
    m_cpus->clear();
    m_cpus->setColumnCount(11);
    m_cpus->setHorizontalHeaderLabels({ QStringLiteral("CPU"), QStringLiteral("Today"), QStringLiteral("7 days"),
        QStringLiteral("30 days"), QStringLiteral("Median unit"), QStringLiteral("Median download"),
        QStringLiteral("Late downloads"), QStringLiteral("Stalled"), QStringLiteral("Unreachable"),
        QStringLiteral("Available"), QStringLiteral("") });
    m_cpus->setRowCount(int(rows.size()));
    const QLocale locale;
    auto item = [](const QString &text, const QVariant &sort) {
        auto *i = new SortItem(text);
        i->setData(Qt::UserRole, sort);
        if (sort.typeId() != QMetaType::QString)
            i->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return i;
    };
    for (int r = 0; r < int(rows.size()); ++r) {
        const HistoryQuery::CpuRow &c = rows[size_t(r)];
        const double available = c.availability();
        const QList<QTableWidgetItem *> items { item(c.name, c.name), item(QString::number(c.today), c.today),
            item(QString::number(c.week), c.week), item(QString::number(c.month), c.month),
            item(duration(c.medianUnitSeconds), c.medianUnitSeconds),
            item(duration(c.medianDownloadSeconds), c.medianDownloadSeconds),
            item(QString::number(c.lateDownloads), c.lateDownloads),
            item(duration(double(c.stalledSeconds)), c.stalledSeconds),
            item(duration(double(c.unreachableSeconds)), c.unreachableSeconds),
            item(available < 0 ? QString() : locale.toString(available, 'f', 1) + u'%', available),
            item(c.removed ? QStringLiteral("removed") : QString(), int(c.removed)) };
        for (int col = 0; col < items.size(); ++col)
            m_cpus->setItem(r, col, items[col]);
    }
    m_cpus->setToolTip(QStringLiteral("Median times, late downloads, stalled and unreachable time and availability "
                                      "are of the last 30 days, while the panel watched."));
    m_cpus->setSortingEnabled(true);
    m_cpus->resizeColumnsToContents();
}

void frmHistory::fillUnits()
{
    if (!openDatabase())
        return;
    d->units->setRows(HistoryQuery::FinishedUnits(d->db.db(), 1000000));
    d->unitsLoaded = true;
    m_units->resizeColumnsToContents();
}
