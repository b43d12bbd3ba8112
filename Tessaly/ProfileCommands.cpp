#include "Tessaly/ProfileCommands.h"

#include "Tessaly/Output.h"

#include "Common/Profile/InternalProfileHelper.h"
#include "WindowsStandIn/Machine.h"

#include <QFileInfo>

#include <memory>

namespace Tessaly {
namespace {

using Korvel::DisplayCalibration::Common::Exception::OsErrorException;
using Korvel::DisplayCalibration::Common::Profile::InternalProfileHelper;

QString Text(const OsErrorException& error)
{
    return QString::fromUtf8(error.what());
}

int SwitchCalibration(bool enable)
{
    try {
        InternalProfileHelper helper;
        if (enable) {
            helper.EnableColorCalibration();
            Out() << "Successfully enabled Color Calibration." << Qt::endl;
        } else {
            helper.DisableColorCalibration();
            Out() << "Successfully disabled Color Calibration." << Qt::endl;
        }
        return 0;
    } catch (const OsErrorException& error) {
        Out() << (enable ? "Failed to enable color calibration." : "Failed to disable color calibration.") << Qt::endl
              << "Reason: " << Text(error);
        Out().flush();
        return FailureExitCode(std::uint32_t(error.Code()));
    }
}

// Every file must be there before anything installed is removed.
bool AllExist(const QStringList& paths)
{
    for (const QString& path : paths) {
        if (!QFileInfo(WinSim::MapWindowsPath(path)).isFile()) {
            Out() << "Profile " << path << " does not exist." << Qt::endl;
            return false;
        }
    }
    return true;
}

// Reports the paths before `end` as installed.
void ReportInstalled(const QStringList& paths, qsizetype end)
{
    for (qsizetype at = 0; at < end; ++at) {
        Out() << "Successfully installed profile " << paths[at] << Qt::endl;
    }
}

// The set goes in as one step, which a failure undoes whole. The output stays that of installing
// one by one: the paths before the failing one are reported as installed.
int Install(const QStringList& paths, bool hdr10)
{
    if (!AllExist(paths)) {
        return 2;
    }
    qsizetype failing = 0;
    try {
        InternalProfileHelper helper;
        helper.InstallProfileSet(paths, hdr10, failing);
        ReportInstalled(paths, paths.size());
        return 0;
    } catch (const OsErrorException& error) {
        ReportInstalled(paths, failing);
        Out() << "Failed to install profile: " << paths.value(failing) << "." << Qt::endl
              << "Reason: " << Text(error) << Qt::endl;
        return FailureExitCode(std::uint32_t(error.Code()));
    }
}

}  // namespace

int EnableColorCalibrationCommand()
{
    return SwitchCalibration(true);
}

int DisableColorCalibrationCommand()
{
    return SwitchCalibration(false);
}

int InstallProfilesCommand(const QStringList& paths)
{
    return Install(paths, false);
}

int InstallHdr10ProfilesCommand(const QStringList& paths)
{
    return Install(paths, true);
}

int UninstallProfilesCommand(const QStringList& names)
{
    QString current = names.value(0);
    try {
        InternalProfileHelper helper;
        for (const QString& name : names) {
            current = name;
            helper.UninstallProfile(name);
            Out() << "Successfully uninstalled profile " << name << Qt::endl;
        }
        return 0;
    } catch (const OsErrorException& error) {
        Out() << "Failed to uninstall profile: " << current << "." << Qt::endl << "Reason: " << Text(error) << Qt::endl;
        return FailureExitCode(std::uint32_t(error.Code()));
    }
}

}  // namespace Tessaly
