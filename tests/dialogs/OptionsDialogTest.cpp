#include "common/TestSupport.h"
#include "dialogs/frmOptions.h"
#include "settings/Options.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/Prompt.h"
#include "shared/bksPublicWindows.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

const QString &A = Schema::AppSettings;
const QStringList OptionKeys = { Schema::MonitorInterval, Schema::AlarmInterval, Schema::ScrollInterval,
    Schema::AlarmSound, Schema::SoundsOn, Schema::Scroll, Schema::StartMinimized, Schema::DisplayTopMost };
// Differs from every default, so a value taken from the wrong key shows.
const QStringList Stored = { "45", "7", "9", "/sounds/bell.wav", "False", "True", "True", "False" };
// In the order of the keys above; Check1_0..3 follow SoundsOn.
const QStringList Boxes = { "tbRefreshInterval", "tbAlarmInterval", "tbScrollInterval", "tbAlarmSound" };

QLineEdit *box(QWidget &w, const QString &name)
{
    return w.findChild<QLineEdit *>(name);
}
QCheckBox *check(QWidget &w, int index)
{
    return w.findChild<QCheckBox *>(QStringLiteral("Check1_%1").arg(index));
}
void click(QWidget &w, const char *button)
{
    w.findChild<QPushButton *>(QLatin1String(button))->click();
}

} // namespace

class OptionsDialogTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<IsolatedSettings> m_settings;
    Options m_options;

