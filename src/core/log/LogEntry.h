#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// What a log text tells of: a step of a reading, a failure (and its explanations), the download
// alarm, or a note of the program's own (a CPU loaded, a file saved).
enum class LogKind { Reading, Failure, Alarm, Note };

// One log text as its maker gave it: the views decide on the kind and the CPU, never on the words.
struct LogEntry
{
    QString text;
    LogKind kind = LogKind::Note;
    quint64 cpu = 0; // the CPU's key; 0: none
    QString cpuName;
    int code = 0; // the failure code of a Failure entry
    QDateTime at; // when it was written (UTC)

    bool isFailure() const { return kind == LogKind::Failure || kind == LogKind::Alarm; }
};

using LogEntries = QList<LogEntry>;
