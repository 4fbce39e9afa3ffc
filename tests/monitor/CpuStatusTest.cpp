#include "monitor/CpuStatus.h"
#include "common/TestSupport.h"
#include "monitor/AlertRule.h"
#include "monitor/StatsInterpreter.h"
#include "shared/Failure.h"

#include <QScopeGuard>
#include <QSortFilterProxyModel>
#include <QTest>

namespace {

const QDateTime T0(QDate(2026, 6, 12), QTime(10, 0));
const QString User = QStringLiteral("nwus=120\nnresults=119\ntotal_cpu=3600\n");

// A reading at T0; a download timed since the given moment, if any.
UpdateResult read(const QString &state, int stateError, float lastPercent, qint64 wtemp, QDateTime downloadSince = {})
{
    ClientSnapshot s { { state, stateError, {} }, { User, 0, {} }, wtemp < 0 ? int(Failure::FileNotFound) : 0,
        qMax<qint64>(0, wtemp) };
    const qint64 since = downloadSince.isValid() ? downloadSince.toMSecsSinceEpoch() : 0;
    MonitorFields f { lastPercent, lastPercent, 0, since, false, 0, since };
    return StatsInterpreter::Run(
        { QStringLiteral("c"), QStringLiteral("/s/"), s, f, 5, T0.toMSecsSinceEpoch(), QString(), 0, 0 });
}

struct FakeTray : AlertSink
{
    QStringList titles;
    void showAlerts(const QList<AlertNotice> &notices) override
    {
        for (const AlertNotice &n : notices)
            titles.append(QStringLiteral("%1 (%2)").arg(n.title).arg(int(n.urgency)));
    }
};

} // namespace

class CpuStatusTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stateFromReading_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("error");
        QTest::addColumn<float>("last");
        QTest::addColumn<qint64>("wtemp");
        QTest::addColumn<int>("downloadingForMin"); // -1: not downloading before
        QTest::addColumn<QString>("words");
        const QString s20 = QStringLiteral("prog=0.2\ncpu=100\n");
        const QString s100 = QStringLiteral("prog=1\ncpu=100\n");
        QTest::newRow("moved") << s20 << 0 << 10.0f << qint64(-1) << -1 << "working";
        QTest::newRow("unmoved") << s20 << 0 << 20.0f << qint64(-1) << -1 << "stalled";
        QTest::newRow("unit done") << s100 << 0 << 100.0f << qint64(1000) << -1 << "downloading";
        QTest::newRow("download late") << s100 << 0 << 100.0f << qint64(1000) << 12 << "download late 7 min";
        QTest::newRow("no folder") << QString() << 76 << 0.0f << qint64(-1) << -1 << "unreachable";
        QTest::newRow("no state, unit coming") << QString() << 53 << 0.0f << qint64(10) << -1 << "downloading";
        QTest::newRow("no state, nothing coming")
            << QString() << 53 << 0.0f << qint64(-1) << -1 << "failed: File not found";
        QTest::newRow("garbage") << QStringLiteral("prog=x\ncpu=1\n") << 0 << 0.0f << qint64(-1) << -1
                                 << "failed: Type mismatch";
    }
    void stateFromReading()
    {
        QFETCH(QString, state);
        QFETCH(int, error);
        QFETCH(float, last);
        QFETCH(qint64, wtemp);
        QFETCH(int, downloadingForMin);
        QFETCH(QString, words);
        const QDateTime since = downloadingForMin < 0 ? QDateTime() : T0.addSecs(-60 * downloadingForMin);
        const CpuStatus s = CpuStatus::Next({}, read(state, error, last, wtemp, since), T0, 5);
        QCOMPARE(s.words(), words);
        QCOMPARE(s.lastGood.isValid(), error == 0 && !words.startsWith(u'f'));
    }

    void paceAndFinish()
    {
        CpuStatus s = CpuStatus::Next({}, read(QStringLiteral("prog=0.25\ncpu=1\n"), 0, 5, -1), T0, 5);
        QVERIFY(!s.etaSeconds);
        s = CpuStatus::Next(s, read(QStringLiteral("prog=0.5\ncpu=1\n"), 0, 25, -1), T0.addSecs(1800), 5);
        QVERIFY(qAbs(*s.perHour - 50.0) < 1e-3);
        QCOMPARE(*s.etaSeconds, qint64(3600)); // 50 points at 50 an hour
        s = CpuStatus::Next(s, read(QStringLiteral("prog=0.5\ncpu=1\n"), 0, 50, -1), T0.addSecs(3600), 5);
        QCOMPARE(s.state, CpuState::Stalled);
        QVERIFY(!s.etaSeconds);
        // A new work unit starts the pace again rather than giving a negative one.
        s = CpuStatus::Next(s, read(QStringLiteral("prog=0.125\ncpu=1\n"), 0, 50, -1), T0.addSecs(3700), 5);
        QVERIFY(!s.perHour);
    }

    // Slow against the CPU's usual pace, from readings ten minutes apart; the time
    // to finish from the usual pace until two readings give one.
    void slowAndUsualPace_data()
    {
        QTest::addColumn<double>("usual");
        QTest::addColumn<QList<double>>("percents");
        QTest::addColumn<QString>("words");
        QTest::addColumn<int>("etaMinutes"); // -1: none
        QTest::newRow("first reading, usual pace") << 10.0 << QList<double> { 50 } << "working" << 300;
        QTest::newRow("slow, not before half an hour") << 30.0 << QList<double> { 50, 51, 52 } << "working" << 480;
        QTest::newRow("slow over half an hour") << 30.0 << QList<double> { 50, 51, 52, 53 } << "slow" << 470;
        QTest::newRow("two thirds of the usual pace is not slow")
            << 30.0 << QList<double> { 50, 53.4, 56.8, 60.2 } << "working" << 117;
        QTest::newRow("fast at first, slow over the last half hour")
            << 30.0 << QList<double> { 10, 30, 50, 51, 52, 53 } << "slow" << 470;
        QTest::newRow("a new unit measures afresh")
            << 30.0 << QList<double> { 50, 51, 52, 53, 1, 2, 3 } << "working" << 970;
        QTest::newRow("stalled stays stalled") << 30.0 << QList<double> { 50, 51, 52, 52 } << "stalled" << -1;
    }
    void slowAndUsualPace()
    {
        QFETCH(double, usual);
        QFETCH(QList<double>, percents);
        QFETCH(QString, words);
        QFETCH(int, etaMinutes);
        CpuStatus s;
        s.usualPerHour = usual;
        float last = 0;
        for (qsizetype i = 0; i < percents.size(); ++i) {
            const float p = float(percents[i]);
            s = CpuStatus::Next(
                s, read(QStringLiteral("prog=%1\ncpu=1\n").arg(p / 100), 0, last, -1), T0.addSecs(600 * i), 5);
            last = p;
        }
        QCOMPARE(s.words(), words);
        QCOMPARE(s.etaSeconds ? int(qRound(double(*s.etaSeconds) / 60)) : -1, etaMinutes);
    }

    // The overview's texts: the unit's own percentage in Done and the download's beside it, a
    // failure in words with its time (greyed once the CPU reads again), a finished unit so called.
    void columns()
    {
        CpuStatusModel model;
        auto row = [&model](const CpuStatus &s) {
            model.setStatus(1, QStringLiteral("Attic"), s);
            QStringList out;
            for (int c = CpuStatusModel::State; c < CpuStatusModel::ColumnCount; ++c)
                if (c != CpuStatusModel::CpuTime && c != CpuStatusModel::LastGood && c != CpuStatusModel::PerHour)
                    out.append(model.index(0, c).data().toString());
            out.append(
                model.index(0, CpuStatusModel::LastFailure).data(CpuStatusModel::PastRole).toBool() ? "past" : "now");
            return out;
        };
        // The record keeps its times in UTC; the table shows them in the user's zone.
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "Asia/Kolkata");
        const auto restore = qScopeGuard([&zone] { zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone); });
        const QString at = QLocale().toString(QTime(15, 30), QLocale::ShortFormat);
        CpuStatus s = CpuStatus::Next({}, read(QString(), 76, 0, -1), QDateTime(T0.date(), QTime(10, 0), Qt::UTC), 5);
        QCOMPARE(row(s), QStringList({ "unreachable", "0%", "", "", "Path not found, " + at, "now" }));
        s = CpuStatus::Next(s, read(QStringLiteral("prog=0.5\ncpu=1\n"), 0, 25, -1), T0.addSecs(60), 5);
        QCOMPARE(row(s), QStringList({ "working", "50%", "", "", "Path not found, " + at, "past" }));
        QCOMPARE(model.index(0, CpuStatusModel::Name).data(Qt::AccessibleTextRole).toString(),
            QStringLiteral("Attic, 50 percent, working"));
        s = CpuStatus::Next(s, read(QStringLiteral("prog=1\ncpu=1\n"), 0, 100, 1000), T0.addSecs(120), 5);
        QCOMPARE(row(s).mid(0, 3), QStringList({ "downloading", "100%", s.percentText }));
        QVERIFY(!s.downloadText.isEmpty());
        s = CpuStatus::Next(CpuStatus(), read(QStringLiteral("prog=1\ncpu=1\n"), 0, 50, -1), T0, 5);
        QCOMPARE(row(s).mid(0, 4), QStringList({ "finished", "100%", "", "" }));
    }

    void sortsByState()
    {
        CpuStatusModel model;
        const CpuState states[]
            = { CpuState::Working, CpuState::Unreachable, CpuState::Stalled, CpuState::Downloading };
        for (quint64 k = 0; k < 4; ++k) {
            CpuStatus s;
            s.state = states[k];
            model.setStatus(k + 1, QStringLiteral("cpu%1").arg(k), s);
        }
        QSortFilterProxyModel proxy;
        proxy.setSourceModel(&model);
        proxy.setSortRole(CpuStatusModel::SortRole);
        proxy.sort(CpuStatusModel::State, Qt::DescendingOrder);
        QStringList order;
        for (int r = 0; r < proxy.rowCount(); ++r)
            order.append(proxy.index(r, CpuStatusModel::State).data().toString());
        QCOMPARE(order, QStringList({ "unreachable", "stalled", "downloading", "working" }));
        QCOMPARE(model.worst(), CpuState::Unreachable);
        QCOMPARE(model.summary(), QStringLiteral("1 unreachable, 1 stalled, 1 downloading, 1 working"));
    }

    void alerts_data()
    {
        QTest::addColumn<QList<int>>("states");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QStringList>("titles");
        using S = CpuState;
        auto seq = [](std::initializer_list<S> l) {
            QList<int> out;
            for (S s : l)
                out.append(int(s));
            return out;
        };
        QTest::newRow("quiet start") << seq({ S::Unreachable, S::Unreachable }) << true << QStringList();
        QTest::newRow("start bad, recovers")
            << seq({ S::Stalled, S::Working }) << true << QStringList({ "c is working again (0)" });
        QTest::newRow("one stalled reading") << seq({ S::Working, S::Stalled, S::Working }) << true << QStringList();
        QTest::newRow("stall, once") << seq({ S::Working, S::Stalled, S::Stalled, S::Stalled, S::Working }) << true
                                     << QStringList({ "c: stalled (1)", "c is working again (0)" });
        QTest::newRow("late, unreachable, back")
            << seq({ S::Downloading, S::DownloadLate, S::DownloadLate, S::Unreachable, S::Failed, S::Downloading })
            << true << QStringList({ "c: download late 1 min (2)", "c: unreachable (2)", "c is working again (0)" });
        QTest::newRow("slow, once") << seq({ S::Working, S::Slow, S::Slow, S::Working }) << true
                                    << QStringList({ "c: slow (1)", "c is working again (0)" });
        QTest::newRow("switched off") << seq({ S::Working, S::Unreachable, S::Working }) << false << QStringList();
    }
    void alerts()
    {
        QFETCH(QList<int>, states);
        QFETCH(bool, enabled);
        QFETCH(QStringList, titles);
        FakeTray tray;
        AlertRule rule(&tray);
        rule.setEnabled(enabled);
        for (int s : states) {
            CpuStatus status;
            status.state = CpuState(s);
            status.lateSeconds = 30;
            rule.observe(7, QStringLiteral("c"), status);
            rule.flush();
        }
        QCOMPARE(tray.titles, titles);
    }
};

TAVRIK_TEST(CpuStatusTest)
#include "CpuStatusTest.moc"
