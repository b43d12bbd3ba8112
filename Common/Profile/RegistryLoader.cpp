#include "Common/Profile/RegistryLoader.h"

#include "Common/Application/Constants.h"
#include "Common/Exception/OsErrorException.h"
#include "Common/Profile/RegistryLoaderExceptions.h"
#include "Common/Profile/TessalyCommand.h"
#include "Common/Security/EncrypterException.h"
#include "Common/Security/EncrypterFactory.h"
#include "Common/Windows/CommandLine.h"

namespace Common = Korvel::DisplayCalibration::Common;
using namespace Korvel::DisplayCalibration::Common::Profile;

namespace {

// Builds and runs one elevated command; a failure to build or start it becomes `OperationException`
// with the failure's text and no Windows error code.
template <typename OperationException, typename Build>
bool Execute(Build&& build)
{
    try {
        const TessalyCommand command = build();
        QString output;
        return Common::Windows::CommandLine::Run(command.Text(), true, output) == 0;
    } catch (const Common::Exception::OsErrorException& error) {
        throw OperationException(error.what());
    } catch (const Common::Security::EncrypterException& error) {
        throw OperationException(error.what());
    }
}

// Moves every name containing `marker` to the end, once, visiting the names in their order before the move.
void MoveToEnd(QStringList& names, const QString& marker)
{
    const QStringList before = names;
    for (const QString& name : before) {
        if (name.contains(marker, Qt::CaseSensitive)) {
            names.removeAll(name);
            names.append(name);
        }
    }
}

}  // namespace

RegistryLoader::RegistryLoader() : toolPath(TessalyCommand::ToolPath()), panelKey(TessalyCommand::PanelKey()) {}

QString RegistryLoader::EncryptToBase64(const QString& text)
{
    const auto encrypter = Common::Security::EncrypterFactory().CreateSymmetricEncrypter();
    return QString::fromLatin1(encrypter->Encrypt(text.toUtf8()).toBase64());
}

TessalyCommand RegistryLoader::AddCommand(const QString& name, const QString& value) const
{
    return TessalyCommand(toolPath).RegistryPath(panelKey).AddRegistryValue(name, value);
}

TessalyCommand RegistryLoader::RemoveCommand(const QString& name) const
{
    return TessalyCommand(toolPath).RegistryPath(panelKey).RemoveRegistryValue(name);
}

bool RegistryLoader::SetDefaultProfileColorSpace(const QString& colorSpace)
{
    return Execute<SetDefaultProfileColorSpaceException>(
        [&] { return AddCommand(Common::DefaultProfileColorSpaceValue, EncryptToBase64(colorSpace)); });
}

bool RegistryLoader::SetDefaultProfileGamma(const QString& gamma)
{
    return Execute<SetDefaultProfileGammaException>(
        [&] { return AddCommand(Common::DefaultProfileGammaValue, EncryptToBase64(gamma)); });
}

bool RegistryLoader::SetHdrSupported(bool supported)
{
    return Execute<SetHdrSupportedException>(
        [&] { return AddCommand(Common::HdrSupportedValue, EncryptToBase64(supported ? "1" : "0")); });
}

bool RegistryLoader::SetRequiredProfiles(const QStringList& profiles)
{
    return Execute<SetSupportedProfilesException>([&] {
        return AddCommand(Common::RequiredProfilesValue, EncryptToBase64('"' + profiles.join(", ") + '"'));
    });
}

bool RegistryLoader::SetProfileFormat(const QString& format)
{
    return Execute<SetProfileFormatException>(
        [&] { return AddCommand(Common::ProfileFormatValue, EncryptToBase64(format)); });
}

bool RegistryLoader::RemoveDefaultProfileColorSpace()
{
    return Execute<RemoveDefaultProfileColorSpaceException>(
        [&] { return RemoveCommand(Common::DefaultProfileColorSpaceValue); });
}

bool RegistryLoader::RemoveDefaultProfileGamma()
{
    return Execute<RemoveDefaultProfileGammaException>([&] { return RemoveCommand(Common::DefaultProfileGammaValue); });
}

bool RegistryLoader::RemoveHdrSupported()
{
    return Execute<RemoveHdrSupportedException>([&] { return RemoveCommand(Common::HdrSupportedValue); });
}

bool RegistryLoader::RemoveRequiredProfiles()
{
    return Execute<RemoveSupportedProfilesException>([&] { return RemoveCommand(Common::RequiredProfilesValue); });
}

bool RegistryLoader::SetParameter(const QString& key, const QString& value)
{
    return Execute<SetDefaultProfileColorSpaceException>([&] { return AddCommand(key, value); });
}

bool RegistryLoader::SetAllParameters(bool hdrSupported, const QString& colorSpace, const QString& gamma,
                                      QStringList& requiredProfiles, const QString& profileFormat,
                                      const QString& deviceId, const QStringList& profilesToUninstall)
{
    return Execute<SetAllRegistryParametersException>([&] {
        MoveToEnd(requiredProfiles, "Default");
        MoveToEnd(requiredProfiles, "Native");
        const QString encodedColorSpace = EncryptToBase64(colorSpace);
        const QString encodedGamma = EncryptToBase64(gamma);
        const QString encodedHdr = EncryptToBase64(hdrSupported ? "1" : "0");
        const QString encodedProfiles = EncryptToBase64(requiredProfiles.join(","));
        const QString encodedFormat = EncryptToBase64(profileFormat);

        TessalyCommand command = TessalyCommand(toolPath)
                                     .RegistryPath(panelKey)
                                     .AddRegistryValue(Common::HdrSupportedValue, encodedHdr)
                                     .AddRegistryValue(Common::DefaultProfileColorSpaceValue, encodedColorSpace)
                                     .AddRegistryValue(Common::DefaultProfileGammaValue, encodedGamma)
                                     .AddRegistryValue(Common::RequiredProfilesValue, encodedProfiles);
        if (!profileFormat.isNull()) {
            command.AddRegistryValue(Common::ProfileFormatValue, encodedFormat);
        }
        if (!deviceId.isEmpty()) {
            command.AddRegistryValue(Common::DisplayDeviceIdValue, deviceId);
        }
        return command.UninstallProfiles(profilesToUninstall);
    });
}
