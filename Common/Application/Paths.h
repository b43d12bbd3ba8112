// The application data root in the machine and the per-user folders below it.
#pragma once

#include "Common/Exception/OsErrorException.h"

#include <QString>

namespace Korvel::DisplayCalibration::Common {

// A user name that would lead outside the users folder.
KORVEL_DECLARE_OS_ERROR_EXCEPTION(UserDataDirectoryException);

// The application data root, fixed at start-up (forward slashes).
QString ApplicationDataDirectory();
// root/Users/<USER, else USERNAME>, created when missing. Throws UserDataDirectoryException
// for a user name holding a path separator or naming "." or "..".
QString UserDataDirectory();
// UserDataDirectory()/log, created when missing; "." when it cannot be made.
QString LogDirectory();
QString InitLogFilePath();
QString VotLogFilePath();
// Creates the temporary directory (one level) when missing and returns its path; throws
// std::filesystem::filesystem_error ("create_directory") on failure.
QString CreateTemporaryDirectory();
// Removes the temporary directory with its contents; throws std::filesystem::filesystem_error ("remove_all").
void RemoveTemporaryDirectory();

}  // namespace Korvel::DisplayCalibration::Common
