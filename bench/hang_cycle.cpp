// How long the event loop can be held up by an update cycle of the real panel over 100 CPUs of
// which 10 sit on a share that does not answer (a FIFO named "State.txt" blocks a reader's open()).
// Prints the longest gap between two 5 ms timer ticks during a Refresh; the goal is < 100 ms.
// Usage: bench_hang_cycle [time limit per CPU in ms, default 1000]
#include "core/Schema.h"
#include "core/SettingsStore.h"
#include "core/modTavrik.h"
#include "monitor/AsyncClientReader.h"
#include "monitor/SimulatedClient.h"
#include "panel/mfrmTavrik.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Lets every hung read finish (each blocked open() sees a writer come and go).
void releaseFifos(const std::vector<QString> &fifos)
{
    for (const QString &fifo : fifos) {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int Cpus = 100;
    constexpr int Hung = 10;
    const int limitMs = argc > 1 ? std::atoi(argv[1]) : 1000;
    AsyncClientReader::setTimeLimit(limitMs);

    QTemporaryDir root;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, root.filePath(QStringLiteral("config")));
    std::vector<QString> fifos;
    for (int i = 0; i < Cpus; ++i) {
        const QString name = QStringLiteral("cpu%1").arg(i);
        SimulatedClient::Options options;
        options.seed = quint32(i + 1);
        SimulatedClient client(root.filePath(name) + u'/', options);
        if (!client.start())
            return 1;
        if (i % (Cpus / Hung) == 0) {
            QFile::remove(client.statePath());
            if (::mkfifo(QFile::encodeName(client.statePath()).constData(), 0600) != 0)
                return 1;
            fifos.push_back(client.statePath());
        }
        SettingsStore::save(QString::number(i), Schema::CPUName, name);
        SettingsStore::save(name, Schema::CPUPath, root.filePath(name) + u'/');
    }
    SettingsStore::saveInt(Schema::AppSettings, Schema::TotalCPUs, Cpus);
    SettingsStore::save(Schema::AppSettings, Schema::MessageWindow, Schema::BoolTrue);
    modTavrik::LoadOptions();

    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { longestGap = qMax(longestGap, sinceTick.restart()); });

    std::printf("%d CPUs, %d of them hung, time limit %d ms per CPU\n", Cpus, Hung, limitMs);
    mfrmTavrik panel;
    QElapsedTimer phase;
    phase.start();
    sinceTick.start();
    ticker.start(5);
    panel.Load();
    std::printf("start-up (each CPU read once)  %6lld ms, longest event-loop gap %3lld ms\n",
                static_cast<long long>(phase.elapsed()), static_cast<long long>(longestGap));

    auto refresh = [&](const char *label) {
        longestGap = 0;
        phase.restart();
        sinceTick.restart();
        panel.mnuRefresh_Click();
        std::printf("%-30s %6lld ms, longest event-loop gap %3lld ms (goal < 100 ms)\n", label,
                    static_cast<long long>(phase.elapsed()), static_cast<long long>(longestGap));
    };
    refresh("Refresh, reads still hung");
    releaseFifos(fifos);
    QThread::msleep(50); // let the released reads end before the shares hang again
    QCoreApplication::processEvents();
    refresh("Refresh, shares hang again");
    ticker.stop();
    releaseFifos(fifos);
    panel.close();
    return 0;
}
