#pragma once

#include "Common/Profile/IRegistryLoader.h"
#include "Common/Profile/TessalyCommand.h"

// The panel values live under "HKEY_LOCAL_MACHINE\SOFTWARE\Korvel Inc\<application name>\PanelInfo".
// Every name and value reaches the tool exactly, or is refused (TessalyCommand) with the
// operation's exception before anything runs.
class RegistryLoader : public IRegistryLoader {
public:
    RegistryLoader();

    bool SetDefaultProfileColorSpace(const QString& colorSpace) override;
    bool SetDefaultProfileGamma(const QString& gamma) override;
    bool SetHdrSupported(bool supported) override;
    // Stored as the names joined with ", " within double quotes.
    bool SetRequiredProfiles(const QStringList& profiles) override;
    bool SetProfileFormat(const QString& format) override;
    bool RemoveDefaultProfileColorSpace() override;
    bool RemoveDefaultProfileGamma() override;
    bool RemoveHdrSupported() override;
    bool RemoveRequiredProfiles() override;

    // Stores the value as given (not encrypted). Throws SetDefaultProfileColorSpaceException.
    bool SetParameter(const QString& key, const QString& value);
    // One command: the panel values (the required names joined with ","; "ProfileFormat" unless
    // the format is null; "DisplayDeviceId" in plain text unless empty), then the uninstallation
    // of `profilesToUninstall`. Names containing "Default", then "Native", are moved to the end
    // of `requiredProfiles` (duplicates of them dropped). Throws SetAllRegistryParametersException.
    bool SetAllParameters(bool hdrSupported, const QString& colorSpace, const QString& gamma,
                          QStringList& requiredProfiles, const QString& profileFormat, const QString& deviceId,
                          const QStringList& profilesToUninstall);

    // The UTF-8 text AES-encrypted and Base64-encoded. Throws EncrypterException.
    static QString EncryptToBase64(const QString& text);

private:
    Korvel::DisplayCalibration::Common::Profile::TessalyCommand AddCommand(const QString& name,
                                                                          const QString& value) const;
    Korvel::DisplayCalibration::Common::Profile::TessalyCommand RemoveCommand(const QString& name) const;

    QString toolPath;
    QString panelKey;
};
