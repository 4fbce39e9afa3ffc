#include "common/TestSupport.h"

#ifdef TAVRIK_TEST_GUI
#include <QApplication>
using Application = QApplication;
#else
#include <QCoreApplication>
using Application = QCoreApplication;
#endif
#include <QSettings>
#include <QTest>

#include <memory>
#include <utility>
#include <vector>

namespace {

std::vector<std::pair<const char *, TestRegistry::Factory>> &classes()
{
    static std::vector<std::pair<const char *, TestRegistry::Factory>> c;
    return c;
}

std::vector<std::pair<const char *, TestRegistry::Child>> &children()
{
    static std::vector<std::pair<const char *, TestRegistry::Child>> c;
    return c;
}

} // namespace

bool TestRegistry::AddChild(const char *name, Child child)
{
    children().emplace_back(name, child);
    return true;
}

bool TestRegistry::Add(const char *name, Factory factory)
{
    classes().emplace_back(name, factory);
    return true;
}

// Runs every registered test class; the exit code counts the classes that failed.
int main(int argc, char *argv[])
{
    Application app(argc, argv);
#ifdef Q_OS_WIN
    // The native store is the registry, which no path redirects: tests and their children use
    // INI files, which IsolatedSettings and the tests point at temporary folders.
    QSettings::setDefaultFormat(QSettings::IniFormat);
#endif
    Application::setOrganizationName(QStringLiteral("Brakmere"));
    Application::setApplicationName(QStringLiteral("Tavrik"));
    const QStringList args = Application::arguments();
    if (args.size() > 2 && args.at(1) == QLatin1String("--child")) {
        for (const auto &[name, child] : children())
            if (args.at(2) == QLatin1String(name))
                return child(args.mid(3));
        return 127;
    }
    int failed = 0;
    // One class alone, for a run under other conditions (another scale).
    const QByteArray only = qgetenv("TAVRIK_TEST_CLASS");
    for (const auto &[name, factory] : classes()) {
        if (!only.isEmpty() && only != name)
            continue;
        std::unique_ptr<QObject> test(factory());
        if (QTest::qExec(test.get(), argc, argv) != 0)
            ++failed;
    }
    return failed;
}
