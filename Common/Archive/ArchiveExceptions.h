#pragma once

#include "Common/Exception/OsErrorException.h"

namespace Korvel::DisplayCalibration::Common::Archive {

KORVEL_DECLARE_OS_ERROR_EXCEPTION(CompressProfilesException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(DecompressProfilesException);

}  // namespace Korvel::DisplayCalibration::Common::Archive
