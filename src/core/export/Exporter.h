#pragma once

#include "export/MetricsText.h"
#include "history/HistoryRecorder.h"
#include "monitor/CpuStatus.h"
#include "monitor/StatsInterpreter.h"
#include "monitor/UpdateCycle.h"

#include <QElapsedTimer>
#include <QObject>

class HistoryStore;
struct Options;

// One CPU as the exporter follows it from reading to reading: what a CPU window keeps, and the
// state the overview shows for it.
struct ExportedCpu
{
    QString name;
    QString path;
    QString historyId; // the panel's id of the CPU, or its name
    HistoryRecorder recorder; // finds the units it finishes
    MonitorFields fields;
    CpuStatus status;
    CpuMetrics metrics;
};

// The status bar's leader, as the panel keeps it: the highest account counts read so far.
struct ExportedAccount
{
    double shownDownloaded = 0;
    double shownUploaded = 0;
    AccountMetrics metrics;
};

// Reads every CPU with the panel's parallel update cycle and writes each cycle's metrics to a
// node_exporter textfile, replaced whole so a scrape never sees half of it.
class Exporter : public QObject
{
    Q_OBJECT
public:
    struct Cpu
    {
        QString name;
        QString path;
        QString historyId; // empty: the name
    };
    // The state file's format; a file of a later format is not read.
    static constexpr int StateVersion = 2;

    Exporter(const Options &options, const QString &textFile, QObject *parent = nullptr);

    // The CPUs of the settings store that allow updates, in the panel's order.
    static QList<Cpu> StoredCpus();

    void setCpus(const QList<Cpu> &cpus);
    // Where the readings are kept between runs (so --once from cron still tells stalled from
    // working); loaded now for the CPUs already set, saved after every cycle. Empty: none.
    void setStateFile(const QString &file);
    // Keeps a history file too (the panel's format); empty: none.
    void setHistoryFile(const QString &file);
    void runCycle();
    void stop();
    UpdateCycle &cycle() { return m_cycle; }
    ExportSnapshot snapshot() const;
    QString error() const { return m_error; } // why the last cycle's writes failed

    // One reading of one CPU: runs the client state reader on it and decides the CPU's state.
    // The state is the overview's (CpuStatus), so the metrics and the panel always agree.
    static void Apply(ExportedCpu &cpu, ExportedAccount &account, const ClientSnapshot &files, qint16 alarmInterval,
        const UpdateClock &clock, double unixTime, HistoryObservation *observed = nullptr);

Q_SIGNALS:
    void cycleWritten(bool ok);

private:
    void onReading(quint64 key, const QString &path, const ClientSnapshot &files);
    void onCycleFinished();
    bool writeText(const QString &file, const QByteArray &text);
    void loadState();
    QByteArray stateText() const;

    const Options &m_options;
    QString m_textFile;
    QString m_stateFile;
    UpdateCycle m_cycle;
    QList<ExportedCpu> m_cpus;
    ExportedAccount m_account;
    QElapsedTimer m_cycleTime;
    HistoryStore *m_history = nullptr;
    double m_cycleSeconds = 0;
    QString m_error;
};
