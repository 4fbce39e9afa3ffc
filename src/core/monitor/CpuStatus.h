#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <optional>
#include <vector>

struct UpdateResult;

// What a CPU is doing, as its last applied reading says. The order is the order of attention:
// a later state needs the user more. Slow: working, but well below the CPU's usual pace.
enum class CpuState { Unknown, Working, Downloading, Slow, Stalled, DownloadLate, Unreachable, Failed };

// One CPU's state as the overview, the tray and the words on its window show it. Worked out from
// the same interpreter result that the CPU window applies, never from the files again.
struct CpuStatus
{
    CpuState state = CpuState::Unknown;
    float percent = 0; // of the work unit
    QString percentText; // as the window shows it (the download's own while downloading)
    QString downloadText; // the download's own progress while one is watched, else empty
    std::optional<double> perHour; // percentage points an hour, between the last two readings
    std::optional<qint64> etaSeconds; // to the end of the work unit at that pace
    QString cpuTimeText;
    QDateTime lastGood; // time of the last reading without a failure
    QString lastFailure; // "Path not found"
    QDateTime lastFailureAt;
    qint64 lateSeconds = 0; // how long a late download has run past the alarm time

    // Where the pace is measured from, and since when the client has been waiting for a unit.
    QDateTime readAt;
    float readPercent = 0;
    QDateTime downloadSince;

    // The CPU's usual pace (percentage points an hour over its recent whole units), from its
    // history; none without one. A current pace below SlowFraction of it makes the CPU slow.
    std::optional<double> usualPerHour;
    static constexpr double SlowFraction = 2.0 / 3.0;
    // The current pace is measured over at least this long, from readings of the unit in hand:
    // one kept every five minutes at most, so a thousand CPUs cost little to keep and to store.
    static constexpr qint64 PaceWindowSecs = 30 * 60;
    static constexpr qint64 SampleEverySecs = 300;
    struct PaceSample
    {
        qint64 atMs = 0;
        float percent = 0;
    };
    std::vector<PaceSample> paceSamples;

    // The status after applying r at now; alarmMinutes is the time a download may take.
    static CpuStatus Next(const CpuStatus &before, const UpdateResult &r, const QDateTime &now, int alarmMinutes);

    // The state in a few words: "working", "stalled", "download late 7 min", "unreachable";
    // "finished" for a unit at 100 % that has not yet been replaced.
    QString words() const;
    bool isFinished() const;
    // What a screen reader says of the CPU: "Attic, 50 percent, stalled".
    QString spoken(const QString &name) const;
    static QString StateName(CpuState state);
    // A time to come or gone past, in the few words a row has room for: "7 min", "2 h 05 min".
    static QString ShortDuration(qint64 seconds);
    // The name as a metric's label value: "download_late".
    static QString MetricName(CpuState state);
    bool needsAttention() const;
};

// Every CPU's status as a table, one row per CPU window, in the order the CPUs were added.
class CpuStatusModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Name, State, Percent, Download, PerHour, Eta, CpuTime, LastGood, LastFailure, ColumnCount };
    enum Role {
        SortRole = Qt::UserRole + 1, // a value that sorts the column as a person expects
        StateRole, // the CpuState as int
        KeyRole, // the CPU window's key
        PastRole, // true where the text is history: a failure the CPU has recovered from
    };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Adds the CPU or renames it.
    void setCpu(quint64 key, const QString &name);
    void setStatus(quint64 key, const QString &name, const CpuStatus &status);
    void remove(quint64 key);
    int rowOf(quint64 key) const;
    quint64 keyAt(int row) const;

    CpuState worst() const;
    // "3 working, 1 stalled"; "No CPUs" when empty.
    QString summary() const;

private:
    struct Row
    {
        quint64 key = 0;
        QString name;
        CpuStatus status;
    };
    std::vector<Row> m_rows;
    QHash<quint64, int> m_rowOfKey;
};
