// winsim colour, service, fail: the colour system, the services and injected failures.
#include "tools/winsim/Command.h"

#include "WindowsStandIn/ColorSystem.h"
#include "WindowsStandIn/Services.h"
#include "WindowsStandIn/SimulatedDisplays.h"
#include "WindowsStandIn/StateFile.h"

#include <QJsonDocument>

#include <cstdio>

namespace {

using namespace Winsim;

// "per-user on|off": the "Use my settings for this device" switch of every display's monitor.
int PerUser(const QStringList& args)
{
    Expect(args, 2);
    if (args[1] != "on" && args[1] != "off") {
        throw UsageError{"per-user takes on or off, not " + args[1]};
    }
    for (const WinSim::Displays::Display& display : WinSim::Displays::Load().displays) {
        if (!WcsSetUsePerUserProfiles(display.MonitorDeviceId().toStdWString().c_str(), CLASS_MONITOR,
                                      args[1] == "on" ? TRUE : FALSE)) {
            return Fail("cannot set the per-user switch of " + display.MonitorDeviceId() + " (error " +
                        QString::number(GetLastError()) + ")");
        }
    }
    return 0;
}

int Colour(QStringList args)
{
    if (!args.isEmpty() && args[0] == "per-user") {
        return PerUser(args);
    }
    Expect(args, 0);
    std::fputs(QJsonDocument(WinSim::ColorSystemState()).toJson(QJsonDocument::Indented).constData(), stdout);
    return 0;
}

int Service(QStringList args)
{
    if (args.size() == 1) {
        const QString state = WinSim::ServiceState(args[0]);
        Print(state.isEmpty() ? QStringLiteral("missing") : state);
        return 0;
    }
    Expect(args, 2);
    WinSim::SetServiceState(args[0], args[1]);
    return 0;
}

int FailCall(QStringList args)
{
    QString qualifier;
    if (args.size() == 4 && args[2] == "--adapter") {
        qualifier = args.takeLast();
        args.removeLast();
    }
    Expect(args, 2);
    bool ok = false;
    const DWORD code = args[1].startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? args[1].mid(2).toUInt(&ok, 16)
                                                                                     : args[1].toUInt(&ok, 10);
    if (!ok) {
        throw UsageError{"\"" + args[1] + "\" is not an error code"};
    }
    WinSim::SetInjectedFailure(args[0], code, qualifier);
    return 0;
}

const bool registered =
    RegisterCommand(QStringLiteral("colour"), QStringLiteral("colour [per-user on|off]"),
                    QStringLiteral("prints the colour-system state as JSON (installed profiles, defaults per scope "
                                   "and subtype, associations, per-user switch, calibration management); per-user "
                                   "sets the per-user switch of every display"),
                    Colour) &&
    RegisterCommand(QStringLiteral("service"), QStringLiteral("service NAME [running|stopped|missing]"),
                    QStringLiteral("prints or sets the state of a service"), Service) &&
    RegisterCommand(QStringLiteral("fail"), QStringLiteral("fail FUNCTION CODE [--adapter LUID-LOW]"),
                    QStringLiteral("makes a stand-in call fail with CODE (decimal or 0x...; 0 clears), for one "
                                   "adapter only with --adapter"),
                    FailCall);

}  // namespace
