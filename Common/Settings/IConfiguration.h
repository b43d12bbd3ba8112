// Per-user settings of the tray program.
#pragma once

#include <QStringList>

#include <cstdint>

namespace Korvel::DisplayCalibration::Common::Settings {

class IConfiguration {
public:
    virtual ~IConfiguration() = default;
    virtual QStringList RequiredProfiles() = 0;
    // gpuKind is the dynamic-display-switching mode: 2 selects the discrete GPU, anything else the integrated one.
    virtual int LastAppliedProfileIndex(std::int32_t gpuKind) = 0;
    virtual void SetLastAppliedProfileIndex(std::int32_t gpuKind, int index) = 0;
    virtual bool AlignProfilesOnDDSModeChange() = 0;
    virtual void SetAlignProfilesOnDDSModeChange(bool enabled) = 0;
};

class IConfigurationFactory {
public:
    virtual ~IConfigurationFactory() = default;
    virtual IConfiguration* Create() = 0;
};

}  // namespace Korvel::DisplayCalibration::Common::Settings
