// winsim cmd and winsim schtasks: the command interpreter behind ShellExecuteExW and the task tool.
#include "tools/winsim/Command.h"

#include "WindowsStandIn/Batch.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/TaskScheduler.h"

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

int SchTasks(QStringList args)
{
    std::fflush(stdout);
    return WinSim::RunTaskTool(args, 1, 2, WinSim::IsElevated());
}

const bool registered =
    RegisterCommand(QStringLiteral("cmd"), QStringLiteral("cmd /c FILE"),
                    QStringLiteral("runs a batch file as the command interpreter would; exits with its last exit code"),
                    Cmd) &&
    RegisterCommand(QStringLiteral("schtasks"),
                    QStringLiteral("schtasks /Query [/TN NAME] | /Create [/F] /TN NAME /XML FILE | /Delete [/F] /TN NAME"),
                    QStringLiteral("the task tool over the machine's task store (creating needs elevation); exit "
                                   "code 1 for a missing task or refused request"),
                    SchTasks);

}  // namespace
