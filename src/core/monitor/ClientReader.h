#pragma once

#include <QString>

// One client text file as read: its text, or the failure code of opening or reading it.
struct ClientFile
{
    QString text; // every byte as one character (Latin-1), nothing converted
    int error = 0; // Failure code; 0 when read
    QString detail; // a sentence for the log when the code alone would not explain the failure
};

// The three files of one client directory, read at one moment.
struct ClientSnapshot
{
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
    // What a folder that does not answer gives: every file "Path not found".
    static ClientSnapshot Unreachable();

    // One of the three calls of a reading, under the file's name exactly as written, so that the
    // three can run at once on a slow share. Combine puts them together as Read would have read
    // them, or says that Read must run after all (a name needs the folder listed).
    enum Part { State, User, Wtemp, PartCount };
    struct PartResult
    {
        ClientFile file; // the text, or the code of Wtemp's length query
        qint64 length = 0; // Wtemp's length
        bool opened = false; // State and User: the file was opened
        bool missing = false; // no entry of that exact name
    };
    static PartResult ReadPart(const QString &dir, Part part);
    static bool Combine(const PartResult (&parts)[PartCount], ClientSnapshot &out);

private:
    class Directory;
    static ClientFile readText(Directory &dir, int index);
};
