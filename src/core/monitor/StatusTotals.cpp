#include "monitor/StatusTotals.h"

#include "monitor/modDateTime.h"
#include "settings/Conv.h"

#include <algorithm>
#include <cmath>

void StatusTotals::resetCurrent()
{
    m_contributions.clear();
}

void StatusTotals::setContribution(const void *cpu, double seconds)
{
    auto it = std::find_if(m_contributions.begin(), m_contributions.end(),
        [cpu](const QPair<const void *, double> &c) { return c.first == cpu; });
    if (it != m_contributions.end())
        it->second = seconds;
    else
        m_contributions.append({ cpu, seconds });
    setText(m_currentTime, modDateTime::SecondsToText(currentSeconds()));
}

double StatusTotals::currentSeconds() const
{
    double sum = 0;
    for (const auto &c : m_contributions)
        sum += c.second;
    return sum;
}

QString StatusTotals::currentTimeText() const
{
    return m_currentTime;
}

void StatusTotals::setDownloaded(const QString &text)
{
    m_downloadedCount = Conv::Val(text);
    setText(m_downloaded, text);
}

void StatusTotals::setUploaded(const QString &text)
{
    m_uploadedCount = Conv::Val(text);
    setText(m_uploaded, text);
}

void StatusTotals::setTotalTimeText(const QString &text)
{
    setText(m_totalTime, text);
}

bool StatusTotals::Leads(
    const QString &shownDownloaded, const QString &shownUploaded, const QString &downloaded, const QString &uploaded)
{
    return Leads(Conv::Val(shownDownloaded), Conv::Val(shownUploaded), Conv::Val(downloaded), Conv::Val(uploaded));
}

bool StatusTotals::Leads(double shownDownloaded, double shownUploaded, double downloaded, double uploaded)
{
    // An account file claiming an infinite count would lead for the rest of the session.
    if (!std::isfinite(downloaded) || !std::isfinite(uploaded))
        return false;
    return shownDownloaded < downloaded || shownUploaded < uploaded;
}

void StatusTotals::setText(QString &field, const QString &text)
{
    if (field == text)
        return;
    field = text;
    Q_EMIT changed();
}
