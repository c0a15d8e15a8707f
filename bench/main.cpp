#include "Benchmark.h"
#include "ComponentClient.h"
#include "SendfileClient.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

// Usage: filesend_bench [--smoke]. The clients it starts are this program again with a
// sub-command, so that each upload runs in a process of its own.
int main(int argc, char *argv[])
{
    const char *command = argc > 1 ? argv[1] : "";
    if (std::strcmp(command, "component") == 0)
        return ComponentClient::main(argc, argv);
    if (std::strcmp(command, "sendfile") == 0)
        return SendfileClient::main(argc, argv);
    const bool smoke = std::strcmp(command, "--smoke") == 0;
    if (argc > 2 || (argc == 2 && !smoke)) {
        std::fprintf(stderr, "usage: %s [--smoke]\n", argv[0]);
        return 2;
    }
    QCoreApplication application(argc, argv);
    return Benchmark(smoke ? Benchmark::Mode::Smoke : Benchmark::Mode::Full).run();
}
