// The operations of ProfileHelper that need administrator rights: each builds one Tessaly command
// line and runs it elevated.
#include "Common/Profile/ProfileHelper.h"

#include "Common/Application/Constants.h"
#include "Common/Profile/TessalyCommand.h"
#include "Common/Windows/CommandLine.h"

#include <functional>

namespace Korvel::DisplayCalibration::Common::Profile {
namespace {

using Exception::OsErrorException;

// Runs `operation`; the operation's own exception passes, any other OsErrorException becomes one
// with its text and no code.
template <typename Failure>
void Converting(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const Failure&) {
        throw;
    } catch (const OsErrorException& error) {
        throw Failure(std::string(error.what()));
    }
}

// The installing operations let the runner's failures (a refused prompt) through as they are.
void ConvertingInstall(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const InstallProfileException&) {
        throw;
    } catch (const Windows::CommandLineException&) {
        throw;
    } catch (const OsErrorException& error) {
        throw InstallProfileException(std::string(error.what()));
    }
}

}  // namespace

void ProfileHelper::EnableColorCalibration()
{
    Converting<EnableColorCalibrationException>([&] {
        if (GetColorCalibrationState()) {
            return;
        }
        QString output;
        const std::uint32_t result = RunTool(TessalyCommand(toolPath).ColorCalibration(true), output);
        if (result != 0) {
            throw EnableColorCalibrationException(std::int32_t(result), std::string());
        }
    });
}

void ProfileHelper::DisableColorCalibration()
{
    Converting<DisableColorCalibrationException>([&] {
        if (!GetColorCalibrationState()) {
            return;
        }
        QString output;
        const std::uint32_t result = RunTool(TessalyCommand(toolPath).ColorCalibration(false), output);
        if (result != 0) {
            throw DisableColorCalibrationException(std::int32_t(result), std::string());
        }
    });
}

void ProfileHelper::InstallProfile(const QString& path)
{
    Converting<InstallProfileException>([&] {
        QString output;
        const std::uint32_t result = RunTool(TessalyCommand(toolPath).InstallProfile(path), output);
        if (result != 0) {
            throw InstallProfileException(std::int32_t(result), std::string());
        }
    });
}

namespace {

void RunInstall(const std::function<std::uint32_t(QString&)>& run)
{
    QString output;
    const std::uint32_t result = run(output);
    if (result != 0) {
        throw InstallProfileException(std::int32_t(result), output.toStdString());
    }
}

}  // namespace

// The installed profiles an installation replaces are removed by Tessaly itself, elevated and only once
// it runs: a refused prompt or a value that cannot be passed changes nothing.
void ProfileHelper::InstallProfiles(const QStringList& paths)
{
    ConvertingInstall([&] {
        const TessalyCommand command = TessalyCommand(toolPath).InstallProfiles(paths);
        RunInstall([&](QString& output) { return RunTool(command, output); });
    });
}

void ProfileHelper::InstallProfilesWithPanelInfo(const QStringList& paths, const QString& hdrSupported,
                                                 const QString& defaultProfileColorSpace,
                                                 const QString& defaultProfileGamma, const QString& requiredProfiles,
                                                 const QString& profileFormat, const PreparedFrom& preparedFrom)
{
    ConvertingInstall([&] {
        TessalyCommand command = TessalyCommand(toolPath)
                                     .InstallProfiles(paths)
                                     .PreparedFromDigests(preparedFrom)
                                     .RegistryPath(TessalyCommand::PanelKey())
                                     .AddRegistryValue(HdrSupportedValue, hdrSupported)
                                     .AddRegistryValue(DefaultProfileColorSpaceValue, defaultProfileColorSpace)
                                     .AddRegistryValue(DefaultProfileGammaValue, defaultProfileGamma)
                                     .AddRegistryValue(RequiredProfilesValue, requiredProfiles)
                                     .AddRegistryValue(ProfileFormatValue, profileFormat);
        if (!deviceId.isEmpty()) {
            command.AddRegistryValue(DisplayDeviceIdValue, deviceId);
        }
        RunInstall([&](QString& output) { return RunTool(command, output); });
    });
}

void ProfileHelper::InstallProfilesRemovingPanelInfo(const QStringList& paths)
{
    ConvertingInstall([&] {
        const TessalyCommand command = TessalyCommand(toolPath)
                                           .InstallProfiles(paths)
                                           .RegistryPath(TessalyCommand::ApplicationKey())
                                           .RemoveRegistryValue(PanelInfoGroup);
        RunInstall([&](QString& output) { return RunTool(command, output); });
    });
}

void ProfileHelper::InstallHdr10ProfilesWithPanelInfo(const QStringList& paths, const QString& hdr10Supported,
                                                      const QString& requiredProfilesHdr10)
{
    ConvertingInstall([&] {
        const TessalyCommand command = TessalyCommand(toolPath)
                                           .InstallHdr10Profiles(paths)
                                           .RegistryPath(TessalyCommand::PanelKey())
                                           .AddRegistryValue(Hdr10SupportedValue, hdr10Supported)
                                           .AddRegistryValue(RequiredProfilesHdr10Value, requiredProfilesHdr10);
        RunInstall([&](QString& output) { return RunTool(command, output); });
    });
}

// Only the corrected files go in, each replacing its namesake; Tessaly refuses the whole command when
// an installed file changed since the copies were prepared from it.
void ProfileHelper::InstallCorrectedProfiles(const QStringList& paths, const PreparedFrom& preparedFrom)
{
    ConvertingInstall([&] {
        const TessalyCommand command = TessalyCommand(toolPath).ReplaceProfiles(paths).PreparedFromDigests(preparedFrom);
        RunInstall([&](QString& output) { return RunTool(command, output); });
    });
}

void ProfileHelper::UninstallProfile(const QString& name)
{
    Converting<UninstallProfileException>([&] {
        QString output;
        const std::uint32_t result = RunTool(TessalyCommand(toolPath).UninstallProfile(name), output);
        if (result != 0) {
            throw UninstallProfileException(std::int32_t(result), std::string());
        }
    });
}

void ProfileHelper::UninstallProfiles(const QStringList& names)
{
    if (names.isEmpty()) {
        return;
    }
    Converting<UninstallProfileException>([&] {
        QString output;
        const std::uint32_t result = RunTool(TessalyCommand(toolPath).UninstallProfiles(names), output);
        if (result != 0) {
            throw UninstallProfileException(std::int32_t(result), std::string());
        }
    });
}

// The required-profile list belongs to the panel key, as in the installing operations.
void ProfileHelper::UninstallProfilesWithRequiredProfiles(const QStringList& names, const QString& requiredProfiles)
{
    Converting<UninstallProfileException>([&] {
        const TessalyCommand command = TessalyCommand(toolPath)
                                           .UninstallProfiles(names)
                                           .RegistryPath(TessalyCommand::PanelKey())
                                           .AddRegistryValue(RequiredProfilesValue, requiredProfiles);
        QString output;
        RunTool(command, output);
    });
}

std::uint32_t ProfileHelper::RunTool(const TessalyCommand& command, QString& output) const
{
    return Windows::CommandLine::Run(command.Text(), true, output);
}

}  // namespace Korvel::DisplayCalibration::Common::Profile
