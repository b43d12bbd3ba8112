// lidwatcher: a program of the machine that installs the power-settings filter and prints what
// reaches it: "LidStateChanged(true|false)" for lid broadcasts, "WM_DISPLAYCHANGE WxH" for display
// changes. Prints "ready" once its event loop runs; ends when its standard input closes.
#include "Common/HardwareInfo/PowerSettingsChangedEventFilter.h"
#include "tests/helpers/Interactive.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <cstdio>

namespace {

class DisplayChangeFilter : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        const auto* msg = static_cast<const MSG*>(message);
        if (eventType == WinSim::NativeEventType && msg->message == WM_DISPLAYCHANGE) {
            std::printf("WM_DISPLAYCHANGE %dx%d\n", int(msg->lParam & 0xFFFF), int((msg->lParam >> 16) & 0xFFFF));
            std::fflush(stdout);
        }
        return false;
    }
};

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    Korvel::DisplayCalibration::Common::HardwareInfo::PowerSettingsChangedEventFilter powerFilter;
    DisplayChangeFilter displayFilter;
    application.installNativeEventFilter(&powerFilter);
    application.installNativeEventFilter(&displayFilter);
    QObject::connect(&powerFilter, &Korvel::DisplayCalibration::Common::HardwareInfo::PowerSettingsChangedEventFilter::PowerSettingsChanged,
                     [](LPARAM lParam) {
                         const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam);
                         if (setting->PowerSetting == GUID_LIDSWITCH_STATE_CHANGE) {
                             Say(setting->Data[0] == 0 ? "LidStateChanged(true)" : "LidStateChanged(false)");
                         }
                     });
    const int code = RunUntilInputCloses(application);
    application.removeNativeEventFilter(&displayFilter);
    application.removeNativeEventFilter(&powerFilter);
    return code;
}
