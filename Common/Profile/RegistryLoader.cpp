#include "Common/Profile/RegistryLoader.h"

#include "Common/Application/Constants.h"
#include "Common/Exception/OsErrorException.h"
#include "Common/Profile/RegistryLoaderExceptions.h"
#include "Common/Security/EncrypterException.h"
#include "Common/Security/EncrypterFactory.h"
#include "Common/Windows/CommandLine.h"

#include <QCoreApplication>
#include <QDir>

namespace Common = Korvel::DisplayCalibration::Common;
using namespace Korvel::DisplayCalibration::Common::Profile;

namespace {

// One command-line argument in double quotes. A double quote inside would end the quoting for cmd
// and is refused.
QString QuoteValue(const QString& value)
{
    if (value.contains('"')) {
        throw Common::Exception::OsErrorException("A registry value must not contain a double quote.");
    }
    return Common::Windows::CommandLine::QuoteArgument(value);
}

QString RegistryPair(const QString& name, const QString& value)
{
    return " --add-registry-key " + QuoteValue(name) + " --registry-value " + QuoteValue(value);
}

// Builds and runs one elevated command; a failure to build or start it becomes `OperationException`
// with the failure's text and no Windows error code.
template <typename OperationException, typename Build>
bool Execute(Build&& build)
{
    try {
        const QString command = build();
        QString output;
        return Common::Windows::CommandLine::Run(command, true, output) == 0;
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

RegistryLoader::RegistryLoader()
    : toolPath(Common::Windows::CommandLine::QuotePath(QDir(QCoreApplication::applicationDirPath()).filePath(Common::ElevatedToolFileName))),
      panelKey('"' + Common::MakerMachineKey + QCoreApplication::applicationName() + "\\" + Common::PanelInfoGroup + '"')
{
}

QString RegistryLoader::EncryptToBase64(const QString& text)
{
    const auto encrypter = Common::Security::EncrypterFactory().CreateSymmetricEncrypter();
    return QString::fromLatin1(encrypter->Encrypt(text.toUtf8()).toBase64());
}

QString RegistryLoader::AddCommand(const QString& name, const QString& value) const
{
    return toolPath + " --set-registry-path " + panelKey + RegistryPair(name, value);
}

QString RegistryLoader::RemoveCommand(const QString& name) const
{
    return toolPath + " --set-registry-path " + panelKey + " --remove-registry-key " + QuoteValue(name);
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

        QString command = toolPath + " --set-registry-path " + panelKey;
        command += RegistryPair(Common::HdrSupportedValue, encodedHdr);
        command += RegistryPair(Common::DefaultProfileColorSpaceValue, encodedColorSpace);
        command += RegistryPair(Common::DefaultProfileGammaValue, encodedGamma);
        command += RegistryPair(Common::RequiredProfilesValue, encodedProfiles);
        if (!profileFormat.isNull()) {
            command += RegistryPair(Common::ProfileFormatValue, encodedFormat);
        }
        if (!deviceId.isEmpty()) {
            command += RegistryPair(Common::DisplayDeviceIdValue, deviceId);
        }
        for (const QString& profile : profilesToUninstall) {
            command += " --uninstall-profile " + Common::Windows::CommandLine::QuotePath(profile) + " ";
        }
        return command;
    });
}
