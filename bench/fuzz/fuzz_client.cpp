// libFuzzer target: the client's files (State.txt, User_Info.txt, wtemp.txt's length) through the
// exporter's reading of a CPU, two readings in a row, then the metrics file. What must hold for any
// input: the metrics carry no value a reading cannot mean, and no conversion leaves its range
// (the sanitizers watch that).
#include "export/Exporter.h"
#include "export/MetricsText.h"

#include <QCoreApplication>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// Every sample line: its value is a finite number, not negative, and a ratio is at most 1.
void checkMetrics(const QByteArray &text)
{
    for (const QByteArray &line : text.split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QByteArray value = line.mid(line.lastIndexOf(' ') + 1);
        bool ok = false;
        const double v = value.toDouble(&ok);
        check(ok && std::isfinite(v) && v >= 0, "a sample that is not a finite, non-negative number");
        if (line.startsWith("tavrik_cpu_progress_ratio"))
            check(v <= 1, "a ratio above 1");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 10)
        return 0;
    // Header: the wtemp length, the gap between the readings; then State.txt \0 User_Info.txt \0 the
    // next reading's State.txt.
    qint64 wtemp = 0;
    std::memcpy(&wtemp, data, 8);
    const int gapSeconds = data[8];
    const bool wtempMissing = data[9] & 1;
    const QByteArray body(reinterpret_cast<const char *>(data) + 10, qsizetype(size - 10));
    const QList<QByteArray> parts = body.split('\0');
    ClientSnapshot files;
    files.state.text = QString::fromLatin1(parts.value(0));
    files.user.text = QString::fromLatin1(parts.value(1));
    files.wtempError = wtempMissing ? 2 : 0;
    files.wtempLength = wtemp;

    ExportedCpu cpu;
    cpu.name = QStringLiteral("fuzz");
    cpu.path = QStringLiteral("/fuzz/");
    cpu.metrics.name = cpu.name;
    ExportedAccount account;
    UpdateClock clock { 1000.0, QStringLiteral("D") };
    const double t0 = 1.7e9;
    Exporter::Apply(cpu, account, files, 5, clock, t0);
    // The second reading: State.txt as the third part gives it (the same when there is none).
    if (parts.size() > 2)
        files.state.text = QString::fromLatin1(parts.value(2));
    clock.seconds += gapSeconds;
    Exporter::Apply(cpu, account, files, 5, clock, t0 + gapSeconds);
    if (cpu.status.etaSeconds)
        check(*cpu.status.etaSeconds >= 0, "a negative time to finish");

    ExportSnapshot s;
    s.cpus.append(cpu.metrics);
    s.account = account.metrics;
    checkMetrics(MetricsText::Render(s));
    return 0;
}
