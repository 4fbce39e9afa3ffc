#include "common/ReadingFuzz.h"
#include "common/TestSupport.h"
#include "export/Exporter.h"
#include "fleet/Fleet.h"
#include "monitor/CpuStatus.h"
#include "monitor/UpdateCycle.h"
#include "monitor/frmSetiControl.h"
#include "panel/mfrmTavrik.h"
#include "settings/Options.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/Clock.h"

#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// The panel's window, its overview row and the exporter's metrics are views of one record: fed
// the same readings, they tell the same state and progress after every step, whatever the files.
class ViewsAgreeTest : public QObject
{
    Q_OBJECT

    static QString sample(const QString &metrics, const QString &prefix)
    {
        const qsizetype at = metrics.indexOf(prefix);
        return at < 0 ? QString() : metrics.mid(at + prefix.size()).section(u'\n', 0, 0);
    }

private Q_SLOTS:
    void everyViewAgrees()
    {
        IsolatedSettings isolated;
        constexpr int Cpus = 8;
        {
            const SettingsStore::Batch batch;
            for (int i = 0; i < Cpus; ++i) {
                SettingsStore::save(QString::number(i), Schema::CPUName, QStringLiteral("cpu%1").arg(i));
                SettingsStore::save(QStringLiteral("cpu%1").arg(i), Schema::CPUPath, QStringLiteral("/c/%1/").arg(i));
            }
            SettingsStore::saveInt(Schema::AppSettings, Schema::TotalCPUs, Cpus);
        }
        Options options;
        modTavrik::LoadOptions(options);
        options.update([](OptionValues &v) {
            v.AlarmInterval = 1;
            v.MonitorInterval = 30000;
        });
        mfrmTavrik panel(options);
        panel.Load();
        QTRY_VERIFY(!panel.isLoading() && panel.cycle().isIdle());
        Exporter exporter(options, QString());
        QTemporaryDir dir;
        exporter.setHistoryFile(dir.filePath(QStringLiteral("h.sqlite"))); // so it tells slow too
        exporter.loadStoredCpus();
        QCOMPARE(exporter.fleet().count(), panel.fleet().count());

        InputMaker maker(7);
        QDateTime now(QDate(2026, 3, 28), QTime(23, 0));
        const CpuStatusModel &overview = panel.statusModel();
        int steps = 0;
        int slow = 0;
        for (int sequence = 0; sequence < 10000; ++sequence) {
            const int i = sequence % Cpus;
            Cpu *shown = panel.fleet().cpus().at(i);
            Cpu *exported = exporter.fleet().cpus().at(i);
            // Each sequence starts from a CPU never read.
            for (Cpu *cpu : { shown, exported }) {
                Cpu fresh;
                fresh.key = cpu->key;
                fresh.name = cpu->name;
                fresh.path = cpu->path;
                // Usual paces of none, 60 and 120 percent an hour, the unit begun half an hour ago.
                if (sequence % 3) {
                    fresh.status.usualPerHour = 60.0 * (sequence % 3);
                    fresh.status.paceSamples = { { now.addSecs(-1800).toMSecsSinceEpoch(), 0.0f } };
                }
                *cpu = fresh;
            }
            for (int reading = 0, n = 1 + maker.pick(5); reading < n; ++reading, ++steps) {
                now = now.addMSecs(maker.pick(4) == 0 ? 61000 + maker.pick(600000) : maker.pick(40000));
                Clock::SetFake(now);
                const ClientSnapshot files = maker.next().files;
                panel.fleet().applyReading(shown->key, shown->path, files);
                exporter.fleet().applyReading(exported->key, exported->path, files);

                frmSetiControl *window = panel.windowOf(shown->key);
                const int row = overview.rowOf(shown->key);
                const QString words = overview.index(row, CpuStatusModel::State).data().toString();
                const QString percent = window->findChild<QLabel *>(QStringLiteral("lblPercent"))->text();
                const QString done = overview.index(row, CpuStatusModel::Percent).data().toString();
                const QString download = overview.index(row, CpuStatusModel::Download).data().toString();
                const QString metrics = QString::fromUtf8(MetricsText::Render(exporter.snapshot()));
                const QString label = QStringLiteral("{cpu=\"%1\"} ").arg(shown->name);
                const CpuState state
                    = shown->status.state == CpuState::Unknown ? CpuState::Working : shown->status.state;
                const QString stateLine = QStringLiteral("tavrik_cpu_state{cpu=\"%1\",state=\"%2\"} ")
                                              .arg(shown->name, CpuStatus::MetricName(state));
                slow += shown->status.state == CpuState::Slow ? 1 : 0;
                const bool agree = words == shown->status.words()
                    && percent == shown->view.percentText
                    // The overview's Done is the unit's own while it is worked on; the window shows a
                    // download's progress instead.
                    && (!download.isEmpty() ? download == percent
                                            : done == percent
                                || (shown->status.state != CpuState::Working && shown->status.state != CpuState::Slow
                                    && shown->status.state != CpuState::Stalled))
                    && sample(metrics, stateLine) == QLatin1String("1") && exported->status.words() == words
                    && exported->view.percentText == percent
                    && (sample(metrics, QStringLiteral("tavrik_cpu_progress_ratio") + label).isEmpty()
                        || sample(metrics, QStringLiteral("tavrik_cpu_progress_ratio") + label).toDouble()
                            == std::round(double(shown->fields.Percent) * 1e4) / 1e6);
                if (!agree)
                    QFAIL(qPrintable(QStringLiteral("sequence %1, reading %2: window \"%3\" %4, overview \"%5\", "
                                                    "exporter \"%6\" %7; metrics:\n%8")
                                         .arg(sequence)
                                         .arg(reading)
                                         .arg(window->attentionWords(), percent, words, exported->status.words(),
                                             exported->view.percentText, metrics)));
            }
        }
        Clock::SetFake({});
        QVERIFY(steps > 25000);
        QVERIFY(slow > 100); // slow was among the states compared
        panel.fleet().cycle().stop();
    }
};

TAVRIK_TEST(ViewsAgreeTest)
#include "ViewsAgreeTest.moc"
