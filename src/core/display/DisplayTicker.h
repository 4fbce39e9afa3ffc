#pragma once

#include "monitor/CpuStatus.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

// What the display can read from one loaded window. A member the window does not have is empty:
// such a window is passed over, and a missing percentage leaves the shown one as it was.
struct WindowView
{
    bool isCpuWindow = false;
    std::optional<bool> putOnDisplay;
    std::optional<QString> percentText;
    QString caption;
    QString stateWords; // the CPU's state when it needs saying ("stalled"), else empty
    CpuState state = CpuState::Unknown;
};

// The display's tick counting and its choice of the next CPU, kept apart from any widget.
class DisplayTicker
{
public:
    // Gives the loaded windows in load order. Asked only on ticks that change the CPU.
    using ViewSource = std::function<QList<WindowView>()>;

    // The search gives up once the scan position passes this, or the end of a longer list.
    static constexpr qint16 LastScanPosition = 500;

    explicit DisplayTicker(ViewSource source);

    // One tick. scrollInterval is the number of quiet ticks between changes. Returns true when
    // the shown texts were replaced.
    bool Tick(qint16 scrollInterval);
    // The next tick changes CPU at once, even one that starts while another tick is running.
    void RequestUpdateNow() { m_updateNow = true; }

    QString shownPercent() const { return m_percent; }
    QString shownName() const { return m_name; }
    // The name with the state in words after it, as the display's second label shows it.
    QString shownLine() const { return Line(m_name, m_state); }
    QString shownWords() const { return m_state; }
    CpuState shownState() const { return m_cpuState; }
    static QString Line(const QString &name, const QString &stateWords);
    // The line for a label room pixels wide as width measures texts: the name always whole, the
    // state words cut at their end with "…" when the whole line does not fit.
    static QString FitLine(
        const QString &name, const QString &stateWords, int room, const std::function<int(const QString &)> &width);

    qint16 tickCount() const { return m_tickCount; }
    qsizetype scanPosition() const { return m_scanPosition; }
    bool isBusy() const { return m_busy; }
    bool updateNowPending() const { return m_updateNow; }

    static bool Qualifies(const WindowView &view);

private:
    bool changeCPU();

    ViewSource m_source;
    QString m_percent;
    QString m_name;
    QString m_state;
    CpuState m_cpuState = CpuState::Unknown;
    qint16 m_tickCount = 0;
    qsizetype m_scanPosition = 0;
    bool m_busy = false;
    bool m_updateNow = false;
};

// The scroll interval a reply to "Update Interval..." asks for; empty when it changes nothing.
std::optional<qint16> ScrollIntervalFromReply(const QString &reply);
