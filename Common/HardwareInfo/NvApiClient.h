// Client of the GPU driver library "nvapi.dll": process-wide loading with use counts, and the
// dynamic-display-switching query.
#pragma once

#include "WindowsStandIn/NvApi.h"

#include <cstdint>

namespace Korvel::DisplayCalibration::Common::HardwareInfo {

// Client status codes (0 success).
inline constexpr std::int32_t NvApiGeneralError = -1;
inline constexpr std::int32_t NvApiLibraryNotFound = -2;
inline constexpr std::int32_t NvApiFunctionMissing = -3;
inline constexpr std::int32_t NvApiNotInitialized = -4;
inline constexpr std::int32_t NvApiStillInUse = -209;

// Loads and initialises the driver on first use; each call adds one use.
std::int32_t NvApiInitialize();
// The driver's status for the query, or a client status.
std::int32_t NvApiDdsQuery(NvApi::DdsQuery* query);
// Gives back one use; the last one releases the driver and frees the library.
std::int32_t NvApiUnload();

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
