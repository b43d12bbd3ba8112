#pragma once

#include "Common/Exception/OsErrorException.h"

namespace Korvel::DisplayCalibration::Common::HardwareInfo {

KORVEL_DECLARE_OS_ERROR_EXCEPTION(ComInitializationException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(BiosToolsException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(GetComputerSerialNumberException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(GetComputerModelNameException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(GetComputerProductVersionException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(InternalPanelObtainerException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(DisplayHelperException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(GetDisplayIdException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(GetMonitorEdidException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(GetAvailableBrightnessLevelsException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(GetBrightnessLevelException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(SetBrightnessLevelException);

// The active power scheme could not be read: nothing of the brightness was written.
class ReadPowerSchemeException : public SetBrightnessLevelException {
public:
    using SetBrightnessLevelException::SetBrightnessLevelException;
};
KORVEL_DECLARE_OS_ERROR_EXCEPTION(DdsInfoObtainerException);

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