private Q_SLOTS:
    void init()
    {
        m_settings = std::make_unique<IsolatedSettings>();
        for (int i = 0; i < OptionKeys.size(); ++i)
            SettingsStore::save(A, OptionKeys[i], Stored[i]);
        modTavrik::LoadOptions(m_options);
    }
    void cleanup() { m_settings.reset(); }

    // The dialog shows the values the panel runs with, not a fresh read of the store: an interval
    // set from the ticker's menu stays; Cancel changes nothing; Close applies the edited copy.
    void showsTheLiveValues()
    {
        m_options.setScrollInterval(3);
        QStringList expected = Stored;
        expected[2] = QStringLiteral("3");
        auto shown = [](frmOptions &dlg) {
            QStringList out;
            for (int i = 0; i < 8; ++i)
                out << (i < 4 ? box(dlg, Boxes[i])->text() : check(dlg, i - 4)->isChecked() ? "True" : "False");
            return out;
        };
        {
            frmOptions dlg(m_options);
            QCOMPARE(shown(dlg), expected);
            box(dlg, Boxes[0])->setText(QStringLiteral("12"));
            check(dlg, 1)->setChecked(false);
            click(dlg, "Command1_1"); // Cancel
        }
        QCOMPARE(m_options.scrollInterval(), qint16(3));
        QCOMPARE(m_options.monitorInterval(), qint16(45));
        QCOMPARE(SettingsStore::get(A, Schema::ScrollInterval, QString()), QStringLiteral("9"));
        // A sound path longer than the typing limit is shown whole.
        const QString longPath = QStringLiteral("/sounds/") + QString(90, u'x') + QStringLiteral(".wav");
        m_options.update([&](OptionValues &v) { v.AlarmSound = longPath; });
        frmOptions again(m_options);
        QCOMPARE(box(again, Boxes[3])->text(), longPath);
        QCOMPARE(shown(again).at(2), QStringLiteral("3"));
        QSignalSpy changed(&m_options, &Options::changed);
        click(again, "Command1_0"); // Close
        QCOMPARE(changed.count(), 0); // nothing edited: nothing changes
        QCOMPARE(SettingsStore::get(A, Schema::ScrollInterval, QString()), QStringLiteral("3"));
    }

    // The conversion rules have their own table; these rows show each box is wired to its key.
    void closeStoresWhatIsTyped_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("fraction to even") << 2 << "12.5"
                                          << "12";
        QTest::newRow("Enter with 99999") << 0 << "99999"
                                          << "5";
        QTest::newRow("empty keeps previous") << 1 << ""
                                              << "7";
        QTest::newRow("sound trimmed") << 3 << " /x/ring.wav "
                                       << "/x/ring.wav";
    }
    void closeStoresWhatIsTyped()
    {
        QFETCH(int, index);
        QFETCH(QString, typed);
        frmOptions dlg(m_options);
        dlg.show();
        box(dlg, Boxes[index])->setText(typed);
        check(dlg, 0)->setChecked(true);
        // Enter in the box presses the default button while the box keeps the focus.
        QTest::keyClick(box(dlg, Boxes[index]), Qt::Key_Return);
        QVERIFY(!dlg.isVisible());
        QTEST(SettingsStore::get(A, OptionKeys[index], QString()), "stored");
        QCOMPARE(SettingsStore::get(A, Schema::SoundsOn, QString()), QStringLiteral("True"));
        QVERIFY(m_options.soundsOn());
    }

    void leavingAnIntervalBoxChecksIt()
    {
        frmOptions dlg(m_options);
        for (const QString &name : Boxes) {
            for (const QString typed : { "30001", "12abc" }) {
                box(dlg, name)->setText(typed);
                QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
                QApplication::sendEvent(box(dlg, name), &out);
                const bool reset = name != u"tbAlarmSound" && typed == u"30001";
                QCOMPARE(box(dlg, name)->text(), reset ? QStringLiteral("5") : typed);
            }
        }
    }

    void cancelChangesNothing_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how : { "Cancel", "Esc", "close box" })
            QTest::newRow(how) << QString::fromLatin1(how);
    }
    void cancelChangesNothing()
    {
        QFETCH(QString, how);
        frmOptions dlg(m_options);
        dlg.show();
        for (int i = 0; i < 4; ++i) {
            box(dlg, Boxes[i])->setText(QStringLiteral("123"));
            check(dlg, i)->toggle();
        }
        if (how == u"Cancel")
            click(dlg, "Command1_1");
        else if (how == u"Esc")
            QTest::keyClick(&dlg, Qt::Key_Escape);
        else
            dlg.close();
        QVERIFY(!dlg.isVisible());
        QStringList options;
        for (const QString &key : OptionKeys)
            options << SettingsStore::get(A, key, QStringLiteral("<missing>"));
        QCOMPARE(options, Stored);
        QCOMPARE(m_options.monitorInterval(), qint16(45));
        QCOMPARE(m_options.alarmSound(), Stored[3]);
        QVERIFY(!m_options.soundsOn() && m_options.startMinimized());
    }

    void browseAndTestAlarm()
    {
        // A picked path longer than the typing limit, in a folder that exists.
        const QString picked = QDir::toNativeSeparators(
            m_settings->dir() + QStringLiteral("/a/rather/long/path/to/a/sound/folder/that/goes/on/and/on/alarm.wav"));
        QVERIFY(picked.size() > 80 && QDir().mkpath(QFileInfo(picked).path()));
        QStringList played;
        bksPublicModule::SetWavePlayer([&played](const QString &path, bool wait, bool loop) {
            played << QStringLiteral("%1 %2 %3").arg(path).arg(wait).arg(loop);
        });
        const QString cwd = QDir::currentPath();
        frmOptions dlg(m_options);
        QLineEdit *sound = box(dlg, Boxes[3]);
        sound->clear();
        Prompt::SetNextText(picked);
        click(dlg, "Command2");
        QCOMPARE(sound->text(), picked);
        Prompt::SetNextText(QString()); // cancelled
        click(dlg, "Command2");
        QCOMPARE(sound->text(), picked);
        QCOMPARE(Prompt::Asked(), QStringList(2, QStringLiteral("Select the Alarm Sound...")));
        QCOMPARE(QDir::currentPath(), cwd); // the picker is given its folder; the process stays put

        // Sounds are off in the store: ticking the box without Close keeps Test Alarm silent.
        const QString ring = QDir::toNativeSeparators(m_settings->dir() + QStringLiteral("/ring.wav"));
        QVERIFY(WriteTextFile(ring, "RIFF"));
        sound->setText(u' ' + ring + u' ');
        check(dlg, 0)->setChecked(true);
        click(dlg, "Command3");
        QVERIFY(played.isEmpty());
        m_options.update([](OptionValues &v) { v.SoundsOn = true; });
        click(dlg, "Command3");
        QCOMPARE(played, QStringList { ring + QStringLiteral(" 0 0") });
    }
};

TAVRIK_TEST(OptionsDialogTest)
#include "OptionsDialogTest.moc"
