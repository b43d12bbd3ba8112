// Failures of a profile restoration, one per failing step.
#pragma once

#include "Common/Exception/OsErrorException.h"

KORVEL_DECLARE_OS_ERROR_EXCEPTION(SaveArchiveException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(InvalidDigitalSignatureException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(ExtractProfilesException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(InvalidPanelInfoException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(MissingProfilesException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(CreateTemporaryDirectoryException);
