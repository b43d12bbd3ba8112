#include "Common/HardwareInfo/PowerSettingsChangedEventFilter.h"

namespace Korvel::DisplayCalibration::Common::HardwareInfo {

PowerSettingsChangedEventFilter::PowerSettingsChangedEventFilter() : QObject(), QAbstractNativeEventFilter() {}

bool PowerSettingsChangedEventFilter::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != WinSim::NativeEventType || message == nullptr) {
        return false;
    }
    const auto* msg = static_cast<const MSG*>(message);
    if (msg->message == WM_POWERBROADCAST && msg->wParam == PBT_POWERSETTINGCHANGE) {
        emit PowerSettingsChanged(msg->lParam);
    }
    return false;
}

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
