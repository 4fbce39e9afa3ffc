#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

// One set of option values: what the program runs with, and the copy the Options dialog edits.
struct OptionValues
{
    qint16 MonitorInterval = 0; // seconds between update cycles (ticks of the 1 s timer)
    qint16 AlarmInterval = 0; // minutes a download may take before the alarm
    QString AlarmSound; // wave file played by the alarm
    bool SoundsOn = false;
    bool Scroll = false; // show the scrolling display when the main window is minimised
    qint16 ScrollInterval = 0; // seconds between CPUs on the scrolling display
    bool StartMinimized = false;
    bool DisplayTopMost = false;
    bool Notifications = false; // desktop notifications when a CPU needs attention or recovers

    bool operator==(const OptionValues &o) const;
    bool operator!=(const OptionValues &o) const { return !(*this == o); }
};

// An option as the settings store keeps it (in the "AppSettings" section).
struct OptionKey
{
    enum Type { Int16, Bool, Text };
    QString name;
    Type type = Int16;
    QString defaultValue; // as stored; the alarm sound's default is the installed sound
    int min = 0; // whole numbers outside min..max load as the default
    int max = 0;
    qint16 OptionValues::*int16 = nullptr;
    bool OptionValues::*boolean = nullptr;
    QString OptionValues::*text = nullptr;
};

// The program's options: one object, handed to whoever needs them, that says when one changes.
class Options : public QObject
{
    Q_OBJECT
public:
    explicit Options(QObject *parent = nullptr);

    // Every option, in the order the store keeps them.
    static const std::vector<OptionKey> &Keys();

    qint16 monitorInterval() const { return m_values.MonitorInterval; }
    qint16 alarmInterval() const { return m_values.AlarmInterval; }
    QString alarmSound() const { return m_values.AlarmSound; }
    bool soundsOn() const { return m_values.SoundsOn; }
    bool scroll() const { return m_values.Scroll; }
    qint16 scrollInterval() const { return m_values.ScrollInterval; }
    bool startMinimized() const { return m_values.StartMinimized; }
    bool displayTopMost() const { return m_values.DisplayTopMost; }
    bool notifications() const { return m_values.Notifications; }

    const OptionValues &values() const { return m_values; }
    // Takes every value of the set; changed() names each one that differs.
    void setValues(const OptionValues &values);
    void update(const std::function<void(OptionValues &)> &change);
    void setScrollInterval(qint16 seconds);
    void setDisplayTopMost(bool on);

Q_SIGNALS:
    void changed(const QString &key);

private:
    OptionValues m_values;
};

namespace modTavrik {

// Reads the options; a value that does not convert leaves its member as it was.
void LoadOptions(Options &options);
// Writes the Author section and the options; false when the store could not be written.
bool SaveOptions(const Options &options);

// The folder holding the program's own files (sounds, ReadMe.htm), with a trailing separator:
// the executable's folder, or the installed data folder beside it.
QString ProgramFolder();
// The alarm sound to use for a stored one: a stored file that is gone, and that was the default
// sound or lay in a build folder (a settings file first written by a build run keeps pointing
// there after the program is installed), gives way to the installed sound when that exists.
QString AlarmSoundOrInstalled(const QString &stored, const QString &installed);
QString ProgramVersion(); // "1.0.0"

} // namespace modTavrik
