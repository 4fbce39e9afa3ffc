#pragma once

#include "export/CpuCard.h"
#include "export/MetricsText.h"
#include "fleet/Fleet.h"

#include <QElapsedTimer>
#include <QObject>

class Options;

// Reads every CPU with the panel's fleet and update cycle and writes each cycle's metrics to a
// node_exporter textfile, replaced whole so a scrape never sees half of it.
class Exporter : public QObject
{
    Q_OBJECT
public:
    Exporter(const Options &options, const QString &textFile, QObject *parent = nullptr);

    // Every CPU of the settings store, in the panel's order; those that do not allow updates are
    // neither read nor exported.
    void loadStoredCpus();
    // These CPUs (name, folder) instead.
    void setCpus(const QList<QPair<QString, QString>> &cpus);
    // Where the readings are kept between runs (so --once from cron still tells stalled from
    // working); loaded now for the CPUs already set, saved after every cycle. Empty: none.
    void setStateFile(const QString &file);
    void runCycle();
    void stop();
    Fleet &fleet() { return m_fleet; }
    UpdateCycle &cycle() { return m_fleet.cycle(); }
    ExportSnapshot snapshot() const;
    // Each CPU as the status page and its JSON show it, as of the last cycle.
    StatusSnapshot statusSnapshot() const;
    QString error() const { return m_error; } // why the last cycle's writes failed
    // Set when the state file was of another format and was set aside (moved to ".unknown").
    QString stateNote() const { return m_stateNote; }
    static constexpr int StateFormat = 2; // 2: download times in real milliseconds

    // A CPU as a scraper sees it, from its record: the same state the panel shows.
    static CpuMetrics Metrics(const Cpu &cpu, const QDateTime &now);

Q_SIGNALS:
    void cycleWritten(bool ok);

private:
    void onReading(const ReadingOutcome &outcome);
    void onCycleFinished();
    bool writeText(const QString &file, const QByteArray &text);
    void loadState();
    QByteArray stateText() const;

    Fleet m_fleet;
    QString m_textFile;
    QString m_stateFile;
    AccountMetrics m_account;
    QElapsedTimer m_cycleTime;
    double m_cycleSeconds = 0;
    QString m_error;
    QString m_stateNote;
};
