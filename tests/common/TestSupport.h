#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

// Points the settings store at a fresh temporary directory for as long as it lives, so a test
// never touches the real user's settings, and resets the fake clock (and scripted answers).
class IsolatedSettings
{
public:
    IsolatedSettings();
    ~IsolatedSettings();
    QString configFile() const; // the INI file the store writes
    QString dir() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_dataHome;
};

// Writes a text file (creating its directory); returns false on failure.
bool WriteTextFile(const QString &path, const QByteArray &content);

class QObject;

// Registers a test class with the folder's test program; every registered class is run.
// Usage at the end of a test file:  TAVRIK_TEST(MyTest)
namespace TestRegistry {
using Factory = QObject *(*)();
bool Add(const char *name, Factory factory);
// A scenario a test runs in a child process of its own: "<test program> --child <name> args...".
using Child = int (*)(const QStringList &args);
bool AddChild(const char *name, Child child);
} // namespace TestRegistry

#define TAVRIK_TEST(Class)                                                                                             \
    static const bool Class##_registered = TestRegistry::Add(#Class, []() -> QObject * { return new Class; });
