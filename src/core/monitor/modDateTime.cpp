#include "monitor/modDateTime.h"

#include <cmath>

namespace modDateTime {

namespace {

    struct Unit
    {
        double length;
        const char *singular;
        const char *plural;
    };

    constexpr Unit Units[] = {
        { 31622400.0, " year", " years" }, // 366 days
        { 2635200.0, " month", " months" }, // a twelfth of that year
        { 86400.0, " day", " days" },
        { 3600.0, " hour", " hours" },
        { 60.0, " minute", " minutes" },
        { 1.0, " second", " seconds" },
    };

} // namespace

QString SecondsToText(double seconds)
{
    // NaN compares false everywhere below and would give ".", which is what it means: no duration.
    if (seconds / Units[0].length > 2147483647.0001)
        return QStringLiteral("Number Of Seconds Is Too Large.");

    double counts[6] = {};
    double rest = seconds;
    for (int i = 0; i < 6; ++i) {
        const double c = std::trunc(rest / Units[i].length);
        counts[i] = std::isfinite(c) ? c : 0.0;
        rest -= counts[i] * Units[i].length;
    }

    QString text;
    for (int i = 0; i < 6; ++i) {
        if (!(counts[i] > 0))
            continue;
        text += QString::number(counts[i], 'f', 0);
        text += QLatin1String(counts[i] == 1 ? Units[i].singular : Units[i].plural);
        for (int j = i + 1; j < 6; ++j) {
            if (counts[j] >= 1) {
                text += QLatin1String(", ");
                break;
            }
        }
    }
    return text + u'.';
}

} // namespace modDateTime
