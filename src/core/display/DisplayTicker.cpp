#include "display/DisplayTicker.h"

#include "settings/Conv.h"
#include "shared/bksPublicModule.h"

#include <utility>

namespace {

constexpr qint16 MaxScrollInterval = 30000;
constexpr qint16 DefaultScrollInterval = 5;

} // namespace

DisplayTicker::DisplayTicker(ViewSource source)
    : m_source(std::move(source))
{
}

bool DisplayTicker::Qualifies(const WindowView &view)
{
    return view.isCpuWindow && view.putOnDisplay.value_or(false);
}

bool DisplayTicker::Tick(qint16 scrollInterval)
{
    // A tick that starts inside another one leaves, unless Update Now asked for it.
    if (m_busy && !m_updateNow)
        return false;
    m_busy = true;
    bool changed = false;
    if (m_tickCount < scrollInterval && !m_updateNow) {
        ++m_tickCount;
    } else {
        m_tickCount = 0;
        m_updateNow = false;
        changed = changeCPU();
    }
    m_busy = false;
    return changed;
}

bool DisplayTicker::changeCPU()
{
    const QList<WindowView> views = m_source ? m_source() : QList<WindowView>();
    auto qualifiesAt = [&views](qsizetype i) { return i >= 0 && i < views.size() && Qualifies(views.at(i)); };

    // A long list is searched to its end: CPUs past the first few hundred are shown too.
    const qsizetype last = qMax<qsizetype>(LastScanPosition, views.size());
    while (!qualifiesAt(m_scanPosition)) {
        ++m_scanPosition;
        if (m_scanPosition > last)
            break;
    }
    bool changed = false;
    if (m_scanPosition < last) {
        const WindowView &view = views.at(m_scanPosition);
        if (view.percentText)
            m_percent = *view.percentText;
        m_name = view.caption;
        m_state = view.stateWords;
        m_cpuState = view.state;
        changed = true;
    }
    ++m_scanPosition;
    if (m_scanPosition >= views.size())
        m_scanPosition = 0;
    return changed;
}

QString DisplayTicker::Line(const QString &name, const QString &stateWords)
{
    return stateWords.isEmpty() ? name : name + QStringLiteral(" \u2013 ") + stateWords;
}

std::optional<qint16> ScrollIntervalFromReply(const QString &reply)
{
    if (bksPublicModule::IsBlank(reply))
        return std::nullopt;
    const double v = Conv::Val(reply);
    if (v > MaxScrollInterval || v < 0)
        return DefaultScrollInterval;
    return Conv::Int16FromDouble(v).value_or(DefaultScrollInterval);
}

QString DisplayTicker::FitLine(
    const QString &name, const QString &stateWords, int room, const std::function<int(const QString &)> &width)
{
    QString line = Line(name, stateWords);
    for (qsizetype n = stateWords.size() - 1; n >= 0 && width(line) > room; --n)
        line = n == 0 ? name : Line(name, stateWords.left(n).trimmed() + QChar(0x2026));
    return line;
}
