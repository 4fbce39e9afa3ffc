#include "common/TestSupport.h"
#include "core/Schema.h"
#include "dialogs/frmCPUInfo.h"
#include "shared/Prompt.h"
#include "shared/bksPublicModule.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

template <typename T> T *control(frmCPUInfo &dlg, const char *name)
{
    return dlg.findChild<T *>(QLatin1String(name));
}

QLineEdit *nameBox(frmCPUInfo &dlg)
{
    return control<QLineEdit>(dlg, "tbCPUName");
}
QLineEdit *pathBox(frmCPUInfo &dlg)
{
    return control<QLineEdit>(dlg, "tbSetiDir");
}
QPushButton *closeButton(frmCPUInfo &dlg)
{
    return control<QPushButton>(dlg, "Command1_0");
}

void retype(QLineEdit *box, const QString &text)
{
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

// Shows the dialog modally with `script` standing in for the user, on an active window.
void run(frmCPUInfo &dlg, const std::function<void(frmCPUInfo &)> &script)
{
    frmCPUInfo::setScript([&script](frmCPUInfo &shown) {
        QVERIFY(QTest::qWaitForWindowActive(&shown));
        QCoreApplication::processEvents();
        script(shown);
    });
    dlg.showModal();
    frmCPUInfo::setScript({});
}

} // namespace

class CPUInfoTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<IsolatedSettings> m_settings;

