#include "common/TestSupport.h"
#include "dialogs/frmAbout.h"
#include "log/frmMessages.h"
#include "monitor/CpuStatus.h"
#include "monitor/UpdateCycle.h"
#include "monitor/frmSetiControl.h"
#include "panel/frmOverview.h"
#include "panel/mfrmTavrik.h"
#include "settings/Options.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/ElidedLabel.h"
#include "shared/Framework.h"
#include "shared/StateColours.h"

#include <QAction>
#include <QLabel>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <memory>

// No text is cut off: each label's text is no wider than the label, at the scale the test runs at
// (it also runs at 2x on a 1600 x 1000 screen), in the CPU windows, the overview, the ticker, the
// log's find bar and the about box.
class ClippedTextTest : public QObject
{
    Q_OBJECT

    // "name: text" of each shown one-line label whose text does not fit.
    static QStringList clipped(const QWidget *root)
    {
        QStringList out;
        for (const QLabel *l : root->findChildren<QLabel *>()) {
            if (!l->isVisibleTo(root) || l->wordWrap() || l->text().isEmpty() || !l->pixmap().isNull())
                continue;
            const auto *elided = dynamic_cast<const ElidedLabel *>(l);
            const QString text = elided ? elided->shownText() : l->text();
            const int room = l->contentsRect().width() - 2 * l->margin() - qMax(0, l->indent());
            if (l->fontMetrics().horizontalAdvance(text) > room)
                out << l->objectName() + QStringLiteral(": ") + text;
        }
        for (const QToolButton *b : root->findChildren<QToolButton *>())
            if (b->isVisibleTo(root) && b->width() < b->minimumSizeHint().width())
                out << b->objectName();
        return out;
    }

private Q_SLOTS:
    void noneCut()
    {
        IsolatedSettings settings;
        QTemporaryDir clients;
        Options options;
        modTavrik::LoadOptions(options);
        const QStringList names { "Workshop", "This Computer", "lab-node-07.example.org", "Attic", "Laptop", "Cellar",
            "Garage", "Study", "Kitchen", "Office", "Server", "Gone" };
        for (int i = 0; i < names.size(); ++i) {
            const QString dir = clients.filePath(QStringLiteral("c%1/").arg(i));
            if (names[i] != QLatin1String("Gone")) {
                WriteTextFile(dir + "State.txt",
                    QByteArray("ver=3\nprog=0.") + QByteArray::number(1000 + i * 7919) + "9\ncpu=36000.5\n");
                WriteTextFile(dir + "User_Info.txt", "id=7\nnwus=1234\nnresults=1233\ntotal_cpu=123456789\n");
            }
            SettingsStore::save(QString::number(i), Schema::CPUName, names[i]);
            SettingsStore::save(names[i], Schema::CPUPath, dir);
        }
        SettingsStore::saveInt(Schema::AppSettings, Schema::TotalCPUs, int(names.size()));
        options.update([](OptionValues &v) { v.Scroll = true; });
        mfrmTavrik w(options);
        w.Load();
        QTRY_VERIFY(!w.isLoading() && w.cycle().isIdle());
        w.findChild<QAction *>(QStringLiteral("mnuWindowTileGrid"))->trigger();
        for (frmSetiControl *cpu : w.cpuWindows())
            QVERIFY2(clipped(cpu).isEmpty(), qPrintable(cpu->CPUName() + u' ' + clipped(cpu).join(", ")));

        w.findChild<QAction *>(QStringLiteral("mnuWindowOverview"))->trigger();
        w.overview()->fitColumns();
        const QTableView *table = w.overview()->table();
        QStringList cut;
        for (int r = 0; r < table->model()->rowCount(); ++r) {
            for (int c = 0; c < table->model()->columnCount(); ++c) {
                const QModelIndex i = table->model()->index(r, c);
                const int icon = i.data(Qt::DecorationRole).isNull() ? 0 : table->iconSize().width() + 4;
                if (table->fontMetrics().horizontalAdvance(i.data().toString()) + icon >= table->visualRect(i).width())
                    cut << i.data().toString();
            }
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(", ")));

        frmMessages::instance()->findChild<QAction *>(QStringLiteral("mnuLogFind"))->trigger();
        QVERIFY2(clipped(frmMessages::instance()).isEmpty(), qPrintable(clipped(frmMessages::instance()).join(", ")));

        w.setWindowState(Qt::WindowMinimized);
        QVERIFY(w.display());
        bool sawUnreachable = false;
        for (int i = 0; i < names.size(); ++i) {
            w.display()->findChild<QAction *>(QStringLiteral("mnuPopRefresh"))->trigger();
            QVERIFY2(clipped(w.display()).isEmpty(), qPrintable(clipped(w.display()).join(", ")));
            // A CPU that needs attention shows in its state's colour, its text still readable.
            const QPalette shown = w.display()->palette();
            if (w.display()->findChild<QLabel *>(QStringLiteral("lblCPUName"))->text().startsWith("Gone")) {
                sawUnreachable = true;
                QCOMPARE(shown.color(QPalette::Window), StateColours::Fill(CpuState::Unreachable));
                QVERIFY(
                    StateColours::Contrast(shown.color(QPalette::WindowText), shown.color(QPalette::Window)) >= 4.5);
            }
        }
        QVERIFY(sawUnreachable);
        w.setWindowState(Qt::WindowNoState);

        frmAbout about;
        about.show();
        QVERIFY2(clipped(&about).isEmpty(), qPrintable(clipped(&about).join(", ")));
        QVERIFY(about.findChild<QLabel *>(QStringLiteral("lblVersion"))->text().endsWith(modTavrik::ProgramVersion()));
        about.close();
        frmMessages::unloadInstance();
        QVERIFY(w.close());
    }
};

TAVRIK_TEST(ClippedTextTest)
#include "ClippedTextTest.moc"
