// Per-user settings of the tray program.
#pragma once

#include "Common/HardwareInfo/DdsMode.h"

#include <QStringList>

namespace Korvel::DisplayCalibration::Common::Settings {

class IConfiguration {
public:
    virtual ~IConfiguration() = default;
    virtual QStringList RequiredProfiles() = 0;
    // DdsModeDiscrete selects the discrete GPU's value, any other mode the integrated GPU's.
    virtual int LastAppliedProfileIndex(HardwareInfo::DdsMode gpuKind) = 0;
    virtual void SetLastAppliedProfileIndex(HardwareInfo::DdsMode gpuKind, int index) = 0;
    virtual bool AlignProfilesOnDDSModeChange() = 0;
    virtual void SetAlignProfilesOnDDSModeChange(bool enabled) = 0;
};

class IConfigurationFactory {
public:
    virtual ~IConfigurationFactory() = default;
    virtual IConfiguration* Create() = 0;
};

}  // namespace Korvel::DisplayCalibration::Common::Settings
