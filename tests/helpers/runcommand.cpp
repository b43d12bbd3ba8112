// runcommand COUNT EXPECTED COMMAND: runs COMMAND through the command runner COUNT times and
// checks that each run gives 0 and the output EXPECTED. Exits 0 when all did, 1 otherwise.
#include "Common/Windows/CommandLine.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: runcommand COUNT EXPECTED COMMAND\n");
        return 87;
    }
    const int count = QString::fromLocal8Bit(argv[1]).toInt();
    const QString expected = QString::fromLocal8Bit(argv[2]);
    const QString command = QString::fromLocal8Bit(argv[3]);
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        QString output;
        const auto code = Korvel::DisplayCalibration::Common::Windows::CommandLine::Run(command, false, output);
        if (code != 0 || output != expected) {
            std::printf("run %d: code %u, output \"%s\"\n", i, code, qPrintable(output));
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
