#pragma once

#include <cstdint>

namespace Korvel::DisplayCalibration::Common::HardwareInfo {

// Dynamic display switching: which GPU drives the internal panel.
using DdsMode = std::int32_t;

inline constexpr DdsMode DdsModeNone = 0;
inline constexpr DdsMode DdsModeIntegrated = 1;
inline constexpr DdsMode DdsModeDiscrete = 2;

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
