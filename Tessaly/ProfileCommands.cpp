#include "Tessaly/ProfileCommands.h"

#include "Tessaly/Output.h"

#include "Common/Profile/InternalProfileHelper.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Win32.h"

#include <QFileInfo>

#include <memory>

namespace Tessaly {
namespace {

using Korvel::DisplayCalibration::Common::Exception::OsErrorException;
using Korvel::DisplayCalibration::Common::Profile::InternalProfileHelper;
using Korvel::DisplayCalibration::Common::Profile::PreparedFrom;
using Korvel::DisplayCalibration::Common::Profile::ProfileChangedException;

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

// The "prepared-from" values by file name; false (reported) when one is malformed or names a file
// twice with two digests.
bool ReadPreparedFrom(const QStringList& values, PreparedFrom& preparedFrom)
{
    using Korvel::DisplayCalibration::Common::Profile::ParsePreparedFromValue;
    for (const QString& value : values) {
        const auto parsed = ParsePreparedFromValue(value);
        if (!parsed || (preparedFrom.contains(parsed->first) && preparedFrom.value(parsed->first) != parsed->second)) {
            Out() << "Invalid value for --prepared-from: " << value << Qt::endl;
            return false;
        }
        preparedFrom.insert(parsed->first, parsed->second);
    }
    return true;
}

enum class Installing { SdrSet, Hdr10Set, InPlace };

// The files go in as one step, which a failure undoes whole. The output stays that of installing
// one by one: the paths before the failing one are reported as installed.
int Install(const QStringList& paths, Installing kind, const QStringList& preparedValues)
{
    PreparedFrom preparedFrom;
    if (!ReadPreparedFrom(preparedValues, preparedFrom)) {
        return FailureExitCode(ERROR_INVALID_PARAMETER);
    }
    if (!AllExist(paths)) {
        return 2;
    }
    qsizetype failing = 0;
    try {
        InternalProfileHelper helper;
        if (kind == Installing::InPlace) {
            helper.ReplaceProfiles(paths, preparedFrom, failing);
        } else {
            helper.InstallProfileSet(paths, kind == Installing::Hdr10Set, failing, preparedFrom);
        }
        ReportInstalled(paths, paths.size());
        return 0;
    } catch (const ProfileChangedException& error) {
        for (const QString& name : error.Names()) {
            Out() << ProfileChangedException::Line(name) << Qt::endl;
        }
        return FailureExitCode(std::uint32_t(error.Code()));
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

int InstallProfilesCommand(const QStringList& paths, const QStringList& preparedFrom)
{
    return Install(paths, Installing::SdrSet, preparedFrom);
}

int InstallHdr10ProfilesCommand(const QStringList& paths, const QStringList& preparedFrom)
{
    return Install(paths, Installing::Hdr10Set, preparedFrom);
}

int ReplaceProfilesCommand(const QStringList& paths, const QStringList& preparedFrom)
{
    return Install(paths, Installing::InPlace, preparedFrom);
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
