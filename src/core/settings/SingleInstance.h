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
    QString lockFilePath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};
