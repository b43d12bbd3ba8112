// winsim event: changes of the machine that running programs receive as Windows messages.
#include "tools/winsim/Command.h"

#include "WindowsStandIn/Batch.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Messages.h"
#include "WindowsStandIn/Oobe.h"
#include "WindowsStandIn/TaskScheduler.h"

#include <QProcess>


namespace {

using namespace Winsim;

constexpr WORD DesktopWidth = 1920;
constexpr WORD DesktopHeight = 1200;
constexpr WPARAM BitsPerPixel = 32;

// Starts the command of every enabled logon task as a program of the machine (not elevated); the
// programs run on after winsim ends. Returns how many were started.
int StartLogonTasks()
{
    EnterMachineEnvironment(false);
    int started = 0;
    for (const QString& name : WinSim::TaskNames()) {
        const std::optional<WinSim::TaskDefinition> task = WinSim::ReadTask(name);
        if (!task || !task->enabled || !task->logonTrigger) {
            continue;
        }
        for (const WinSim::TaskAction& action : task->actions) {
            QString command = action.command.trimmed();
            if (command.size() >= 2 && command.startsWith('"') && command.endsWith('"')) {
                command = command.mid(1, command.size() - 2);
            }
            QStringList arguments;
            const QString program = WinSim::ResolveProgram(command, arguments);
            arguments << WinSim::SplitCommandLine(action.arguments);
            QProcess process;
            process.setProgram(program);
            process.setArguments(arguments);
            process.setStandardInputFile(QProcess::nullDevice());
            process.setStandardOutputFile(QProcess::nullDevice());
            process.setStandardErrorFile(QProcess::nullDevice());
            if (!program.isEmpty() && process.startDetached()) {
                WinSim::Journal(QStringLiteral("run"), action.command + " " + action.arguments);
                ++started;
            } else {
                WinSim::Journal(QStringLiteral("logon-failed"), name + ": " + action.command);
            }
        }
    }
    return started;
}

int Event(QStringList args)
{
    Expect(args, 1);
    const QString name = args[0];
    int delivered = 0;
    if (name == "lid-open" || name == "lid-close") {
        const bool open = name == "lid-open";
        WinSim::SetDescriptionValue(QStringLiteral("lid"), open ? QStringLiteral("open") : QStringLiteral("closed"));
        delivered = WinSim::SendNativeMessage(WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, 0, WinSim::LidSwitchRecord(open));
    } else if (name == "display-change") {
        delivered = WinSim::SendNativeMessage(WM_DISPLAYCHANGE, BitsPerPixel, MAKELPARAM(DesktopWidth, DesktopHeight));
    } else if (name == "oobe-complete") {
        delivered = WinSim::CompleteOobe();
    } else if (name == "logon") {
        delivered = StartLogonTasks();
    } else {
        throw UsageError{"unknown event " + name};
    }
    WinSim::Journal(QStringLiteral("event"), name + " delivered=" + QString::number(delivered));
    Print("delivered to " + QString::number(delivered) + (delivered == 1 ? " program" : " programs"));
    return 0;
}

const bool registered = RegisterCommand(
    QStringLiteral("event"), QStringLiteral("event lid-open|lid-close|display-change|oobe-complete|logon"),
    QStringLiteral("sends the event to the machine's running programs (the lid events also set \"lid\"); "
                   "oobe-complete finishes OOBE and wakes the programs waiting for it; logon starts the logon tasks"),
    Event);

}  // namespace
