// Tessaly's privileged profile commands. Each prints what happened and returns the exit code
// (0 on success); the profile helper is made inside the command, so its failures are reported too.
#pragma once

#include <QStringList>

namespace Tessaly {

int EnableColorCalibrationCommand();
int DisableColorCalibrationCommand();
// The installing commands take the "prepared-from" values: a malformed one ends the command with
// ERROR_INVALID_PARAMETER, an installed file that changed since it was read with ERROR_FILE_INVALID,
// each before anything changes.
int InstallProfilesCommand(const QStringList& paths, const QStringList& preparedFrom);
int InstallHdr10ProfilesCommand(const QStringList& paths, const QStringList& preparedFrom);
// Each path replaces the installed profile of its file name; nothing else is installed or removed.
int ReplaceProfilesCommand(const QStringList& paths, const QStringList& preparedFrom);
int UninstallProfilesCommand(const QStringList& names);

}  // namespace Tessaly
