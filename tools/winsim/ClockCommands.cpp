// winsim clock: the machine's monotonic and wall clocks.
#include "tools/winsim/Command.h"

#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Time.h"

namespace {

using namespace Winsim;

std::int64_t Seconds(const QString& text)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok) {
        throw UsageError{"\"" + text + "\" is not a number of seconds"};
    }
    return value;
}

int Clock(QStringList args)
{
    if (args.isEmpty()) {
        Print("monotonic " + QString::number(WinSim::MonotonicNanoseconds()) + " ns");
        Print("wall " + QString::number(WinSim::WallClockSeconds()) + " s");
        return 0;
    }
    const QString command = args.takeFirst();
    if (command == "advance" || command == "shift") {
        Expect(args, 1);
        const std::int64_t seconds = Seconds(args[0]);
        command == "advance" ? WinSim::AdvanceClocks(seconds) : WinSim::ShiftWallClock(seconds);
    } else if (command == "reboot") {
        std::int64_t off = 0;
        if (!args.isEmpty()) {
            Expect(args, 2);
            if (args[0] != "--after") {
                throw UsageError{"unknown reboot option " + args[0]};
            }
            off = Seconds(args[1]);
        }
        WinSim::Reboot(off);
    } else {
        throw UsageError{"unknown clock subcommand " + command};
    }
    WinSim::Journal(QStringLiteral("clock"), (QStringList{command} + args).join(' '));
    return 0;
}

const bool registered = RegisterCommand(
    QStringLiteral("clock"), QStringLiteral("clock [advance SECONDS | shift SECONDS | reboot [--after SECONDS]]"),
    QStringLiteral("prints the machine's clocks; advance: time passes; shift: only the wall clock moves (the user "
                   "sets it); reboot: the monotonic clock starts from 0, the wall clock moves by the time off"),
    Clock);

}  // namespace
