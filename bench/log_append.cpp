// Cost of appending to the message log: 10,000 and 100,000 entries into a shown log window.
// The size rule keeps the text near 25,000 characters, so the cost per append should not grow
// with the number of appends.

#include "log/frmMessages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>

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

// Appends n entries, letting the window paint every 100 as the program's message loop would.
double appendMs(QApplication &app, const QStringList &messages, int n)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < n; ++i) {
        frmMessages::Append(messages[i % messages.size()]);
        if (i % 100 == 99)
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
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());

    const QStringList messages = sampleMessages();
    double perAppendUs[2] = {};
    const int sizes[2] = { 10000, 100000 };
    for (int k = 0; k < 2; ++k) {
        frmMessages::instance()->resize(700, 400);
        const double ms = appendMs(app, messages, sizes[k]);
        perAppendUs[k] = ms * 1000.0 / sizes[k];
        std::printf("%7d appends: %9.1f ms, %7.2f us per append, log length %lld\n", sizes[k], ms, perAppendUs[k],
            static_cast<long long>(frmMessages::instance()->Message().size()));
        frmMessages::unloadInstance();
    }
    std::printf(
        "per-append cost at 100,000 / at 10,000: %.2f (1 = flat, 10 = quadratic)\n", perAppendUs[1] / perAppendUs[0]);
    return 0;
}
