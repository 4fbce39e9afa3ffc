// How long the real panel takes to close (what SIGTERM starts) and how many times it writes the
// settings file doing so: 100 CPUs in a normal store, and 5 CPUs in a valid store padded to 10 MB.
// Prints each goal with its figure and "met"/"NOT MET".
#include "monitor/UpdateCycle.h"
#include "panel/mfrmTavrik.h"
#include "settings/Options.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

struct Closing
{
    double ms = 0;
    int writes = 0;
    QStringList loaded;
};

// Starts the panel over the store in dir, waits until its windows are made and read, then closes it.
Closing startAndClose(const QString &dir, int cpus, qint64 padBytes)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir);
    {
        const SettingsStore::Batch batch;
        for (int i = 0; i < cpus; ++i) {
            const QString name = QStringLiteral("cpu%1").arg(i);
            SettingsStore::save(QString::number(i), Schema::CPUName, name);
            SettingsStore::save(name, Schema::CPUPath, dir + QStringLiteral("/clients/") + name + u'/');
        }
        SettingsStore::saveInt(Schema::AppSettings, Schema::TotalCPUs, cpus);
        SettingsStore::saveInt(Schema::AppSettings, Schema::MonitorInterval, 3600);
        // Valid keys of a section nobody reads, up to the size asked for.
        const QString filler(200, u'x');
        for (qint64 i = 0; i * 200 < padBytes; ++i)
            SettingsStore::save(QStringLiteral("Padding"), QStringLiteral("k%1").arg(i), filler);
    }
    int writes = 0;
    SettingsStore::setBeforeWrite([&writes] { ++writes; });
    Options options;
    modTavrik::LoadOptions(options);
    Closing out;
    {
        mfrmTavrik panel(options);
        panel.Load();
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &panel, [&] {
            if (panel.isLoading() || !panel.cycle().isIdle())
                return;
            poll.stop();
            writes = 0;
            QElapsedTimer clock;
            clock.start();
            panel.closeFromSystem();
            out.ms = clock.nsecsElapsed() / 1e6;
            out.writes = writes;
            QCoreApplication::quit();
        });
        poll.start(5);
        QCoreApplication::exec();
    }
    SettingsStore::setBeforeWrite({});
    for (int i = 0; i < cpus; ++i)
        out.loaded << SettingsStore::get(QString::number(i), Schema::CPUName, QString());
    return out;
}

void report(const char *what, const Closing &c, int cpus, double goalMs)
{
    int kept = 0;
    for (int i = 0; i < c.loaded.size(); ++i)
        kept += c.loaded[i] == QStringLiteral("cpu%1").arg(i);
    const bool met = c.ms <= goalMs && kept == cpus;
    std::printf("%s: closed in %.0f ms with %d settings write(s), %d of %d CPUs handed over (goal <= %.0f ms, "
                "nothing lost) %s\n",
        what, c.ms, c.writes, kept, cpus, goalMs, met ? "met" : "NOT MET");
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(Schema::Organisation);
    QApplication::setApplicationName(Schema::Application);
#ifdef Q_OS_WIN
    QSettings::setDefaultFormat(QSettings::IniFormat); // a file in the folders below, not the registry
#endif
    QTemporaryDir big;
    QTemporaryDir padded;
    report("100 CPUs", startAndClose(big.path(), 100, 0), 100, 300);
    const Closing p = startAndClose(padded.path(), 5, 10 * 1024 * 1024);
    const qint64 size = QFileInfo(SettingsStore::fileName()).size();
    std::printf("settings file of %.1f MB: ", size / 1048576.0);
    report("5 CPUs", p, 5, 1000);
    return 0;
}
