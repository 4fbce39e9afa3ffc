#pragma once

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>

// A stand-in for a client installation: writes the client's files into a folder the way a client
// does (whole-file rewrites that a reader can catch half done, a download file that grows), so
// the monitor can be tried, tested and measured without a real client. Used by the
// tavrik-simclient tool, the tests and the benchmarks.
class SimulatedClient
{
public:
    enum class Phase {
        Working, // the unit's progress advances
        Stalled, // progress stopped part way
        Downloading, // unit finished, the next one is coming in
        Starting, // new unit in hand, not processed yet: no state file
    };

    struct Options
    {
        double speed = 1.0; // percent of a work unit per step
        bool stall = false; // progress stops half way through the unit
        bool download = false; // begin late in a download that grows slowly (or not at all at speed 0)
        bool crlf = false; // CR LF line ends instead of LF
        bool lowerNames = false; // "state.txt", "user_info.txt" instead of the usual letter case
        quint32 seed = 1;
    };

    SimulatedClient(const QString &dir, const Options &options);

    // Writes the first set of files. False (see error()) when the folder cannot be written.
    bool start();
    // One tick of the client's life.
    bool step();
    QString error() const { return m_error; }

    Phase phase() const { return m_phase; }
    double progress() const { return m_prog; }
    double cpuSeconds() const { return m_cpu; }
    qint64 unitsDownloaded() const { return m_nwus; }
    qint64 resultsReturned() const { return m_nresults; }
    double totalCpuSeconds() const { return m_totalCpu; }
    qint64 downloadBytes() const { return m_wtemp; }

    // Set before start() to begin from other readings.
    void setProgress(double fraction, double cpuSeconds);
    void setAccount(qint64 nwus, qint64 nresults, double totalCpu);
    void setDownloadBytes(qint64 bytes); // begins in a download of this size

    // Single writes, for tests that set up one situation.
    bool writeState();
    bool writeUserInfo();
    bool writeDownload(); // grows (or shrinks) the download file to downloadBytes()
    bool removeState();
    bool removeDownload();

    QByteArray stateText() const;
    QByteArray userInfoText() const;

    QString statePath() const;
    QString userInfoPath() const;
    QString downloadPath() const;

    static constexpr qint64 FullDownload = 360448;

private:
    bool rewrite(const QString &path, const QByteArray &content);
    QByteArray lines(std::initializer_list<QByteArray> items) const;
    double newUnitCpu();
    bool finishUnit();
    bool beginNextUnit();
    bool advanceWork();
    bool advanceDownload();

    QString m_dir;
    Options m_options;
    QRandomGenerator m_random;
    Phase m_phase = Phase::Working;
    double m_prog = 0;
    double m_cpu = 0;
    double m_unitCpu = 36000; // processor seconds this unit takes in all
    qint64 m_unitSeq = 0;
    qint64 m_nwus = 0;
    qint64 m_nresults = 0;
    double m_totalCpu = 0;
    qint64 m_wtemp = 0;
    qint64 m_wtempOnDisk = -1; // -1: no download file
    double m_stallAt = 0.5;
    QString m_error;
};
