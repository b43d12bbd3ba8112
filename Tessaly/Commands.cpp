#include "Tessaly/Commands.h"

#include "Tessaly/Output.h"
#include "Tessaly/ProfileCommands.h"

#include "Common/Exception/OsErrorException.h"
#include "Common/Profile/InternalProfileHelper.h"
#include "Common/Windows/RegistryHelper.h"
#include "Common/Windows/ServiceHelper.h"
#include "WindowsStandIn/SystemInfo.h"
#include "WindowsStandIn/Time.h"
#include "WindowsStandIn/Win32.h"

#include <exception>
#include <functional>

namespace Tessaly {
namespace {

using Korvel::DisplayCalibration::Common::Exception::OsErrorException;
using Korvel::DisplayCalibration::Common::Profile::InternalProfileHelper;
using Korvel::DisplayCalibration::Common::Windows::DisplayEnhancementServiceName;
using Korvel::DisplayCalibration::Common::Windows::RegistryHelper;
using Korvel::DisplayCalibration::Common::Windows::ServiceHelper;

// Text of a failed call's code.
QString Reason(std::uint32_t code)
{
    return QString::fromStdString(OsErrorException(std::int32_t(code), std::string()).what());
}

// Stops the display enhancement service (not on Windows 11), waits a second, runs `command` and
// starts the service again after a successful stop, whatever the command's outcome.
int ServiceGuarded(bool windows11, const std::function<int()>& command)
{
    ServiceHelper services;
    if (!windows11) {
        const std::uint32_t stopped = services.StopService(DisplayEnhancementServiceName);
        if (stopped != 0) {
            Out() << "Failed to stop \"Display Enhancement Service\". Please stop it manually." << Qt::endl
                  << "Reason: " << Reason(stopped) << Qt::endl;
            return FailureExitCode(stopped);
        }
    }
    WinSim::Pause(1000);
    int result = 0;
    try {
        result = command();
    } catch (...) {
        if (!windows11) {
            services.StartService(DisplayEnhancementServiceName);
        }
        throw;
    }
    if (!windows11) {
        services.StartService(DisplayEnhancementServiceName);
    }
    return result;
}

// Reports a refused registry write; returns the first failure's code.
std::uint32_t Report(std::uint32_t failure, std::uint32_t result, const char* action, const QString& key)
{
    if (result == 0 || result == ERROR_INVALID_PARAMETER) {
        return failure;
    }
    Out() << "Failed to " << action << " registry value " << key << "." << Qt::endl << "Reason: " << Reason(result)
          << Qt::endl;
    return failure != 0 ? failure : result;
}

// Sets each key to the value at the position of the key's first occurrence. A key without a value
// at that position is skipped; returns the first refused write's code.
std::uint32_t SetValues(RegistryHelper& registry, const QString& path, const QStringList& keys,
                        const QStringList& values)
{
    std::uint32_t failure = 0;
    for (const QString& key : keys) {
        const qsizetype position = keys.indexOf(key);
        if (position < values.size()) {
            failure = Report(failure, registry.SetValue(path, key, values[position]), "set", key);
        }
    }
    return failure;
}

// The registry options, in order; returns the first refused write's code.
std::uint32_t ApplyRegistryOptions(const Options& options, bool& workDone)
{
    RegistryHelper registry;
    const QString path = options.registryPath.value_or(QString());
    workDone = workDone || options.registryPath.has_value();
    std::uint32_t failure = 0;
    if (!options.registryValues.isEmpty()) {
        for (const QStringList* keys : {&options.addRegistryKeys, &options.updateRegistryKeys}) {
            if (!keys->isEmpty()) {
                const std::uint32_t result = SetValues(registry, path, *keys, options.registryValues);
                failure = failure != 0 ? failure : result;
                workDone = true;
            }
        }
    }
    for (const QString& key : options.removeRegistryKeys) {
        failure = Report(failure, registry.RemoveValue(path, key), "remove", key);
    }
    return failure;
}

int Dispatch(const Options& options)
{
    const bool windows11 = WinSim::ProductVersion().toUInt() == 11;
    Out() << "Current Product Version:" << WinSim::PrettyProductName();
    Out().flush();
    // A profile installation that a killed run left is finished or undone before anything else.
    InternalProfileHelper::RecoverInterruptedInstall();

    bool workDone = false;
    if (options.colorCalibration) {
        if (options.colorCalibration->compare(QLatin1String("enabled"), Qt::CaseInsensitive) == 0) {
            return EnableColorCalibrationCommand();
        }
        if (options.colorCalibration->compare(QLatin1String("disabled"), Qt::CaseInsensitive) == 0) {
            return DisableColorCalibrationCommand();
        }
    } else {
        std::function<int()> command;
        if (!options.installProfiles.isEmpty()) {
            command = [&] { return InstallProfilesCommand(options.installProfiles, options.preparedFrom); };
        } else if (!options.installHdr10Profiles.isEmpty()) {
            command = [&] { return InstallHdr10ProfilesCommand(options.installHdr10Profiles, options.preparedFrom); };
        } else if (!options.replaceProfiles.isEmpty()) {
            command = [&] { return ReplaceProfilesCommand(options.replaceProfiles, options.preparedFrom); };
        } else if (!options.uninstallProfiles.isEmpty()) {
            command = [&] { return UninstallProfilesCommand(options.uninstallProfiles); };
        }
        if (command) {
            if (const int result = ServiceGuarded(windows11, command)) {
                return result;
            }
            workDone = true;
        }
    }

    if (const std::uint32_t failure = ApplyRegistryOptions(options, workDone)) {
        return FailureExitCode(failure);
    }
    if (options.removeRegistryKeys.isEmpty() && !workDone) {
        Out() << HelpText() << Qt::endl;
        return ERROR_BAD_ARGUMENTS;
    }
    return 0;
}

}  // namespace

int Execute(const Options& options)
{
    try {
        return Dispatch(options);
    } catch (const std::exception& error) {
        const auto* osError = dynamic_cast<const OsErrorException*>(&error);
        Out() << Qt::endl << "Reason: " << QString::fromUtf8(error.what()) << Qt::endl;
        return FailureExitCode(osError != nullptr ? std::uint32_t(osError->Code()) : 0);
    }
}

}  // namespace Tessaly
