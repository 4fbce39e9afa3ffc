// Cost of appending to the message log: 10,000 and 100,000 entries into a shown log window, one
// by one and in batches.
// The size rule keeps the text near 25,000 characters, so the cost per append should not grow
// with the number of appends.

#include "log/frmMessages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

// Lines of the length and shape the CPU windows write.
QStringList sampleMessages()
{
    QStringList out;
    for (int i = 0; i < 64; ++i)
        out << QStringLiteral("  Box%1 updated successfully at: 12/03/2024 10:%2:%3  ")
                   .arg(i % 8)
                   .arg(i % 60, 2, 10, QLatin1Char('0'))
                   .arg((i * 7) % 60, 2, 10, QLatin1Char('0'));
    return out;
}

// Appends n entries, batch at a time (a CPU window hands on its lines of one reading together),
// letting the window paint every 100 as the program's message loop would.
double appendMs(QApplication &app, const QStringList &messages, int n, int batch)
{
    std::vector<QStringList> batches; // made before the clock starts
    for (int i = 0; i < int(messages.size()); ++i) {
        QStringList some;
        for (int j = 0; j < batch; ++j)
            some << messages[(i + j) % messages.size()];
        batches.push_back(some);
    }
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < n; i += batch) {
        if (batch == 1)
            frmMessages::Append(messages[i % messages.size()]);
        else
            frmMessages::Append(batches[size_t(i % messages.size())]);
        if ((i + batch) % 100 == 0)
            app.processEvents();
    }
    app.processEvents();
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The log reads and writes its placement: keep that away from the user's settings.
    QTemporaryDir settings;
#ifdef Q_OS_WIN
    QSettings::setDefaultFormat(QSettings::IniFormat); // not the registry
#endif
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());

    const QStringList messages = sampleMessages();
    struct Run
    {
        int entries;
        int batch;
    };
    const Run runs[] = { { 10000, 1 }, { 100000, 1 }, { 100000, 10 } };
    double perAppendUs[3] = {};
    for (int k = 0; k < 3; ++k) {
        frmMessages::instance()->resize(700, 400);
        const double ms = appendMs(app, messages, runs[k].entries, runs[k].batch);
        perAppendUs[k] = ms * 1000.0 / runs[k].entries;
        std::printf("%7d entries, %2d per Append: %9.1f ms, %7.2f us per entry, log length %lld\n", runs[k].entries,
            runs[k].batch, ms, perAppendUs[k], static_cast<long long>(frmMessages::instance()->Message().size()));
        frmMessages::unloadInstance();
    }
    std::printf(
        "per-entry cost at 100,000 / at 10,000: %.2f (1 = flat, 10 = quadratic)\n", perAppendUs[1] / perAppendUs[0]);
    std::printf("per-entry cost in batches of 10 / one by one: %.2f\n", perAppendUs[2] / perAppendUs[1]);
    return 0;
}
