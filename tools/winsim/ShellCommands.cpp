// winsim cmd and winsim schtasks: the command interpreter behind ShellExecuteExW and the task tool.
#include "tools/winsim/Command.h"

#include "WindowsStandIn/Batch.h"
#include "WindowsStandIn/Machine.h"

#include <cstdio>

namespace {

using namespace Winsim;

int Cmd(QStringList args)
{
    if (args.size() != 2 || args[0].compare(QLatin1String("/c"), Qt::CaseInsensitive) != 0) {
        throw UsageError{QStringLiteral("cmd needs /c FILE")};
    }
    const int code = WinSim::RunBatchFile(args[1]);
    std::fflush(stdout);
    return code;
}

// Knows no tasks yet: every query, creation and deletion finds nothing.
int SchTasks(QStringList args)
{
    WinSim::Journal(QStringLiteral("schtasks"), args.join(' '));
    std::fputs("ERROR: The system cannot find the file specified.\r\n", stderr);
    return 1;
}

const bool registered =
    RegisterCommand(QStringLiteral("cmd"), QStringLiteral("cmd /c FILE"),
                    QStringLiteral("runs a batch file as the command interpreter would; exits with its last exit code"),
                    Cmd) &&
    RegisterCommand(QStringLiteral("schtasks"), QStringLiteral("schtasks [ARGS...]"),
                    QStringLiteral("the task tool: answers that no task exists (exit code 1)"), SchTasks);

}  // namespace
