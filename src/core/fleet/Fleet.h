#pragma once

#include "display/DisplayTicker.h"
#include "fleet/Cpu.h"
#include "panel/CpuList.h"

#include <QHash>
#include <QObject>

#include <memory>
#include <vector>

class Options;
class StatusTotals;
class UpdateCycle;

// Every watched CPU, in the user's order, with the one update cycle that reads them. The one
// place that adds, renames, removes, stores and hands over CPUs and applies their readings;
// windows, overview, tray, ticker, log and exporter follow it through its signals.
class Fleet : public QObject
{
    Q_OBJECT
public:
    explicit Fleet(const Options &options, QObject *parent = nullptr);
    ~Fleet() override;

    // The exporter reads the panel's settings but never writes them.
    void setStoresDownloadStarts(bool on) { m_storesDownloadStarts = on; }

    const QList<Cpu *> &cpus() const { return m_order; }
    Cpu *find(quint64 key) const { return m_byKey.value(key); }
    qsizetype count() const { return m_order.size(); }

    // Start-up: a stored CPU taken back (its section read: switches, a download being timed).
    Cpu *restore(const QString &name, const QString &path);
    // A new CPU from the user, stored at once. Null, with a log line, when name or path is blank
    // or the panel holds as many CPUs as it may.
    Cpu *add(const QString &name, const QString &path, bool allowUpdates, bool putOnDisplay);
    // Why the CPU (0: a new one) cannot take this name; empty when it can.
    QString nameRefusal(const QString &name, quint64 key) const;
    // Stored CPUs that were not loaded (beyond the limit): kept, and handed over again at exit.
    void setNotLoaded(const QList<QPair<QString, QString>> &cpus) { m_notLoaded = cpus; }
    const QList<QPair<QString, QString>> &notLoaded() const { return m_notLoaded; }
    // Name, folder and switches as edited; stored at once. True when the CPU must be read afresh.
    bool edit(quint64 key, const QString &name, const QString &path, bool allowUpdates, bool putOnDisplay);
    void setAllowUpdates(quint64 key, bool on);
    void setPutOnDisplay(quint64 key, bool on);
    // Forgets the CPU and its stored settings.
    void remove(quint64 key);
    // Exit: the hand-over list and every CPU's section, then the CPUs not loaded and those given
    // (stored, not made yet), within the caller's batch.
    void handOver(const QList<QPair<QString, QString>> &unbuilt = {});
    // The CPU's own keys in its section (the window adds its place).
    void storeSection(const Cpu &cpu) const;
    // The history ids given to stored CPUs that had none, within the caller's batch.
    void storeNewIds();

    UpdateCycle &cycle() { return *m_cycle; }
    StatusTotals &totals() { return *m_totals; }
    // Reads these CPUs outside the cycle (start-up, Refresh Me Only, an edited CPU).
    void readNow(const QList<quint64> &keys);
    // One reading of a CPU's folder, as the cycle hands it on; a reading of a folder the CPU no
    // longer has, or of a CPU since removed, is dropped.
    void applyReading(quint64 key, const QString &path, const ClientSnapshot &files);

    // Usual paces from a history, by history key (0: none); each CPU's next reading uses its own.
    void setUsualPaces(const QHash<QString, double> &perHour);

    // What the scrolling display picks the next CPU from.
    QList<WindowView> displayViews() const;

Q_SIGNALS:
    void cpuAdded(quint64 key);
    void cpuChanged(quint64 key); // name, folder or a switch
    void cpuRemoved(quint64 key);
    void readingApplied(quint64 key, const ReadingOutcome &outcome);
    void logged(const LogEntries &entries);
    // A download is late: at most once per cycle, however many CPUs are late.
    void alarmDue();
    void cycleStarted();
    void cycleFinished();

private:
    Cpu *create(const QString &name, const QString &path);
    void restoreSection(Cpu &cpu) const;
    void note(const QString &text, const Cpu *cpu, LogKind kind = LogKind::Note);
    void storeDownloadStarts();
    void applyUsualPace(Cpu &cpu) const;

    const Options &m_options;
    std::vector<std::unique_ptr<Cpu>> m_records;
    QList<Cpu *> m_order;
    QHash<quint64, Cpu *> m_byKey;
    std::unique_ptr<StatusTotals> m_totals;
    UpdateCycle *m_cycle = nullptr;
    quint64 m_nextKey = 1;
    bool m_alarmInCycle = false;
    bool m_storesDownloadStarts = true;
    QList<QPair<QString, QString>> m_notLoaded;
    mutable QList<quint64> m_downloadsToStore; // whose download start the settings lack
    mutable QList<quint64> m_idsToStore; // restored without a history id: one was made
    QHash<QString, double> m_usualPaces; // by history key, as the history last announced them
};
