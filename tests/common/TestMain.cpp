#include "common/TestSupport.h"

#ifdef TAVRIK_TEST_GUI
#include <QApplication>
using Application = QApplication;
#else
#include <QCoreApplication>
using Application = QCoreApplication;
#endif
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

} // namespace

bool TestRegistry::Add(const char *name, Factory factory)
{
    classes().emplace_back(name, factory);
    return true;
}

// Runs every registered test class; the exit code counts the classes that failed.
int main(int argc, char *argv[])
{
    Application app(argc, argv);
    Application::setOrganizationName(QStringLiteral("Brakmere"));
    Application::setApplicationName(QStringLiteral("Tavrik"));
    int failed = 0;
    for (const auto &[name, factory] : classes()) {
        std::unique_ptr<QObject> test(factory());
        if (QTest::qExec(test.get(), argc, argv) != 0)
            ++failed;
    }
    return failed;
}
