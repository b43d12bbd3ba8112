// Tessaly's privileged profile commands. Each prints what happened and returns the exit code
// (0 on success); the profile helper is made inside the command, so its failures are reported too.
#pragma once

#include <QStringList>

namespace Tessaly {

int EnableColorCalibrationCommand();
int DisableColorCalibrationCommand();
int InstallProfilesCommand(const QStringList& paths);
int InstallHdr10ProfilesCommand(const QStringList& paths);
int UninstallProfilesCommand(const QStringList& names);

}  // namespace Tessaly
