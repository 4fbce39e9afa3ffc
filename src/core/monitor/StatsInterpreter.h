#pragma once

#include "log/LogEntry.h"
#include "monitor/ClientReader.h"

#include <QStringList>

#include <optional>

// The readings a CPU window keeps from one update to the next.
struct MonitorFields
{
    float Percent = 0;
    float LastPercent = 0;
    float DownloadPercent = 0;
    // Real time (UTC milliseconds since the epoch), so a change of the clocks or midnight moves
    // no alarm. 0: not set.
    qint64 DownloadStart = 0; // where the alarm's timing counts from; begins again at each alarm
    bool downloadNoticeRed = false; // the download panel's caption shows a failure notice
    float barPercent = 0; // ProgressBar1's value, 0 to 100
    qint64 downloadSince = 0; // when the client began to wait for this unit; kept across alarms
};

// The moment of one update: real time and the date text shown in the log. User-interface thread
// only: the text is formatted once per second, however many CPUs read then.
struct UpdateClock
{
    qint64 utcMs = 0; // milliseconds since the epoch
    QString date;
    static UpdateClock Now();
};

// Everything one update looks at.
struct UpdateInput
{
    QString name; // CPUName
    QString path; // CPUPath, ending with a separator
    ClientSnapshot files;
    MonitorFields fields;
    qint16 alarmInterval = 5; // minutes
    qint64 now = 0; // UTC milliseconds since the epoch
    QString date; // the current date and time as shown to the user
    double shownDownloaded = 0; // the status bar's account counts (leading numbers of its texts)
    double shownUploaded = 0;
};

// Everything one update changes. Unset members leave the window as it is.
struct UpdateResult
{
    struct Line
    {
        QString text;
        LogKind kind;
    };
    QList<Line> log; // message-log texts, in order
    QStringList texts() const; // the log's texts alone
    MonitorFields fields; // the window's readings afterwards (the download caption's colour included)
    int failure = 0; // the failure code that ended the update, 0 when it succeeded

    std::optional<bool> percentRed; // lblPercent red (stalled) or blue (moving)
    std::optional<QString> percentText; // lblPercent
    std::optional<bool> downloadingVisible; // picDownloading
    std::optional<QString> downloadCaption; // Label3
    std::optional<QString> cpuTimeText; // lblTime
    std::optional<QString> unitNumberText; // lblPackage
    std::optional<QString> downloadedText; // lblPackageDown
    std::optional<QString> uploadedText; // lblPackageUp
    bool playAlarm = false; // the download watch found the download late
    bool downloadWatched = false; // the download watch ran: the client is waiting for a new unit

    std::optional<double> cpuSeconds; // this CPU's share of the status bar's current time
    std::optional<QString> downloaded; // status-bar account figures, only when this CPU leads
    std::optional<QString> uploaded;
    std::optional<QString> totalTimeText;
    std::optional<double> totalSeconds; // the seconds behind totalTimeText
};

// Turns the client's files and the window's last readings into what the window shows next,
// including the download watch and every log text. No I/O, no widgets.
class StatsInterpreter
{
public:
    static constexpr double FullDownloadBytes = 360448.0; // 352 KiB: a whole work unit

    static UpdateResult Run(const UpdateInput &in);

    // The percentage as lblPercent shows it: at most seven significant digits, user's locale, "%".
    static QString PercentText(float value);
};
