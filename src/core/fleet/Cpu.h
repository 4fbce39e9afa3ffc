#pragma once

#include "log/LogEntry.h"
#include "monitor/CpuStatus.h"
#include "monitor/StatsInterpreter.h"

#include <QMap>
#include <QString>

#include <optional>

// What a CPU's window shows, as the readings so far left it.
struct CpuView
{
    bool percentRed = false; // lblPercent red (not moved) or blue (moving)
    QString percentText = QStringLiteral("0%");
    bool downloadingVisible = false; // picDownloading
    QString downloadCaption = QStringLiteral("Downloading a new work unit"); // Label3
    QString cpuTimeText = QStringLiteral("0"); // lblTime
    QString unitNumberText = QStringLiteral("0"); // lblPackage
    QString downloadedText = QStringLiteral("0"); // lblPackageDown
    QString uploadedText = QStringLiteral("0"); // lblPackageUp
};

// One watched client installation: what the user set, and what its readings left. The panel's
// windows, the overview, the ticker, the tray and the exporter all show this one record.
struct Cpu
{
    quint64 key = 0; // never reused while the program runs
    QString name;
    QString path; // always ends with a separator
    bool allowUpdates = true;
    bool putOnDisplay = true;
    QString historyId; // the CPU's history follows it through renames; kept in its section
    // The CPU in a history file: its id, or its name where it has none (the exporter's own CPUs).
    QString historyKey() const { return historyId.isEmpty() ? name : historyId; }

    MonitorFields fields;
    CpuStatus status;
    CpuView view;
    std::optional<double> cpuSeconds; // on the unit in hand, as last read
    QMap<int, quint64> failureCounts; // code -> readings that failed with it
    int lastFailureCode = 0; // of the latest reading, 0 when it succeeded

    // The folder as the record keeps it: with a separator at the end.
    static QString NormalisedPath(const QString &path);
    // A download's start as kept in the CPU's settings section (ISO 8601, UTC); 0: none.
    static QString DownloadStartedText(qint64 utcMs);
    static qint64 DownloadStartedFromText(const QString &text);
    // Takes back a download that was being timed when the program last ran: the watch goes on
    // from its real start instead of starting again at the next reading.
    void resumeDownload(qint64 sinceUtcMs);
};

// Everything one reading needs besides the CPU and its files.
struct ReadingContext
{
    qint16 alarmMinutes = 5;
    UpdateClock clock;
    double shownDownloaded = 0; // the status bar's account counts
    double shownUploaded = 0;
};

// Everything that follows from one reading.
struct ReadingOutcome
{
    UpdateResult result; // what the window shows next, the totals' share, the interpreter's log
    LogEntries log; // the log's entries, with their CPU and kind
    CpuState stateBefore = CpuState::Unknown;
    bool playAlarm = false;
    bool downloadStartChanged = false; // the start kept in the CPU's settings must be written
};

// Applies one reading of the CPU's folder to its record.
ReadingOutcome ApplyReading(Cpu &cpu, const ClientSnapshot &files, const ReadingContext &context);
