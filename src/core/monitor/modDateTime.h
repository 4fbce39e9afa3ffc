#pragma once

#include <QString>

namespace modDateTime {

// A number of seconds as English text, e.g. 12345 -> "3 hours, 25 minutes, 45 seconds.".
QString SecondsToText(double seconds);

} // namespace modDateTime
