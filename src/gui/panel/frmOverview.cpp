#include "panel/frmOverview.h"

#include "monitor/CpuStatus.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/Framework.h"
#include "shared/StateColours.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// The state's colour and disc, taken from the palette of the table that shows them.
class StateLook : public QIdentityProxyModel
{
public:
    StateLook(QWidget *view, QObject *parent)
        : QIdentityProxyModel(parent)
        , m_view(view)
    {
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (index.column() == CpuStatusModel::State && (role == Qt::ForegroundRole || role == Qt::DecorationRole)) {
            const auto state = CpuState(QIdentityProxyModel::data(index, CpuStatusModel::StateRole).toInt());
            if (role == Qt::DecorationRole)
                return StateColours::Icon(state);
            return StateColours::ForState(state, m_view->palette());
        }
        // A failure the CPU has recovered from is history: greyed, but still there to read.
        if (role == Qt::ForegroundRole && QIdentityProxyModel::data(index, CpuStatusModel::PastRole).toBool())
            return m_view->palette().color(QPalette::Disabled, QPalette::Text);
        return QIdentityProxyModel::data(index, role);
    }

private:
    QWidget *m_view;
};

} // namespace

frmOverview::frmOverview(CpuStatusModel &model, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmOverview"));
    setWindowTitle(QStringLiteral("Overview of the CPUs"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("tvwCPUs"));
    auto *look = new StateLook(m_table, this);
    look->setSourceModel(&model);
    m_sorted = new QSortFilterProxyModel(this);
    // Sorted when the user asks, not on every reading: rows stay where the user found them.
    m_sorted->setDynamicSortFilter(false);
    m_sorted->setSortRole(CpuStatusModel::SortRole);
    m_sorted->setSourceModel(look);
    m_table->setModel(m_sorted);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(-1, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    layout->addWidget(m_table);
    connect(m_table, &QTableView::activated, this,
        [this](const QModelIndex &index) { Q_EMIT cpuActivated(index.data(CpuStatusModel::KeyRole).toULongLong()); });
}

void frmOverview::fitColumns()
{
    if (isVisible())
        m_table->resizeColumnsToContents();
}

void frmOverview::followPanel(bool panelShown)
{
    if (!panelShown && isVisible()) {
        m_hiddenWithPanel = true;
        hide();
    } else if (panelShown && m_hiddenWithPanel) {
        m_hiddenWithPanel = false;
        show();
    }
}

frmOverview::~frmOverview() = default;

void frmOverview::Load()
{
    Framework::SetGeometryTwips(this, SettingsStore::getPlacement(Schema::Overview, Schema::OverviewPlacement));
    m_table->resizeColumnsToContents();
    show();
}

void frmOverview::Unload()
{
    if (!isVisible())
        return;
    SettingsStore::savePlacement(Schema::Overview, Framework::GeometryTwips(this));
    hide();
}

void frmOverview::closeEvent(QCloseEvent *event)
{
    Unload();
    event->accept();
}
