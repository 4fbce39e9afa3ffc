#pragma once

#include <QString>

// The text that goes into the log for one message, and the size rule, kept apart from the window.
// Lengths count every line break of the log as the two characters CR LF.
namespace MessageLog {
constexpr qsizetype TrimAbove = 25000;
constexpr qsizetype KeepLast = 5000;
// The caller's text without leading and trailing spaces, then CR LF.
QString Entry(const QString &sMessage);
// How many characters to cut from the front of a log of this length before the next append.
qsizetype CharsToCut(qsizetype length);
} // namespace MessageLog
