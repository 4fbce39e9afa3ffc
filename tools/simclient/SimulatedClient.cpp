#include "SimulatedClient.h"

#include <QDir>
#include <QFile>

#include <algorithm>

SimulatedClient::SimulatedClient(const QString &dir, const Options &options)
    : m_dir(QDir(dir).absolutePath())
    , m_options(options)
    , m_random(options.seed)
{
    m_nwus = 100 + m_random.bounded(400);
    m_nresults = m_nwus - 1; // the unit in hand has no result yet
    m_totalCpu = double(m_nresults) * (30000.0 + m_random.bounded(10000.0));
    m_unitSeq = m_nwus;
    m_unitCpu = newUnitCpu();
    if (options.stall)
        m_prog = 0.40 + m_random.bounded(0.09);
    if (options.download)
        setDownloadBytes(FullDownload * 3 / 4);
    m_cpu = m_prog * m_unitCpu;
}

void SimulatedClient::setProgress(double fraction, double cpuSeconds)
{
    m_prog = fraction;
    m_cpu = cpuSeconds;
    if (m_phase == Phase::Starting)
        m_phase = Phase::Working;
}

void SimulatedClient::setAccount(qint64 nwus, qint64 nresults, double totalCpu)
{
    m_nwus = nwus;
    m_nresults = nresults;
    m_totalCpu = totalCpu;
}

void SimulatedClient::setDownloadBytes(qint64 bytes)
{
    if (m_phase != Phase::Downloading) {
        m_prog = 1.0;
        m_cpu = m_unitCpu;
        m_nresults = m_nwus;
        m_phase = Phase::Downloading;
    }
    m_wtemp = std::max<qint64>(0, bytes);
}

bool SimulatedClient::start()
{
    m_error.clear();
    if (!QDir().mkpath(m_dir)) {
        m_error = QStringLiteral("cannot create %1").arg(m_dir);
        return false;
    }
    bool ok = writeUserInfo();
    ok = (m_phase == Phase::Starting ? removeState() : writeState()) && ok;
    ok = (m_phase == Phase::Downloading ? writeDownload() : removeDownload()) && ok;
    return ok;
}

bool SimulatedClient::step()
{
    switch (m_phase) {
    case Phase::Working:
        return advanceWork();
    case Phase::Stalled:
        return true; // a stuck client writes nothing
    case Phase::Downloading:
        return advanceDownload();
    case Phase::Starting:
        m_phase = Phase::Working;
        m_prog = 0;
        return advanceWork();
    }
    return true;
}

bool SimulatedClient::advanceWork()
{
    if (m_options.stall && m_prog >= m_stallAt) {
        m_phase = Phase::Stalled;
        return true;
    }
    m_prog += m_options.speed / 100.0 * (0.9 + m_random.bounded(0.2));
    if (m_options.stall)
        m_prog = std::min(m_prog, m_stallAt);
    if (m_prog >= 1.0)
        return finishUnit();
    m_cpu = m_prog * m_unitCpu;
    return writeState();
}

bool SimulatedClient::finishUnit()
{
    m_prog = 1.0;
    m_cpu = m_unitCpu;
    bool ok = writeState();
    m_nresults += 1;
    m_totalCpu += m_unitCpu;
    ok = writeUserInfo() && ok;
    m_phase = Phase::Downloading;
    m_wtemp = 0;
    return ok;
}

bool SimulatedClient::advanceDownload()
{
    if (m_wtemp >= FullDownload && m_wtempOnDisk >= FullDownload)
        return beginNextUnit();
    // A late download in trouble trickles in; a healthy one takes about twenty steps at speed 1.
    const double share = m_options.download ? 0.001 : 0.05;
    const qint64 more = qint64(double(FullDownload) * share * m_options.speed);
    m_wtemp = std::min(FullDownload, m_wtemp + std::max<qint64>(0, more));
    return writeDownload();
}

bool SimulatedClient::beginNextUnit()
{
    // The finished download becomes the client's work file, and the state of the old unit goes.
    bool ok = removeDownload();
    ok = removeState() && ok;
    m_nwus += 1;
    m_unitSeq += 1;
    ok = writeUserInfo() && ok;
    m_unitCpu = newUnitCpu();
    m_prog = 0;
    m_cpu = 0;
    m_wtemp = 0;
    m_phase = Phase::Starting;
    return ok;
}

