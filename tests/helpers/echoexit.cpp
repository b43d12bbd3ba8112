// echoexit [--sleep=MS] [--elevation] CODE [TEXT...]: prints each TEXT on a line of its own (on
// standard error when it starts with "--stderr="), then exits with CODE. --elevation first prints
// "elevated" or "not elevated"; --sleep waits before printing.
#include "WindowsStandIn/Machine.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

int main(int argc, char* argv[])
{
    int i = 1;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0 && std::strncmp(argv[i], "--stderr=", 9) != 0; ++i) {
        if (std::strncmp(argv[i], "--sleep=", 8) == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[i] + 8)));
        } else if (std::strcmp(argv[i], "--elevation") == 0) {
            std::printf("%s\n", WinSim::IsElevated() ? "elevated" : "not elevated");
        }
    }
    if (i >= argc) {
        std::fprintf(stderr, "usage: echoexit [--sleep=MS] [--elevation] CODE [TEXT...]\n");
        return 87;
    }
    const int code = std::atoi(argv[i++]);
    for (; i < argc; ++i) {
        if (std::strncmp(argv[i], "--stderr=", 9) == 0) {
            std::fflush(stdout);
            std::fprintf(stderr, "%s\n", argv[i] + 9);
            std::fflush(stderr);
        } else {
            std::printf("%s\n", argv[i]);
        }
    }
    return code;
}
