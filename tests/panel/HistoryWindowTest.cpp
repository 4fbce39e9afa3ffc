#include "common/TestSupport.h"
#include "history/HistoryCommands.h"
#include "history/HistoryDatabase.h"
#include "history/HistoryStore.h"
#include "history/frmHistory.h"
#include "shared/Prompt.h"

#include <QApplication>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLegend>
#include <QMouseEvent>
#include <QSqlQuery>
#include <QStackedBarSeries>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QToolTip>

namespace {

// A CPU that finishes one unit every four readings (ten minutes apart) since midnight.
void feed(HistoryStore &store, const QString &id, const QString &name, int units)
{
    const qint64 start = QDate::currentDate().startOfDay().toSecsSinceEpoch() + 60;
    for (int i = 0; i < units * 4 + 1; ++i) {
        HistoryObservation o;
        o.cpuId = id;
        o.name = name;
        o.at = start + i * 600 / 4;
        o.results = i / 4;
        o.state = i % 4 == 3 ? CpuState::Downloading : CpuState::Working;
        o.percent = i % 4 == 3 ? 100.0f : float(i % 4 * 30 + 1);
        store.observe(o);
    }
    store.cycleFinished();
}

} // namespace

class HistoryWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_settings = std::make_unique<IsolatedSettings>(); }
    void cleanup() { m_settings.reset(); }

    // Units today per CPU in the chart, the CPU table and the unit list; every range draws; a
    // file from a newer version is shown read-only with the reason.
    void showsUnits()
    {
        if (QDateTime::currentDateTime().time() < QTime(1, 0))
            QSKIP("the CPUs' units would fall on yesterday");
        HistoryStore store(HistoryStore::DefaultFile());
        feed(store, QStringLiteral("a"), QStringLiteral("Attic"), 3);
        feed(store, QStringLiteral("b"), QStringLiteral("Den"), 1);
        store.flush();
        frmHistory window(store);
        window.Load();
        QVERIFY(window.notice()->text().isEmpty());
        auto *bars = qobject_cast<QStackedBarSeries *>(window.chartView()->chart()->series().value(0));
        QVERIFY(bars);
        QCOMPARE(bars->barSets().size(), 2);
        QCOMPARE(bars->barSets().at(0)->label(), QStringLiteral("Attic"));
        const int today = 29; // the last of the default 30 days
        QCOMPARE(bars->barSets().at(0)->at(today), 3.0);
        QCOMPARE(bars->barSets().at(1)->at(today), 1.0);

        QTableWidget *cpus = window.cpuTable();
        QCOMPARE(cpus->rowCount(), 2);
        QCOMPARE(cpus->item(0, 0)->text(), QStringLiteral("Attic"));
        QCOMPARE(cpus->item(0, 1)->text(), QStringLiteral("3"));
        QCOMPARE(cpus->item(1, 3)->text(), QStringLiteral("1"));

        // Hovering a day's bar tells that day's figures.
        window.resize(900, 600);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QChart *chart = window.chartView()->chart();
        const QPointF bar = chart->mapToPosition(QPointF(today, 0.5), bars);
        const QPoint at = window.chartView()->mapFromScene(chart->mapToScene(bar));
        // Straight to the view: another test's window may lie over this one on the screen.
        QWidget *view = window.chartView()->viewport();
        for (const QPoint p : { at, at + QPoint(1, 0) }) {
            QMouseEvent move(QEvent::MouseMove, p, view->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(view, &move);
        }
        // ... and keeps telling them once the pointer rests (the view's own help event).
        QHelpEvent rest(QEvent::ToolTip, at, view->mapToGlobal(at));
        QApplication::sendEvent(view, &rest);
        QTest::qWait(500); // a tip hidden goes after 300 ms
        QVERIFY2(QToolTip::text().contains(QStringLiteral("Attic: 3")), qPrintable(QToolTip::text()));
        for (int range = 0; range < window.rangeBox()->count(); ++range) {
            window.rangeBox()->setCurrentIndex(range);
            auto *now = qobject_cast<QStackedBarSeries *>(window.chartView()->chart()->series().value(0));
            QCOMPARE(now->barSets().at(0)->sum(), 3.0);
        }
        // A dark palette gets a dark chart with the palette's text colour.
        QPalette dark = window.palette();
        dark.setColor(QPalette::Window, Qt::black);
        dark.setColor(QPalette::Base, QColor(30, 30, 30));
        dark.setColor(QPalette::Text, Qt::white);
        window.setPalette(dark);
        QCOMPARE(window.chartView()->chart()->theme(), QChart::ChartThemeDark);
        QCOMPARE(window.chartView()->chart()->legend()->labelColor(), QColor(Qt::white));

        window.findChild<QTabWidget *>()->setCurrentWidget(window.unitTable());
        QCOMPARE(window.unitTable()->model()->rowCount(), 4);
        window.Unload();

        // File > Export History... writes the units; Clear History... asks, then deletes them.
        const QString csv = m_settings->dir() + QStringLiteral("/units.csv");
        Prompt::SetNextText(csv);
        HistoryCommands::Export(nullptr, store);
        QFile exported(csv);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        QCOMPARE(exported.readAll().count('\n'), 1 + 4);
        Prompt::SetNextYesNo(false);
        QVERIFY(!HistoryCommands::Clear(nullptr, store));
        Prompt::SetNextYesNo(true);
        QVERIFY(HistoryCommands::Clear(nullptr, store));
        window.refresh();
        QCOMPARE(window.cpuTable()->item(0, 3)->text(), QStringLiteral("0"));

        {
            HistoryDatabase db;
            QCOMPARE(db.open(store.file(), false), HistoryDatabase::State::Ready);
            QSqlQuery(db.db()).exec(QStringLiteral("PRAGMA user_version=99"));
        }
        HistoryStore newer(store.file());
        newer.flush();
        frmHistory old(newer);
        old.Load();
        QVERIFY2(old.notice()->text().contains(QStringLiteral("newer version")), qPrintable(old.notice()->text()));
        QCOMPARE(old.cpuTable()->rowCount(), 2); // the CPUs' names stay
        old.Unload();
    }

private:
    std::unique_ptr<IsolatedSettings> m_settings;
};

TAVRIK_TEST(HistoryWindowTest)
#include "HistoryWindowTest.moc"
