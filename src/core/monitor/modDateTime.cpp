#include "monitor/modDateTime.h"

#include <charconv>
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

    // Built as Latin-1 text in one buffer: the update shows this for every CPU of every cycle.
    char buffer[256];
    char *out = buffer;
    auto put = [&out](const char *text) {
        while (*text)
            *out++ = *text++;
    };
    for (int i = 0; i < 6; ++i) {
        if (!(counts[i] > 0))
            continue;
        // Below 2^31 years (checked above) and below the next unit otherwise: a whole number.
        out = std::to_chars(out, buffer + sizeof buffer, qint64(counts[i])).ptr;
        put(counts[i] == 1 ? Units[i].singular : Units[i].plural);
        for (int j = i + 1; j < 6; ++j) {
            if (counts[j] >= 1) {
                put(", ");
                break;
            }
        }
    }
    *out++ = '.';
    return QString::fromLatin1(QByteArrayView(buffer, out - buffer));
}

} // namespace modDateTime
