// The application data root in the machine and the per-user folders below it.
#pragma once

#include "Common/Exception/OsErrorException.h"

#include <QString>

namespace Korvel::DisplayCalibration::Common {

// A user name that would lead outside the users folder.
KORVEL_DECLARE_OS_ERROR_EXCEPTION(UserDataDirectoryException);

// The application data root, fixed at start-up (forward slashes). A symbolic link on the way to it
// from the machine's drive becomes an empty folder (see ReplaceSymbolicLinks).
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
// Makes the folder `path` below `root` when missing, so that what the programs write in it stays in the
// machine: a symbolic link on the way from `root`, or at `path`, becomes a folder (ReplaceSymbolicLinks)
// and links directly in it are removed (the programs keep only plain files in their folders). False
// when it cannot be made.
bool MakeFolder(const QString& root, const QString& path);
// Removes the folder `path` with everything in it; a symbolic link at `path` or below it is removed
// itself, its target left alone. A plain file at `path` is left as it is. True when no folder or link
// stands at `path` any more.
bool RemoveFolder(const QString& path);
// UserDataDirectory()/scripts, made by MakeFolder: the elevated runs' batch files and the logon
// task's definition.
QString ScriptsDirectory();
// LogDirectory()/name, where a symbolic link has been removed (ReplaceSymbolicLinks).
QString LogFilePath(const QString& name);
// The same in a log directory already obtained from LogDirectory().
QString LogFilePath(const QString& directory, const QString& name);
QString InitLogFilePath();
QString VotLogFilePath();
// Creates the temporary directory (one level) when missing and returns its path; a symbolic link at
// it or on the way from the application data root becomes a folder, links in it are removed. Throws
// std::filesystem::filesystem_error ("create_directory") on failure.
QString CreateTemporaryDirectory();
// Removes the temporary directory with its contents; throws std::filesystem::filesystem_error ("remove_all").
void RemoveTemporaryDirectory();

}  // namespace Korvel::DisplayCalibration::Common
