// Start of the tray program at user logon.
#pragma once

namespace Korvel::DisplayCalibration::Common::Settings {

class IStartupHelper {
public:
    virtual ~IStartupHelper() = default;
    virtual bool IsEnabled() = 0;
    virtual void Enable() = 0;
    virtual void Disable() = 0;
};

class IStartupHelperFactory {
public:
    virtual ~IStartupHelperFactory() = default;
    virtual IStartupHelper* Create() = 0;
};

}  // namespace Korvel::DisplayCalibration::Common::Settings
