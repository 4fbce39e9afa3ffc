#include "app/InstanceChannel.h"
#include "common/TestSupport.h"
#include "panel/mfrmTavrik.h"
#include "settings/Options.h"
#include "settings/SingleInstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <future>
#include <memory>
#include <vector>

// The program's command line and second start, run as the user runs them.
class StartTest : public QObject
{
    Q_OBJECT

    IsolatedSettings m_settings;

    static QString program()
    {
        return QDir(qEnvironmentVariable("TAVRIK_TOOLS_DIR", QCoreApplication::applicationDirPath()))
            .filePath("tavrik");
    }

    // Throw-away settings, runtime and state folders, so nothing here meets the user's.
    static QProcessEnvironment isolated(const QTemporaryDir &dir)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : { "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "XDG_STATE_HOME" }) {
            const QString path = dir.filePath(QLatin1String(name));
            QDir().mkpath(path);
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            env.insert(QLatin1String(name), path);
        }
        return env;
    }

private Q_SLOTS:
    // --help and --version answer without a display; anything else unknown is refused.
    void options_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("output");
        QTest::newRow("help") << "--help" << 0 << "--minimized";
        QTest::newRow("version") << "--version" << 0 << "tavrik " + modTavrik::ProgramVersion() + "\n";
        QTest::newRow("unknown") << "--bogus" << 2 << "Unknown option 'bogus'";
    }
    void options()
    {
        QFETCH(QString, option);
        QFETCH(int, code);
        QFETCH(QString, output);
        QTemporaryDir dir;
        QProcessEnvironment env = isolated(dir);
        for (const char *name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
            env.remove(QLatin1String(name));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program(), { option });
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), code);
        const QString out = QString::fromUtf8(code ? p.readAllStandardError() : p.readAllStandardOutput());
        QVERIFY2(out.contains(output), qPrintable(out));
    }

    // A second start asks the running copy to come forward, says so and ends with 0; started
    // minimised, the running copy is shown afterwards.
    void secondStart()
    {
#ifndef Q_OS_UNIX
        QSKIP("The program keeps its settings in the registry here, where no folder can stand in for them");
#else
        QTemporaryDir dir;
        const QProcessEnvironment env = isolated(dir);
        QProcess first;
        first.setProcessEnvironment(env);
        first.start(program(), { "--minimized" });
        QVERIFY(first.waitForStarted());
        const QString lock = dir.filePath("XDG_RUNTIME_DIR/tavrik.lock");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock), 20000);
        QProcess second;
        second.setProcessEnvironment(env);
        bool reached = false;
        for (int attempt = 0; attempt < 50 && !reached; ++attempt) { // the first may still be setting up
            second.start(program());
            QVERIFY(second.waitForFinished(20000));
            reached = second.readAllStandardError().contains("brought its window to the front");
            if (!reached)
                QTest::qWait(200);
        }
        QVERIFY(reached);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QVERIFY(first.state() == QProcess::Running);
        first.terminate();
        QVERIFY(first.waitForFinished(20000));
        QCOMPARE(first.exitCode(), 0);
        // The run-only option was not stored; the session's log was kept in the state folder.
        QFile conf(dir.filePath("XDG_CONFIG_HOME/Brakmere/Tavrik.conf"));
        QVERIFY(conf.open(QIODevice::ReadOnly));
        QVERIFY(conf.readAll().contains("StartMinimized=False"));
        QVERIFY(QFileInfo(dir.filePath("XDG_STATE_HOME/Brakmere/Tavrik/session.log")).size() > 0);
#endif
    }

    // The running copy's side: the request restores the minimised main window and raises it.
    void requestShowsTheMainWindow()
    {
        Options options;
        mfrmTavrik w(options);
        w.showMinimized();
        QVERIFY(w.isMinimized());
        const QString name = QStringLiteral("tavrik-test-%1").arg(QCoreApplication::applicationPid());
        InstanceChannel channel(name);
        QObject::connect(&channel, &InstanceChannel::showRequested, &w, [&w] { InstanceChannel::BringForward(&w); });
        QVERIFY(!InstanceChannel::AskToShow(name, 200)); // nobody listens yet
        QVERIFY(channel.listen());
        // Connections that never speak are closed (beyond the limit at once, the rest when idle),
        // and the channel still answers afterwards.
        std::vector<std::unique_ptr<QLocalSocket>> silent;
        for (int i = 0; i < 40; ++i) {
            silent.push_back(std::make_unique<QLocalSocket>());
            silent.back()->connectToServer(name);
            QTest::qWait(5);
        }
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(silent.begin(), silent.end(),
                                     [](const auto &c) { return c->state() == QLocalSocket::UnconnectedState; }),
            InstanceChannel::IdleMs + 3000);
        auto asked = std::async(std::launch::async, [name] { return InstanceChannel::AskToShow(name); });
        QTRY_VERIFY(!w.isMinimized() && w.isVisible());
        QVERIFY(asked.get());
        QVERIFY(w.close());
    }
};

TAVRIK_TEST(StartTest)
#include "StartTest.moc"
