// winsim colour and service: the colour system and the services.
#include "tools/winsim/Command.h"

#include "WindowsStandIn/ColorSystem.h"
#include "WindowsStandIn/Services.h"

#include <QJsonDocument>

#include <cstdio>

namespace {

using namespace Winsim;

int Colour(QStringList args)
{
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

const bool registered =
    RegisterCommand(QStringLiteral("colour"), QStringLiteral("colour"),
                    QStringLiteral("prints the colour-system state as JSON (installed profiles, defaults per scope "
                                   "and subtype, associations, per-user switch, calibration management)"),
                    Colour) &&
    RegisterCommand(QStringLiteral("service"), QStringLiteral("service NAME [running|stopped|missing]"),
                    QStringLiteral("prints or sets the state of a service"), Service);

}  // namespace