double SimulatedClient::newUnitCpu()
{
    return 28800.0 + m_random.bounded(21600.0); // eight to fourteen hours
}

QString SimulatedClient::statePath() const
{
    return m_dir + QLatin1String(m_options.lowerNames ? "/state.txt" : "/State.txt");
}

QString SimulatedClient::userInfoPath() const
{
    return m_dir + QLatin1String(m_options.lowerNames ? "/user_info.txt" : "/User_Info.txt");
}

QString SimulatedClient::downloadPath() const
{
    return m_dir + QStringLiteral("/wtemp.txt");
}

QByteArray SimulatedClient::lines(std::initializer_list<QByteArray> items) const
{
    const QByteArray end = m_options.crlf ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
    QByteArray out;
    for (const QByteArray &item : items)
        out += item + end;
    return out;
}

QByteArray SimulatedClient::stateText() const
{
    const QByteArray unit = QByteArray::number(m_unitSeq).rightJustified(6, '0');
    return lines({
        "sim_client=1.2",
        "unit=sim-" + unit,
        "pass=" + QByteArray::number(1 + int(m_prog * 4) % 4),
        "step_size=0.0625",
        "prog=" + QByteArray::number(m_prog, 'f', 6),
        "cpu=" + QByteArray::number(m_cpu, 'f', 2),
        "checkpoints=" + QByteArray::number(qint64(m_cpu / 600)),
        "frame=" + QByteArray::number(qint64(m_prog * 1048576)),
    });
}

QByteArray SimulatedClient::userInfoText() const
{
    const QByteArray n = QByteArray::number(m_options.seed);
    return lines({
        "id=" + QByteArray::number(40000 + m_options.seed % 10000),
        "name=Sim Cruncher " + n,
        "email_addr=cruncher" + n + "@example.org",
        "team=",
        "joined=2001-03-14",
        "nwus=" + QByteArray::number(m_nwus),
        "nresults=" + QByteArray::number(m_nresults),
        "total_cpu=" + QByteArray::number(m_totalCpu, 'f', 6),
        "last_result_unit=sim-" + QByteArray::number(m_nresults).rightJustified(6, '0'),
        "host=sim-host-" + n,
    });
}

bool SimulatedClient::rewrite(const QString &path, const QByteArray &content)
{
    // Like a client: truncate, then write. A reader between the two halves sees half a file.
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
        return false;
    }
    const qsizetype half = content.size() / 2;
    bool ok = f.write(content.constData(), half) == half && f.flush();
    ok = ok && f.write(content.constData() + half, content.size() - half) == content.size() - half;
    if (!ok)
        m_error = QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
    return ok;
}

bool SimulatedClient::writeState()
{
    return rewrite(statePath(), stateText());
}

bool SimulatedClient::writeUserInfo()
{
    return rewrite(userInfoPath(), userInfoText());
}

bool SimulatedClient::writeDownload()
{
    // Downloads only ever append; the file is started afresh when it would have to shrink.
    QFile f(downloadPath());
    const bool fresh = m_wtempOnDisk < 0 || m_wtempOnDisk > m_wtemp;
    if (!f.open(fresh ? QIODevice::WriteOnly | QIODevice::Truncate : QIODevice::Append)) {
        m_error = QStringLiteral("cannot write %1: %2").arg(downloadPath(), f.errorString());
        return false;
    }
    qint64 at = fresh ? 0 : m_wtempOnDisk;
    static const char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    QByteArray chunk;
    while (at < m_wtemp) {
        const qint64 n = std::min<qint64>(65536, m_wtemp - at);
        chunk.resize(n);
        for (qint64 i = 0; i < n; ++i)
            chunk[i] = (at + i) % 65 == 64 ? '\n' : Alphabet[(at + i) * 7 % 64];
        if (f.write(chunk) != n) {
            m_error = QStringLiteral("cannot write %1: %2").arg(downloadPath(), f.errorString());
            m_wtempOnDisk = -1;
            return false;
        }
        at += n;
    }
    m_wtempOnDisk = m_wtemp;
    return true;
}

bool SimulatedClient::removeState()
{
    return !QFile::exists(statePath()) || QFile::remove(statePath());
}

bool SimulatedClient::removeDownload()
{
    m_wtempOnDisk = -1;
    return !QFile::exists(downloadPath()) || QFile::remove(downloadPath());
}
