#include "common/TestSupport.h"
#include "dialogs/frmCPUInfo.h"
#include "panel/CpuList.h"
#include "settings/Schema.h"
#include "shared/Prompt.h"
#include "shared/bksPublicModule.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

template <typename T = QLineEdit> T *box(frmCPUInfo &d, const char *name)
{
    return d.findChild<T *>(QLatin1String(name));
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

    // A name in use (in any letter case) or kept by the panel is refused in the dialog, which
    // stays open and says why.
    void nameRefused()
    {
        frmCPUInfo dlg;
        dlg.setCPUPath(QStringLiteral("/mnt/den/"));
        dlg.setNameCheck([](const QString &name) { return CpuList::NameRefusal(name, { "Den" }); });
        run(dlg, [](frmCPUInfo &d) {
            for (const char *refused : { "den", "AppSettings" }) {
                retype(box(d, "tbCPUName"), QLatin1String(refused));
                box<QPushButton>(d, "Command1_0")->click();
                QVERIFY(d.isVisible());
                QVERIFY(box<QLabel>(d, "lblRefusal")->isVisible());
                QVERIFY(box<QLabel>(d, "lblRefusal")->text().contains(refused, Qt::CaseInsensitive));
            }
            retype(box(d, "tbCPUName"), QStringLiteral("Loft"));
            box<QPushButton>(d, "Command1_0")->click();
            QVERIFY(!d.isVisible());
        });
        QCOMPARE(dlg.CPUName(), QStringLiteral("Loft"));
    }

    void newCPUForm()
    {
        frmCPUInfo dlg;
        dlg.setAllowUpdates(true);
        run(dlg, [](frmCPUInfo &d) {
            QCOMPARE(box(d, "tbCPUName")->selectedText(), QStringLiteral("New CPU"));
            QVERIFY(box(d, "tbSetiDir")->text().isEmpty() && !box<QPushButton>(d, "Command1_0")->isEnabled());
            QVERIFY(box<QCheckBox>(d, "Check1_0")->isChecked() && !box<QCheckBox>(d, "Check1_1")->isChecked());
            Prompt::SetNextText(QString()); // the folder picker cancelled
            box<QPushButton>(d, "cmdBrowse")->click();
            QVERIFY(box(d, "tbSetiDir")->text().isEmpty());
            Prompt::SetNextText(QStringLiteral("/srv/picked"));
            box<QPushButton>(d, "cmdBrowse")->click();
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
            QTEST(box(d, "tbSetiDir")->selectedText(), "path");
            QTEST(box<QPushButton>(d, "Command1_0")->isEnabled(), "closeEnabled");
        });
    }

    void returnsFormOnlyOnClose_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QString>("returnedPath"); // "/old": nothing taken from the form
        const QString sep = bksPublicModule::Separator();
        QTest::newRow("Close adds separator") << "/srv/seti"
                                              << "Command1_0"
                                              << "/srv/seti" + sep;
        QTest::newRow("Enter keeps one") << "/srv/seti" + sep << "Enter"
                                         << "/srv/seti" + sep;
        for (const char *ending : { "Command1_1", "Esc", "close" })
            QTest::newRow(ending) << "/srv/seti" << ending << "/old";
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
            box<QCheckBox>(d, "Check1_0")->click();
            box<QCheckBox>(d, "Check1_1")->click();
            if (ending == u"Enter" || ending == u"Esc")
                QTest::keyClick(box(d, "tbSetiDir"), ending == u"Enter" ? Qt::Key_Return : Qt::Key_Escape);
            else if (ending == u"close")
                d.close();
            else
                box<QPushButton>(d, qPrintable(ending))->click();
            QVERIFY(!d.isVisible());
        });
        const bool closed = returnedPath != u"/old";
        QCOMPARE(dlg.CPUName(), closed ? QStringLiteral("Box7") : QStringLiteral("Old"));
        QCOMPARE(dlg.CPUPath(), returnedPath);
        QCOMPARE(dlg.AllowUpdates(), closed);
        QCOMPARE(dlg.PutOnDisplay(), !closed);
    }

    // Typing stops at 30 and takes no comma (the stored list separates names with it); a longer
    // name from the caller is shown whole and, once shortened, cannot grow back.
    void typedName()
    {
        frmCPUInfo dlg;
        run(dlg, [](frmCPUInfo &d) {
            QLabel *note = d.findChild<QLabel *>(QStringLiteral("lblNameNote"));
            const int height = d.height();
            retype(box(d, "tbCPUName"), QStringLiteral("a,b"));
            // Told beside the box, without stopping anything.
            QCOMPARE(note->text(), QStringLiteral("Commas cannot be used in a name."));
            QVERIFY(note->isVisible() && d.height() > height);
            QTest::keyClicks(box(d, "tbCPUName"), QString(29, u'n'));
            QCOMPARE(box(d, "tbCPUName")->text(), QStringLiteral("ab") + QString(28, u'n'));
            box(d, "tbSetiDir")->setFocus();
            QCOMPARE(note->text(), QStringLiteral("Names are cut at 30 characters."));
            QLabel *folder = d.findChild<QLabel *>(QStringLiteral("lblFolderNote"));
            box(d, "tbSetiDir")->setText(QStringLiteral("/no/such/folder/"));
            QTRY_VERIFY(folder->isVisible());
            QVERIFY(folder->text().startsWith(QStringLiteral("This folder cannot be read now")));
            QVERIFY(box<QPushButton>(d, "Command1_0")->isEnabled());
            for (QWidget *w : d.findChildren<QWidget *>())
                QVERIFY2(!w->isVisible() || d.rect().contains(w->geometry()), qPrintable(w->objectName()));
            box(d, "tbSetiDir")->setText(QDir::tempPath());
            QTRY_VERIFY(!folder->isVisible());
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
