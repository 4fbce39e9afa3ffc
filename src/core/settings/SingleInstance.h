#pragma once

#include <QString>

#include <memory>

class QLockFile;

// One running copy per user. The lock dies with its process, so a killed copy never blocks the
// next start.
class SingleInstance
{
public:
    // lockDir defaults to the user's runtime directory (the temporary directory without one).
    explicit SingleInstance(const QString &lockDir = QString());
    ~SingleInstance();

    bool tryAcquire(); // false when another live copy holds the lock
    // Where the running copy listens for a second start: one name per user and settings file, in
    // the user's runtime directory when there is one.
    static QString ChannelName();
    QString lockFilePath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};
