#include "TestRegistry.h"

#include <QApplication>
#include <QTest>

#include <cstdio>

std::map<std::string, TestRegistry::Factory> &TestRegistry::classes()
{
    static std::map<std::string, Factory> registry;
    return registry;
}

// Usage: filesend_tests CLASS [QtTest arguments]
int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const auto &classes = TestRegistry::classes();
    const auto found = argc > 1 ? classes.find(argv[1]) : classes.end();
    if (found == classes.end()) {
        std::fprintf(stderr, "usage: %s CLASS [QtTest arguments]; classes:", argv[0]);
        for (const auto &entry : classes)
            std::fprintf(stderr, " %s", entry.first.c_str());
        std::fprintf(stderr, "\n");
        return 2;
    }
    const std::unique_ptr<QObject> test = found->second();
    argv[1] = argv[0];
    return QTest::qExec(test.get(), argc - 1, argv + 1);
}
