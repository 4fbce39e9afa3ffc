#pragma once

#include "monitor/ClientReader.h"

#include <QStringList>

#include <optional>

// The readings a CPU window keeps from one update to the next.
struct MonitorFields
{
    float Percent = 0;
    float LastPercent = 0;
    float DownloadPercent = 0;
    qint32 DownloadStart = 0; // seconds since midnight when the download timing began; 0: none
    bool downloadNoticeRed = false; // the download panel's caption shows a failure notice
    float barPercent = 0; // ProgressBar1's value, 0 to 100
};

// The moment of one update: seconds since local midnight and the date text shown in the log.
// User-interface thread only: the text is formatted once per second, however many CPUs read then.
struct UpdateClock
{
    double seconds = 0;
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
    double clock = 0; // seconds since local midnight
    QString date; // the current date and time as shown to the user
    double shownDownloaded = 0; // the status bar's account counts (leading numbers of its texts)
    double shownUploaded = 0;
};

// Everything one update changes. Unset members leave the window as it is.
struct UpdateResult
{
    QStringList log; // message-log texts, in order
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
    bool playAlarm = false;
    bool downloadWatched = false; // the client waits for a new work unit and its download is timed

    std::optional<double> cpuSeconds; // this CPU's share of the status bar's current time
    std::optional<QString> downloaded; // status-bar account figures, only when this CPU leads
    std::optional<QString> uploaded;
    std::optional<QString> totalTimeText;
};

// Turns the client's files and the window's last readings into what the window shows next,
// including the download watch and every log text. No I/O, no widgets.
class StatsInterpreter
{
public:
    static constexpr double FullDownloadBytes = 360448.0; // 352 KiB: a whole work unit
    static constexpr int SecondsPerDay = 86400;

    static UpdateResult Run(const UpdateInput &in);

    // The percentage as lblPercent shows it: at most seven significant digits, user's locale, "%".
    static QString PercentText(float value);
};
