#pragma once

#include "Common/Exception/OsErrorException.h"

namespace Korvel::DisplayCalibration::Common::Windows {

// The machine's registry could not be read (a damaged hive).
KORVEL_DECLARE_OS_ERROR_EXCEPTION(ReadRegistryException);

}  // namespace Korvel::DisplayCalibration::Common::Windows
