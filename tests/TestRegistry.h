#pragma once

#include <QObject>

#include <functional>
#include <map>
#include <memory>
#include <string>

// One executable holds every test class; ctest runs each class by name.
namespace TestRegistry {

using Factory = std::function<std::unique_ptr<QObject>()>;
std::map<std::string, Factory> &classes();

struct Entry
{
    Entry(const char *name, Factory factory) { classes().emplace(name, std::move(factory)); }
};

} // namespace TestRegistry

#define FILESEND_TEST(Class, name) \
    static const TestRegistry::Entry registered##Class(name, [] { return std::make_unique<Class>(); });
