#pragma once

#include <QRect>
#include <QString>

// Every section, key and default the program keeps in its settings store. Windows use these names
// and never spell a key themselves.
namespace Schema {

inline const QString Organisation = QStringLiteral("Brakmere");
inline const QString Application = QStringLiteral("Tavrik");

// Sections
inline const QString AppSettings = QStringLiteral("AppSettings");
inline const QString Author = QStringLiteral("Author");
inline const QString Message = QStringLiteral("Message");
inline const QString SDisplay = QStringLiteral("SDisplay");
inline const QString MainWindow = QStringLiteral("mfrmTavrik");
inline const QString Overview = QStringLiteral("frmOverview");

// Option keys in AppSettings
inline const QString MonitorInterval = QStringLiteral("MonitorInterval");
inline const QString AlarmInterval = QStringLiteral("AlarmInterval");
inline const QString AlarmSound = QStringLiteral("AlarmSound");
inline const QString SoundsOn = QStringLiteral("SoundsOn");
inline const QString Scroll = QStringLiteral("Scroll");
inline const QString ScrollInterval = QStringLiteral("ScrollInterval");
inline const QString StartMinimized = QStringLiteral("StartMinimized");
inline const QString DisplayTopMost = QStringLiteral("DisplayTopMost");
inline const QString Notifications = QStringLiteral("Notifications"); // desktop notifications of CPU states

// Other AppSettings keys
inline const QString CPUs = QStringLiteral("CPUs");
inline const QString TotalCPUs = QStringLiteral("TotalCPUs");
inline const QString MessageWindow = QStringLiteral("MessageWindow");
inline const QString DefaultAllowUpdates = QStringLiteral("DefaultAllowUpdates");
inline const QString DefaultPutOnDisplay = QStringLiteral("DefaultPutOnDisplay");
inline const QString DefaultSCTop = QStringLiteral("DefaultSCTop");
inline const QString DefaultSCLeft = QStringLiteral("DefaultSCLeft");
inline const QString DefaultSCWidth = QStringLiteral("DefaultSCWidth");
inline const QString DefaultSCHeight = QStringLiteral("DefaultSCHeight");
inline const QString SplashTime = QStringLiteral("SplashTime");
inline const QString ETPhoneHome = QStringLiteral("ETPhoneHome");
inline const QString SetiAtHome = QStringLiteral("Seti@Home");

// Author section
inline const QString WrittenBy = QStringLiteral("Written By");
inline const QString Company = QStringLiteral("Company");
inline const QString HomeUrl = QStringLiteral("HomeUrl");

// A CPU's own section, and the hand-over sections "0", "1", ...
inline const QString CPUPath = QStringLiteral("CPUPath");
inline const QString CPUName = QStringLiteral("CPUName");
inline const QString WindowState = QStringLiteral("WindowState");
inline const QString AllowUpdates = QStringLiteral("AllowUpdates");
inline const QString PutOnDisplay = QStringLiteral("PutOnDisplay");
// While the client waits for a new unit: when that began (ISO 8601, UTC), so a restart goes on timing.
inline const QString DownloadStarted = QStringLiteral("DownloadStarted");

// Placement keys of every window section
inline const QString Top = QStringLiteral("Top");
inline const QString Left = QStringLiteral("Left");
inline const QString Width = QStringLiteral("Width");
inline const QString Height = QStringLiteral("Height");
inline const QString Caption = QStringLiteral("Caption");

// Defaults as the store's texts
inline const QString BoolTrue = QStringLiteral("-1");
inline const QString BoolFalse = QStringLiteral("0");
inline const QString DefaultMonitorInterval = QStringLiteral("30");
inline const QString DefaultAlarmInterval = QStringLiteral("5");
inline const QString DefaultScrollInterval = QStringLiteral("5");
inline const QString DefaultSplashTime = QStringLiteral("5");
inline const QString DefaultSCTopValue = QStringLiteral("105");
inline const QString DefaultSCLeftValue = QStringLiteral("105");
inline const QString DefaultSCWidthValue = QStringLiteral("4725");
inline const QString DefaultSCHeightValue = QStringLiteral("1590");
inline const QString AlarmFileName = QStringLiteral("log.wav");

// Placement defaults in twips: QRect(left, top, width, height)
inline const QRect MainWindowPlacement(105, 105, 10605, 6000);
inline const QRect MessagePlacement(105, 105, 4470, 1560);
inline const QRect DisplayPlacement(300, 55, 2970, 255);
inline const QRect OverviewPlacement(1500, 7500, 15600, 5700);

// Product data written to the Author section and used by the Help menu
inline const QString AuthorName = QStringLiteral("The Tavrik developers");
inline const QString CompanyName = QStringLiteral("Brakmere");
inline const QString ProductHomeUrl = QStringLiteral("https://tavrik.brakmere.org/");
inline const QString SetiWebSite = QStringLiteral("https://setiathome.berkeley.edu/");

// The built-in CPU of a first run
inline const QString DefaultCPUName = QStringLiteral("This Computer");
QString DefaultCPUPath();
// The path proposed for a CPU reached over the network by its machine's name
QString NetworkCPUPath(const QString &machineName);

} // namespace Schema
