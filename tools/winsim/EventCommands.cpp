// winsim event: changes of the machine that running programs receive as Windows messages.
#include "tools/winsim/Command.h"

#include "WindowsStandIn/Batch.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Messages.h"
#include "WindowsStandIn/Oobe.h"
#include "WindowsStandIn/TaskScheduler.h"

#include <QProcess>
#include <QThread>


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

// A whole number option's value, at least `least`.
int Count(QStringList& args, const QString& option, int least, int fallback)
{
    const qsizetype at = args.indexOf(option);
    if (at < 0) {
        return fallback;
    }
    bool ok = false;
    const int value = args.value(at + 1).toInt(&ok);
    if (!ok || value < least) {
        throw UsageError{"bad " + option + " " + args.value(at + 1)};
    }
    args.remove(at, 2);
    return value;
}

int Deliver(const QString& name)
{
    if (name == "lid-open" || name == "lid-close") {
        const bool open = name == "lid-open";
        WinSim::SetDescriptionValue(QStringLiteral("lid"), open ? QStringLiteral("open") : QStringLiteral("closed"));
        return WinSim::SendNativeMessage(WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, 0, WinSim::LidSwitchRecord(open));
    }
    if (name == "display-change") {
        return WinSim::SendNativeMessage(WM_DISPLAYCHANGE, BitsPerPixel, MAKELPARAM(DesktopWidth, DesktopHeight));
    }
    if (name == "oobe-complete") {
        return WinSim::CompleteOobe();
    }
    if (name == "logon") {
        return StartLogonTasks();
    }
    throw UsageError{"unknown event " + name};
}

int Event(QStringList args)
{
    // A burst from one process: no start-up of winsim between two of its events.
    const int repeat = Count(args, QStringLiteral("--repeat"), 1, 1);
    const int interval = Count(args, QStringLiteral("--interval"), 0, 0);
    Expect(args, 1);
    const QString name = args[0];
    for (int i = 0; i < repeat; ++i) {
        if (i > 0 && interval > 0) {
            QThread::msleep(interval);
        }
        const int delivered = Deliver(name);
        WinSim::Journal(QStringLiteral("event"), name + " delivered=" + QString::number(delivered));
        Print("delivered to " + QString::number(delivered) + (delivered == 1 ? " program" : " programs"));
    }
    return 0;
}

const bool registered = RegisterCommand(
    QStringLiteral("event"),
    QStringLiteral("event lid-open|lid-close|display-change|oobe-complete|logon [--repeat N [--interval MS]]"),
    QStringLiteral("sends the event to the machine's running programs (the lid events also set \"lid\"); "
                   "oobe-complete finishes OOBE and wakes the programs waiting for it; logon starts the logon tasks; "
                   "--repeat sends it N times in a row, MS apart, each delivered before the next"),
    Event);

}  // namespace
