// The operations of ProfileHelper that need administrator rights: each builds one Tessaly command
// line and runs it elevated.
#include "Common/Profile/ProfileHelper.h"

#include "Common/Application/Constants.h"
#include "Common/Windows/CommandLine.h"

#include <QCoreApplication>

#include <functional>

namespace Korvel::DisplayCalibration::Common::Profile {
namespace {

using Exception::OsErrorException;

// A value for the command line, in double quotes (the runner keeps "%" from being expanded). A value
// that is empty or holds a double quote or a line break cannot be passed and is refused.
template <typename Failure>
void CheckValue(const QString& value, const QString& what)
{
    if (value.isEmpty()) {
        throw Failure(("Empty value for " + what).toStdString());
    }
    if (value.contains('"') || value.contains('\n') || value.contains('\r')) {
        throw Failure(("Invalid value for " + what).toStdString());
    }
}

template <typename Failure>
QString QuoteValue(const QString& value, const QString& what)
{
    CheckValue<Failure>(value, what);
    return Windows::CommandLine::QuoteArgument(value);
}

template <typename Failure>
QString QuoteFilePath(const QString& path)
{
    CheckValue<Failure>(path, "path " + path);
    return Windows::CommandLine::QuotePath(path);
}

QString PanelKey()
{
    return "\"" + MakerMachineKey + QCoreApplication::applicationName() + "\\" + PanelInfoGroup + "\"";
}

QString ApplicationKey()
{
    return "\"" + MakerMachineKey + QCoreApplication::applicationName() + "\"";
}

QString RegistryPair(const QString& key, const QString& value)
{
    return " --add-registry-key " + key + " --registry-value " + QuoteValue<InstallProfileException>(value, key);
}

QString InstallList(const QString& option, const QStringList& paths)
{
    QString command;
    for (const QString& path : paths) {
        command += " " + option + " " + QuoteFilePath<InstallProfileException>(path) + " ";
    }
    return command;
}

template <typename Failure>
QString UninstallList(const QStringList& names)
{
    QString command;
    for (const QString& name : names) {
        command += " --uninstall-profile " + QuoteValue<Failure>(name, "profile name") + " ";
    }
    return command;
}

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
        const std::uint32_t result = RunTool(QStringLiteral(" --color-calibration enabled"), output);
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
        const std::uint32_t result = RunTool(QStringLiteral(" --color-calibration disabled"), output);
        if (result != 0) {
            throw DisableColorCalibrationException(std::int32_t(result), std::string());
        }
    });
}

void ProfileHelper::InstallProfile(const QString& path)
{
    Converting<InstallProfileException>([&] {
        QString output;
        const std::uint32_t result =
            RunTool(" --install-profile " + QuoteFilePath<InstallProfileException>(path), output);
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

void ProfileHelper::InstallProfiles(const QStringList& paths)
{
    ConvertingInstall([&] {
        const QString command = InstallList(QStringLiteral("--install-profile"), paths);
        RemoveInstalledSdrProfiles();
        RunInstall([&](QString& output) { return RunTool(command, output); });
    });
}

void ProfileHelper::InstallProfilesWithPanelInfo(const QStringList& paths, const QString& hdrSupported,
                                                 const QString& defaultProfileColorSpace,
                                                 const QString& defaultProfileGamma, const QString& requiredProfiles,
                                                 const QString& profileFormat)
{
    ConvertingInstall([&] {
        QString command = InstallList(QStringLiteral("--install-profile"), paths) + " --set-registry-path " +
                          PanelKey() + RegistryPair(HdrSupportedValue, hdrSupported) +
                          RegistryPair(DefaultProfileColorSpaceValue, defaultProfileColorSpace) +
                          RegistryPair(DefaultProfileGammaValue, defaultProfileGamma) +
                          RegistryPair(RequiredProfilesValue, requiredProfiles) +
                          RegistryPair(ProfileFormatValue, profileFormat);
        if (!deviceId.isEmpty()) {
            command += RegistryPair(DisplayDeviceIdValue, deviceId);
        }
        RemoveInstalledSdrProfiles();
        RunInstall([&](QString& output) { return RunTool(command, output); });
    });
}

void ProfileHelper::InstallProfilesRemovingPanelInfo(const QStringList& paths)
{
    ConvertingInstall([&] {
        const QString command = InstallList(QStringLiteral("--install-profile"), paths) + " --set-registry-path " +
                                ApplicationKey() + " --remove-registry-key " + PanelInfoGroup;
        RemoveInstalledSdrProfiles();
        RunInstall([&](QString& output) { return RunTool(command, output); });
    });
}

void ProfileHelper::InstallHdr10ProfilesWithPanelInfo(const QStringList& paths, const QString& hdr10Supported,
                                                      const QString& requiredProfilesHdr10)
{
    ConvertingInstall([&] {
        const QString command = InstallList(QStringLiteral("--install-profile-hdr10"), paths) +
                                " --set-registry-path " + PanelKey() +
                                RegistryPair(Hdr10SupportedValue, hdr10Supported) +
                                RegistryPair(RequiredProfilesHdr10Value, requiredProfilesHdr10);
        RemoveInstalledHdr10Profiles();
        RunInstall([&](QString& output) { return RunTool(command, output); });
    });
}

void ProfileHelper::UninstallProfile(const QString& name)
{
    Converting<UninstallProfileException>([&] {
        QString output;
        const std::uint32_t result =
            RunTool(" --uninstall-profile " + QuoteValue<UninstallProfileException>(name, "profile name"), output);
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
        const std::uint32_t result = RunTool(UninstallList<UninstallProfileException>(names), output);
        if (result != 0) {
            throw UninstallProfileException(std::int32_t(result), std::string());
        }
    });
}

// The required-profile list belongs to the panel key, as in the installing operations.
void ProfileHelper::UninstallProfilesWithRequiredProfiles(const QStringList& names, const QString& requiredProfiles)
{
    Converting<UninstallProfileException>([&] {
        const QString command = UninstallList<UninstallProfileException>(names) + " --set-registry-path " +
                                PanelKey() + " --add-registry-key " + RequiredProfilesValue + " --registry-value " +
                                QuoteValue<UninstallProfileException>(requiredProfiles, RequiredProfilesValue);
        QString output;
        RunTool(command, output);
    });
}

}  // namespace Korvel::DisplayCalibration::Common::Profile

namespace Korvel::DisplayCalibration::Common::Profile {

std::uint32_t ProfileHelper::RunTool(const QString& arguments, QString& output) const
{
    return Windows::CommandLine::Run(toolPath + arguments, true, output);
}

}  // namespace Korvel::DisplayCalibration::Common::Profile
