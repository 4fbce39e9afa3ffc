// libFuzzer target: the exporter's state file, as a run finds it at start. For any content the
// exporter takes back only what it can mean, and its metrics keep the invariants of fuzz_client.
#include "export/Exporter.h"
#include "export/MetricsText.h"
#include "settings/Options.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

QTemporaryDir *dir = nullptr;

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    dir = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = dir->filePath(QStringLiteral("state.json"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            std::abort();
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    Options options;
    Exporter exporter(options, dir->filePath(QStringLiteral("tavrik.prom")));
    exporter.setCpus(
        { { QStringLiteral("a"), QStringLiteral("/a/") }, { QStringLiteral("b"), QStringLiteral("/b/") } });
    exporter.setStateFile(path);
    for (const QByteArray &line : MetricsText::Render(exporter.snapshot()).split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        bool ok = false;
        const double v = line.mid(line.lastIndexOf(' ') + 1).toDouble(&ok);
        check(ok && std::isfinite(v) && v >= 0, "a sample that is not a finite, non-negative number");
        if (line.startsWith("tavrik_cpu_progress_ratio"))
            check(v <= 1, "a ratio above 1");
    }
    QFile::remove(path + QStringLiteral(".unknown"));
    return 0;
}
