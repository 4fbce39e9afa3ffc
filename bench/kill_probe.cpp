// Kills the real panel at random moments of its start-up, its run and its shutdown (SIGTERM, then
// SIGKILL a random while later) and counts the next starts that would show the wrong CPUs.
// Usage: bench_kill_probe [runs, default 100]
#include "panel/CpuList.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(Schema::Organisation);
    QCoreApplication::setApplicationName(Schema::Application);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 100;
    const QString panel = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tavrik"));
    const QStringList cpus { "Den/Attic", "Laptop", "Box 7", "Loft", "Garage" };
    QRandomGenerator random(20261207);
    int lost = 0;
    int madeUp = 0;
    int wrong = 0;
    for (int run = 0; run < runs; ++run) {
        QTemporaryDir home;
        const QString config = home.filePath(QStringLiteral("config"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config);
        {
            const SettingsStore::Batch batch;
            for (int i = 0; i < cpus.size(); ++i) {
                SettingsStore::save(QString::number(i), Schema::CPUName, cpus[i]);
                SettingsStore::save(cpus[i], Schema::CPUPath, home.filePath(QStringLiteral("c%1/").arg(i)));
            }
            SettingsStore::saveInt(Schema::AppSettings, Schema::TotalCPUs, int(cpus.size()));
            SettingsStore::save(Schema::AppSettings, Schema::SplashTime, QStringLiteral("0"));
        }
        QDir().mkpath(home.filePath(QStringLiteral("run")));
        QFile::setPermissions(home.filePath(QStringLiteral("run")),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(panel, {});
        if (!process.waitForStarted())
            return 1;
        // Half the runs are killed while running or starting, half while closing after SIGTERM.
        QThread::msleep(random.bounded(1500));
        if (run % 2)
            ::kill(pid_t(process.processId()), SIGTERM);
        QThread::msleep(random.bounded(run % 2 ? 60 : 10));
        ::kill(pid_t(process.processId()), SIGKILL);
        process.waitForFinished();

        QStringList loaded;
        for (const auto &cpu : CpuList::Read().cpus)
            loaded << cpu.first;
        if (loaded != cpus) {
            ++wrong;
            for (const QString &name : cpus)
                lost += !loaded.contains(name);
            for (const QString &name : loaded)
                madeUp += !cpus.contains(name);
        }
    }
    std::printf("kill -9 at a random moment, %d runs: %d next starts with the wrong CPUs (%d CPUs lost, %d made up) "
                "(goal 0 lost, 0 made up) %s\n",
        runs, wrong, lost, madeUp, wrong == 0 ? "met" : "NOT MET");
    return 0;
}
