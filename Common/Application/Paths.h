// The application data root in the machine and the per-user folders below it.
#pragma once

#include "Common/Exception/OsErrorException.h"

#include <QString>

namespace Korvel::DisplayCalibration::Common {

// A user name that would lead outside the users folder.
KORVEL_DECLARE_OS_ERROR_EXCEPTION(UserDataDirectoryException);

// The application data root, fixed at start-up (forward slashes).
QString ApplicationDataDirectory();
// root/Users/<USER, else USERNAME>, created when missing and never a symbolic link below the root
// (see ReplaceSymbolicLinks). Throws UserDataDirectoryException
// for a user name holding a path separator or naming "." or "..".
QString UserDataDirectory();
// UserDataDirectory()/log, created when missing and never a symbolic link below the application
// data root (see ReplaceSymbolicLinks); "." when it cannot be made.
QString LogDirectory();
// So that writing `path` stays where it belongs: every symbolic link among the folders below `root`
// on the way to `path` becomes a new empty folder, and a link at `path` itself is removed (its
// writer makes the file anew; a folder `path`, written with a trailing "/", becomes an empty
// folder). The links' targets stay as they were. Of a `path` outside `root` only `path` itself
// is looked at.
void ReplaceSymbolicLinks(const QString& root, const QString& path);
// LogDirectory()/name, where a symbolic link has been removed (ReplaceSymbolicLinks).
QString LogFilePath(const QString& name);
// The same in a log directory already obtained from LogDirectory().
QString LogFilePath(const QString& directory, const QString& name);
QString InitLogFilePath();
QString VotLogFilePath();
// Creates the temporary directory (one level) when missing and returns its path; throws
// std::filesystem::filesystem_error ("create_directory") on failure.
QString CreateTemporaryDirectory();
// Removes the temporary directory with its contents; throws std::filesystem::filesystem_error ("remove_all").
void RemoveTemporaryDirectory();

}  // namespace Korvel::DisplayCalibration::Common
