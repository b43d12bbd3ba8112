#include "Tessaly/ProfileCommands.h"

#include "Tessaly/Output.h"

#include "WindowsStandIn/Win32.h"

// The profile commands need the profile helper, which comes with the elevated command runner.
namespace Tessaly {
namespace {
int Unavailable()
{
    Out() << Qt::endl << "Profile commands are not available in this build." << Qt::endl;
    return FailureExitCode(ERROR_NOT_SUPPORTED);
}
}  // namespace

int EnableColorCalibrationCommand() { return Unavailable(); }
int DisableColorCalibrationCommand() { return Unavailable(); }
int InstallProfilesCommand(const QStringList&) { return Unavailable(); }
int InstallHdr10ProfilesCommand(const QStringList&) { return Unavailable(); }
int UninstallProfilesCommand(const QStringList&) { return Unavailable(); }

}  // namespace Tessaly
