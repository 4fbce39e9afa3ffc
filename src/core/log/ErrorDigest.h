#pragma once

#include "log/LogEntry.h"

#include <QHash>
#include <QStringList>

#include <deque>

// The errors-only view of the log: every failure and alarm, with its time and its CPU. A CPU that
// keeps failing the same way, with no good reading in between, keeps one line that counts the
// repeats and gives the first and last time, so one dead share does not bury everything else.
class ErrorDigest
{
public:
    static constexpr int LinesKept = 5000;

    // The log's entries in the order they were written; one reading's entries come together.
    // True when the lines changed.
    bool add(const LogEntries &entries);
    QStringList lines() const;

private:
    struct Line
    {
        quint64 serial = 0;
        QString cpuName;
        QString text;
        QDateTime first;
        QDateTime last;
        int count = 1;
    };
    void append(Line line);
    static QString render(const Line &line);

    std::deque<Line> m_lines;
    quint64 m_nextSerial = 1;
    struct Open
    {
        quint64 serial;
        int code;
    };
    QHash<quint64, Open> m_open; // CPU -> its line that repeats may still fold into
};
