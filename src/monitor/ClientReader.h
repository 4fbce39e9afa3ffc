#pragma once

#include <QString>

// One client text file as read: its text, or the failure code of opening or reading it.
struct ClientFile {
    QString text; // every byte as one character (Latin-1), nothing converted
    int error = 0; // Failure code; 0 when read
    QString detail; // a sentence for the log when the code alone would not explain the failure
};

// The three files of one client directory, read at one moment.
struct ClientSnapshot {
    ClientFile state; // "State.txt"
    ClientFile user; // "User_Info.txt"
    int wtempError = 0; // 0 when "wtemp.txt" exists as a file; else the code a length query fails with
    qint64 wtempLength = 0;

    bool wtempExists() const { return wtempError == 0; }
};

// Reads a client directory without ever writing to it. Pure: no widgets, settings or globals, so it
// may run on any thread.
class ClientReader
{
public:
    static constexpr qint64 MaxFileSize = 1024 * 1024;
    static const QString StateFile;
    static const QString UserFile;
    static const QString WtempFile;

    // dir ends with a separator (or is used as given when it does not).
    static ClientSnapshot Read(const QString &dir);

private:
    class Directory;
    static ClientFile readText(Directory &dir, int index);
};
