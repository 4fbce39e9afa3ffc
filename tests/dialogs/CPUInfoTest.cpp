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

QLineEdit *box(frmCPUInfo &d, const char *name)
{
    return d.findChild<QLineEdit *>(QLatin1String(name));
}
QPushButton *button(frmCPUInfo &d, const char *name)
{
    return d.findChild<QPushButton *>(QLatin1String(name));
}
QCheckBox *check(frmCPUInfo &d, int i)
{
    return d.findChild<QCheckBox *>(QStringLiteral("Check1_%1").arg(i));
}

void retype(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

// Shows the dialog modally with `user` acting on the active, filled form.
void run(frmCPUInfo &dlg, const std::function<void(frmCPUInfo &)> &user)
{
    frmCPUInfo::setScript([&user](frmCPUInfo &shown) {
        QVERIFY(QTest::qWaitForWindowActive(&shown));
        QCoreApplication::processEvents();
        user(shown);
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

    void newCPUForm()
    {
        frmCPUInfo dlg;
        dlg.setAllowUpdates(true);
        run(dlg, [](frmCPUInfo &d) {
            QCOMPARE(box(d, "tbCPUName")->selectedText(), QStringLiteral("New CPU"));
            QVERIFY(box(d, "tbSetiDir")->text().isEmpty() && !button(d, "Command1_0")->isEnabled());
            QVERIFY(check(d, 0)->isChecked() && !check(d, 1)->isChecked());
            Prompt::SetNextText(QString()); // the folder picker cancelled
            button(d, "cmdBrowse")->click();
            QVERIFY(box(d, "tbSetiDir")->text().isEmpty());
            Prompt::SetNextText(QStringLiteral("/srv/picked"));
            button(d, "cmdBrowse")->click();
            // A click into the box selects the whole text too, once the click is over.
            QTest::mouseClick(box(d, "tbSetiDir"), Qt::LeftButton, {}, QPoint(5, 5));
            QCoreApplication::processEvents();
            QCOMPARE(box(d, "tbSetiDir")->selectedText(), "/srv/picked" + bksPublicModule::Separator());
        });
        QCOMPARE(Prompt::Asked().value(0), QStringLiteral("Select a Seti@home Folder.."));
    }

    void proposesPathOnLeavingName_data()
    {
        QTest::addColumn<QString>("callerPath");
        QTest::addColumn<QString>("typedName"); // null: leave "New CPU"
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
            QCoreApplication::sendEvent(box(d, "tbCPUName"), &away);
            QCOMPARE(box(d, "tbSetiDir")->text(), callerPath);
            if (!typedName.isNull())
                retype(box(d, "tbCPUName"), typedName);
            QTest::keyClick(box(d, "tbCPUName"), Qt::Key_Tab);
            QCoreApplication::processEvents();
            QCOMPARE(box(d, "tbSetiDir")->selectedText(), path);
            QCOMPARE(button(d, "Command1_0")->isEnabled(), closeEnabled);
        });
    }

    void returnsFormOnlyOnClose_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QString>("returnedPath");
        const QString sep = bksPublicModule::Separator();
        QTest::newRow("Close adds separator") << "/srv/seti"
                                              << "Command1_0"
                                              << "/srv/seti" + sep;
        QTest::newRow("Enter keeps one") << "/srv/seti" + sep << "Enter"
                                         << "/srv/seti" + sep;
        QTest::newRow("Cancel") << "/srv/seti"
                                << "Command1_1"
                                << "/old";
        QTest::newRow("Esc") << "/srv/seti"
                             << "Esc"
                             << "/old";
        QTest::newRow("close box") << "/srv/seti"
                                   << "close"
                                   << "/old";
    }
    void returnsFormOnlyOnClose()
    {
        QFETCH(QString, path);
        QFETCH(QString, ending);
        QFETCH(QString, returnedPath);
        frmCPUInfo dlg;
        dlg.setCPUName(QStringLiteral("  Old "));
        dlg.setCPUPath(QStringLiteral(" /old "));
        dlg.setPutOnDisplay(true);
        run(dlg, [&](frmCPUInfo &d) {
            QCOMPARE(box(d, "tbCPUName")->text(), QStringLiteral("Old"));
            retype(box(d, "tbCPUName"), QStringLiteral("  Box7  "));
            retype(box(d, "tbSetiDir"), "  " + path + "  ");
            check(d, 0)->click();
            check(d, 1)->click();
            if (ending == QLatin1String("Enter") || ending == QLatin1String("Esc"))
                QTest::keyClick(
                    box(d, "tbSetiDir"), ending == QLatin1String("Enter") ? Qt::Key_Return : Qt::Key_Escape);
            else if (ending == QLatin1String("close"))
                d.close();
            else
                button(d, qPrintable(ending))->click();
            QVERIFY(!d.isVisible());
        });
        const bool closed = returnedPath != QLatin1String("/old");
        QCOMPARE(dlg.CPUName(), closed ? QStringLiteral("Box7") : QStringLiteral("Old"));
        QCOMPARE(dlg.CPUPath(), returnedPath);
        QCOMPARE(dlg.AllowUpdates(), closed);
        QCOMPARE(dlg.PutOnDisplay(), !closed);
    }

    void nameTypingStopsAt30()
    {
        frmCPUInfo dlg;
        run(dlg, [](frmCPUInfo &d) {
            retype(box(d, "tbCPUName"), QString(31, u'n'));
            QCOMPARE(box(d, "tbCPUName")->text(), QString(30, u'n'));
        });
        dlg.setCPUName(QString(40, u'L'));
        run(dlg, [](frmCPUInfo &d) {
            QLineEdit *name = box(d, "tbCPUName");
            QCOMPARE(name->text(), QString(40, u'L'));
            QTest::keyClick(name, Qt::Key_End);
            QTest::keyClicks(name, QStringLiteral("x"));
            QTest::keyClick(name, Qt::Key_Backspace);
            QTest::keyClicks(name, QStringLiteral("x"));
            QCOMPARE(name->text(), QString(39, u'L'));
        });
    }
};

TAVRIK_TEST(CPUInfoTest)
#include "CPUInfoTest.moc"