private Q_SLOTS:
    void init() { m_settings = std::make_unique<IsolatedSettings>(); }
    void cleanup() { m_settings.reset(); }

    void newCPUDefaults()
    {
        frmCPUInfo dlg;
        dlg.setAllowUpdates(true);
        run(dlg, [](frmCPUInfo &d) {
            QCOMPARE(d.windowTitle(), QStringLiteral("Edit CPU"));
            QCOMPARE(nameBox(d)->selectedText(), QStringLiteral("New CPU"));
            QVERIFY(pathBox(d)->text().isEmpty());
            QVERIFY(!closeButton(d)->isEnabled());
            QVERIFY(control<QCheckBox>(d, "Check1_0")->isChecked() && !control<QCheckBox>(d, "Check1_1")->isChecked());
            // A click into a box selects its whole text too, once the click is over.
            pathBox(d)->setText(QStringLiteral("/srv/seti"));
            QTest::mouseClick(pathBox(d), Qt::LeftButton, {}, QPoint(5, 5));
            QCoreApplication::processEvents();
            QCOMPARE(pathBox(d)->selectedText(), QStringLiteral("/srv/seti"));
        });
    }

    void proposesPathOnLeavingName_data()
    {
        QTest::addColumn<QString>("callerPath");
        QTest::addColumn<QString>("typedName"); // null: leave "New CPU" as shown
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("closeEnabled");
        QTest::newRow("New CPU") << "" << QString() << Schema::NetworkCPUPath("New CPU") << true;
        QTest::newRow("both blank") << ""
                                    << "" << Schema::NetworkCPUPath("CPU") << false;
        QTest::newRow("name untrimmed") << ""
                                        << " Box7 " << Schema::NetworkCPUPath(" Box7 ") << true;
        QTest::newRow("typed path kept") << "/data/seti"
                                         << "Box7"
                                         << "/data/seti" << true;
    }
    void proposesPathOnLeavingName()
    {
        QFETCH(QString, callerPath);
        QFETCH(QString, typedName);
        QFETCH(QString, path);
        QFETCH(bool, closeEnabled);
        frmCPUInfo dlg;
        dlg.setCPUPath(callerPath);
        run(dlg, [&](frmCPUInfo &d) {
            // Switching to another window is not leaving the box.
            QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
            QCoreApplication::sendEvent(nameBox(d), &away);
            QCOMPARE(pathBox(d)->text(), callerPath);
            if (!typedName.isNull())
                retype(nameBox(d), typedName);
            QTest::keyClick(nameBox(d), Qt::Key_Tab);
            QCoreApplication::processEvents();
            QCOMPARE(pathBox(d)->selectedText(), path);
            QCOMPARE(closeButton(d)->isEnabled(), closeEnabled);
        });
    }

    void closeReturnsTheForm_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("byEnter");
        QTest::addColumn<QString>("expectedPath");
        const QString sep = bksPublicModule::Separator();
        QTest::newRow("separator added") << "Box7"
                                         << "/srv/seti" << false << "/srv/seti" + sep;
        QTest::newRow("separator kept") << "Box7"
                                        << "/srv/seti" + sep << true << "/srv/seti" + sep;
        QTest::newRow("spaces trimmed") << "  Box7 "
                                        << "  /srv/seti  " << true << "/srv/seti" + sep;
    }
    void closeReturnsTheForm()
    {
        QFETCH(QString, name);
        QFETCH(QString, path);
        QFETCH(bool, byEnter);
        QFETCH(QString, expectedPath);
        frmCPUInfo dlg;
        dlg.setAllowUpdates(true);
        run(dlg, [&](frmCPUInfo &d) {
            retype(nameBox(d), name);
            retype(pathBox(d), path);
            control<QCheckBox>(d, "Check1_0")->click();
            control<QCheckBox>(d, "Check1_1")->click();
            if (byEnter)
                QTest::keyClick(pathBox(d), Qt::Key_Return);
            else
                closeButton(d)->click();
            QVERIFY(!d.isVisible());
        });
        QCOMPARE(dlg.CPUName(), QStringLiteral("Box7"));
        QCOMPARE(dlg.CPUPath(), expectedPath);
        QVERIFY(!dlg.AllowUpdates() && dlg.PutOnDisplay());
    }

    void leavingWithoutCloseKeepsCallerValues_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel") << 0;
        QTest::newRow("Esc") << 1;
        QTest::newRow("close box") << 2;
    }
    void leavingWithoutCloseKeepsCallerValues()
    {
        QFETCH(int, how);
        frmCPUInfo dlg;
        dlg.setCPUName(QStringLiteral("  Box7 "));
        dlg.setCPUPath(QStringLiteral(" /srv/seti "));
        dlg.setPutOnDisplay(true);
        run(dlg, [how](frmCPUInfo &d) {
            QCOMPARE(nameBox(d)->text(), QStringLiteral("Box7"));
            retype(nameBox(d), QStringLiteral("Other"));
            retype(pathBox(d), QStringLiteral("/elsewhere"));
            control<QCheckBox>(d, "Check1_1")->click();
            if (how == 0)
                control<QPushButton>(d, "Command1_1")->click();
            else if (how == 1)
                QTest::keyClick(nameBox(d), Qt::Key_Escape);
            else
                d.close();
            QVERIFY(!d.isVisible());
        });
        QCOMPARE(dlg.CPUName(), QStringLiteral("Box7"));
        QCOMPARE(dlg.CPUPath(), QStringLiteral("/srv/seti"));
        QVERIFY(!dlg.AllowUpdates() && dlg.PutOnDisplay());
    }

    void nameTypingStopsAt30()
    {
        frmCPUInfo dlg;
        run(dlg, [](frmCPUInfo &d) {
            retype(nameBox(d), QString(31, u'n'));
            QCOMPARE(nameBox(d)->text(), QString(30, u'n'));
        });
        const QString longName(40, u'L');
        dlg.setCPUName(longName);
        run(dlg, [&longName](frmCPUInfo &d) {
            QCOMPARE(nameBox(d)->text(), longName);
            QTest::keyClick(nameBox(d), Qt::Key_End);
            QTest::keyClicks(nameBox(d), QStringLiteral("x"));
            QTest::keyClick(nameBox(d), Qt::Key_Backspace);
            QTest::keyClicks(nameBox(d), QStringLiteral("x"));
            QCOMPARE(nameBox(d)->text(), QString(39, u'L'));
        });
    }

    void browseFillsPathUnlessCancelled_data()
    {
        QTest::addColumn<QString>("picked");
        QTest::addColumn<QString>("path");
        QTest::newRow("picked") << "/srv/picked"
                                << "/srv/picked" + bksPublicModule::Separator();
        QTest::newRow("cancelled") << ""
                                   << "/before";
    }
    void browseFillsPathUnlessCancelled()
    {
        QFETCH(QString, picked);
        QFETCH(QString, path);
        Prompt::SetNextText(picked);
        frmCPUInfo dlg;
        dlg.setCPUPath(QStringLiteral("/before"));
        run(dlg, [&path](frmCPUInfo &d) {
            control<QPushButton>(d, "cmdBrowse")->click();
            QCOMPARE(pathBox(d)->text(), path);
        });
        QCOMPARE(Prompt::Asked(), QStringList { QStringLiteral("Select a Seti@home Folder..") });
    }
};

TAVRIK_TEST(CPUInfoTest)
#include "CPUInfoTest.moc"
