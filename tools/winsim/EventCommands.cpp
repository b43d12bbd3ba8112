// winsim event: changes of the machine that running programs receive as Windows messages.
#include "tools/winsim/Command.h"

#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Messages.h"

#include <cstring>

namespace {

using namespace Winsim;

constexpr WORD DesktopWidth = 1920;
constexpr WORD DesktopHeight = 1200;
constexpr WPARAM BitsPerPixel = 32;

QByteArray LidRecord(bool open)
{
    QByteArray record(int(offsetof(POWERBROADCAST_SETTING, Data) + sizeof(DWORD)), '\0');
    auto* setting = reinterpret_cast<POWERBROADCAST_SETTING*>(record.data());
    setting->PowerSetting = GUID_LIDSWITCH_STATE_CHANGE;
    setting->DataLength = sizeof(DWORD);
    const DWORD state = open ? 1 : 0;
    std::memcpy(setting->Data, &state, sizeof state);
    return record;
}

int Event(QStringList args)
{
    Expect(args, 1);
    const QString name = args[0];
    int delivered = 0;
    if (name == "lid-open" || name == "lid-close") {
        const bool open = name == "lid-open";
        WinSim::SetDescriptionValue(QStringLiteral("lid"), open ? QStringLiteral("open") : QStringLiteral("closed"));
        delivered = WinSim::SendNativeMessage(WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, 0, LidRecord(open));
    } else if (name == "display-change") {
        delivered = WinSim::SendNativeMessage(WM_DISPLAYCHANGE, BitsPerPixel, MAKELPARAM(DesktopWidth, DesktopHeight));
    } else {
        throw UsageError{"unknown event " + name};
    }
    WinSim::Journal(QStringLiteral("event"), name + " delivered=" + QString::number(delivered));
    Print("delivered to " + QString::number(delivered) + (delivered == 1 ? " program" : " programs"));
    return 0;
}

const bool registered = RegisterCommand(
    QStringLiteral("event"), QStringLiteral("event lid-open|lid-close|display-change"),
    QStringLiteral("sends the event to the machine's running programs (the lid events also set \"lid\")"), Event);

}  // namespace
