// Tessaly: carries out, with administrator rights, the colour-management and registry work that
// its command line names, prints what happened and ends with an exit code.
#include "Tessaly/Output.h"
#include "Tessaly/ProfileCommands.h"

#include "Common/Exception/OsErrorException.h"
#include "Common/Windows/RegistryHelper.h"
#include "Common/Windows/ServiceHelper.h"
#include "WindowsStandIn/SystemInfo.h"
#include "WindowsStandIn/Time.h"
#include "WindowsStandIn/Win32.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <exception>
#include <functional>

namespace {

using Korvel::DisplayCalibration::Common::Exception::OsErrorException;
using Korvel::DisplayCalibration::Common::Windows::DisplayEnhancementServiceName;
using Korvel::DisplayCalibration::Common::Windows::RegistryHelper;
using Korvel::DisplayCalibration::Common::Windows::ServiceHelper;
using Tessaly::Out;

const char* const Description =
    "Executes color calibration related operations which requires Administrative privileges.Requires "
    "Administrative privileges.Supported color calibration operations:   - Enable Color Calibration,   - Disable "
    "Color Calibration,   - Install Color Profile,   - Uninstall Color Profile,   - Add Registry Key,   - Update "
    "Registry Value and   - Remove Registry Key.";

// Stops the display enhancement service (not on Windows 11), waits a second, runs `command` and
// starts the service again after a successful stop, whatever the command's outcome.
int ServiceGuarded(ServiceHelper& services, bool windows11, const std::function<int()>& command)
{
    if (!windows11) {
        const std::uint32_t stopped = services.StopService(DisplayEnhancementServiceName);
        if (stopped != 0) {
            Out() << "Failed to stop \"Display Enhancement Service\". Please stop it manually.";
            Out().flush();
            return Tessaly::FailureExitCode(stopped);
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

// Text of a failed registry write.
QString Reason(std::uint32_t code)
{
    return QString::fromStdString(OsErrorException(std::int32_t(code), std::string()).what());
}

// Sets each key to the value at the position of the key's first occurrence. A key without a value
// at that position is skipped; returns the first refused write's code.
std::uint32_t SetValues(RegistryHelper& registry, const QString& path, const QStringList& keys,
                        const QStringList& values)
{
    std::uint32_t failure = 0;
    for (const QString& key : keys) {
        const qsizetype position = keys.indexOf(key);
        if (position >= values.size()) {
            continue;
        }
        const std::uint32_t result = registry.SetValue(path, key, values[position]);
        if (result != 0 && result != ERROR_INVALID_PARAMETER) {
            Out() << "Failed to set registry value " << key << "." << Qt::endl << "Reason: " << Reason(result)
                  << Qt::endl;
            failure = failure != 0 ? failure : result;
        }
    }
    return failure;
}

int Main(QCoreApplication& application)
{
    QCommandLineParser parser;
    RegistryHelper registry;
    ServiceHelper services;
    QString registryPath;

    parser.setApplicationDescription(QString::fromLatin1(Description));
    const auto option = [](const char* name, const char* description, const char* valueName) {
        return QCommandLineOption(QString::fromLatin1(name), QCoreApplication::translate("main", description),
                                  QString::fromLatin1(valueName));
    };
    QCommandLineOption colorCalibration = option("color-calibration", "ColorCalibration option.", "colorcalibration");
    colorCalibration.setDefaultValue(QStringLiteral("disabled"));
    const QCommandLineOption installProfile = option("install-profile", "InstallProfile option.", "installprofile");
    const QCommandLineOption installProfileHdr10 =
        option("install-profile-hdr10", "InstallProfile Hdr10 option.", "installprofilehdr10");
    const QCommandLineOption uninstallProfile =
        option("uninstall-profile", "UninstallProfile option.", "uninstallprofile");
    const QCommandLineOption setRegistryPath =
        option("set-registry-path", "SetRegistryPathOption option.", "setregistrypathoption");
    const QCommandLineOption addRegistryKey = option("add-registry-key", "AddRegistryKey option.", "addregistrykey");
    const QCommandLineOption updateRegistryKey =
        option("update-registry-key", "AddRegistryKey option.", "updateregistrykey");
    const QCommandLineOption removeRegistryKey =
        option("remove-registry-key", "RemoveRegistryKey option.", "removeregistrykey");
    const QCommandLineOption registryValue = option("registry-value", "RegistryValue option.", "registryvalue");
    parser.addOptions({colorCalibration, installProfile, installProfileHdr10, uninstallProfile, setRegistryPath,
                       addRegistryKey, updateRegistryKey, removeRegistryKey, registryValue});
    parser.process(application);

    const bool windows11 = WinSim::ProductVersion().toUInt() == 11;
    Out() << "Current Product Version:" << WinSim::PrettyProductName();
    Out().flush();

    bool workDone = false;
    if (parser.isSet(colorCalibration)) {
        const QString value = parser.value(colorCalibration);
        if (value.compare(QLatin1String("enabled"), Qt::CaseInsensitive) == 0) {
            return Tessaly::EnableColorCalibrationCommand();
        }
        if (value.compare(QLatin1String("disabled"), Qt::CaseInsensitive) == 0) {
            return Tessaly::DisableColorCalibrationCommand();
        }
    } else if (parser.isSet(installProfile)) {
        const QStringList paths = parser.values(installProfile);
        if (const int rc = ServiceGuarded(services, windows11, [&] { return Tessaly::InstallProfilesCommand(paths); })) {
            return rc;
        }
        workDone = true;
    } else if (parser.isSet(installProfileHdr10)) {
        const QStringList paths = parser.values(installProfileHdr10);
        if (const int rc =
                ServiceGuarded(services, windows11, [&] { return Tessaly::InstallHdr10ProfilesCommand(paths); })) {
            return rc;
        }
        workDone = true;
    } else if (parser.isSet(uninstallProfile)) {
        const QStringList names = parser.values(uninstallProfile);
        if (const int rc =
                ServiceGuarded(services, windows11, [&] { return Tessaly::UninstallProfilesCommand(names); })) {
            return rc;
        }
        workDone = true;
    }

    std::uint32_t registryFailure = 0;
    if (parser.isSet(setRegistryPath)) {
        registryPath = parser.values(setRegistryPath).constLast();
        workDone = true;
    }
    if (parser.isSet(addRegistryKey) && parser.isSet(registryValue)) {
        const std::uint32_t result =
            SetValues(registry, registryPath, parser.values(addRegistryKey), parser.values(registryValue));
        registryFailure = registryFailure != 0 ? registryFailure : result;
        workDone = true;
    }
    if (parser.isSet(updateRegistryKey) && parser.isSet(registryValue)) {
        const std::uint32_t result =
            SetValues(registry, registryPath, parser.values(updateRegistryKey), parser.values(registryValue));
        registryFailure = registryFailure != 0 ? registryFailure : result;
        workDone = true;
    }
    if (parser.isSet(removeRegistryKey)) {
        for (const QString& key : parser.values(removeRegistryKey)) {
            const std::uint32_t result = registry.RemoveValue(registryPath, key);
            if (result != 0 && result != ERROR_INVALID_PARAMETER) {
                Out() << "Failed to remove registry value " << key << "." << Qt::endl << "Reason: " << Reason(result)
                      << Qt::endl;
                registryFailure = registryFailure != 0 ? registryFailure : result;
            }
        }
    }
    if (registryFailure != 0) {
        return Tessaly::FailureExitCode(registryFailure);
    }
    if (!parser.isSet(removeRegistryKey) && !workDone) {
        Out() << parser.helpText() << Qt::endl;
        return ERROR_BAD_ARGUMENTS;
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    try {
        return Main(application);
    } catch (const OsErrorException& error) {
        Out() << Qt::endl << "Reason: " << QString::fromUtf8(error.what()) << Qt::endl;
        return Tessaly::FailureExitCode(std::uint32_t(error.Code()));
    } catch (const std::exception& error) {
        Out() << Qt::endl << "Reason: " << QString::fromUtf8(error.what()) << Qt::endl;
        return Tessaly::FailureExitCode(0);
    }
}
