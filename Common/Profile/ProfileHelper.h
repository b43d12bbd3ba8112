#pragma once

#include "Common/Profile/IProfileHelper.h"
#include "Common/Profile/ProfileHelperExceptions.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

struct LUID;

namespace Korvel::DisplayCalibration::Common::Profile {

class TessalyCommand;

class ProfileHelper : public IProfileHelper {
public:
    // Settles the internal display's device name and ID, the colour directory and the Tessaly path.
    // Throws GetDeviceIdException or GetColorDirectoryPathException.
    ProfileHelper();
    ~ProfileHelper() override = default;

    const QString& ColorDirectory() const override;
    void EnableColorCalibration() override;
    void DisableColorCalibration() override;
    bool GetColorCalibrationState() override;
    void InstallProfile(const QString& path) override;
    void InstallProfilesWithPanelInfo(const QStringList& paths, const QString& hdrSupported,
                                      const QString& defaultProfileColorSpace, const QString& defaultProfileGamma,
                                      const QString& requiredProfiles, const QString& profileFormat,
                                      const PreparedFrom& preparedFrom = PreparedFrom()) override;
    void InstallProfiles(const QStringList& paths) override;
    void InstallProfilesRemovingPanelInfo(const QStringList& paths) override;
    void UninstallProfile(const QString& name) override;
    void UninstallProfiles(const QStringList& names) override;
    void UninstallProfilesWithRequiredProfiles(const QStringList& names, const QString& requiredProfiles) override;
    bool IsProfileInstalled(const QString& name) override;
    void InstallHdr10ProfilesWithPanelInfo(const QStringList& paths, const QString& hdr10Supported,
                                           const QString& requiredProfilesHdr10) override;
    void DisassociateProfile(const QString& profile) override;
    void AssociateProfile(const QString& profile) override;
    void DisassociateSrgbProfile() override;
    void AssociateSrgbProfile() override;
    void ActivateProfile(const QString& name, bool advancedColor) override;
    void ActivateSrgbProfile() override;
    void RemoveAdvancedColorAssociation(const QString& name) override;
    QString ReadActiveProfile(bool advancedColor) override;
    QString ReadActiveHdrProfile(bool extended) override;
    bool IsUserProfileListEnabled() override;
    void EnableUserProfileList() override;
    void DisableUserProfileList() override;
    bool HasBrightnessMetadata(const QString& path) override;
    int ReadProfileBrightness(const QString& path) override;
    void RemoveInstalledSdrProfiles() override;
    void RemoveInstalledHdr10Profiles() override;
    const QString& GetDeviceId() const override;
    void InstallCorrectedProfiles(const QStringList& paths, const PreparedFrom& preparedFrom) override;

    // The LUIDs of the hardware graphics adapters in DXGI's order (software adapters left out).
    static std::vector<LUID> FindAdapter();

protected:
    // The Windows colour directory as GetColorDirectoryA gives it; throws GetColorDirectoryPathException.
    static QString ReadColorDirectory();
    // The file names of the installed SDR set and HDR10 set, which RemoveInstalledSdrProfiles and
    // RemoveInstalledHdr10Profiles remove.
    QStringList InstalledSdrSet() const;
    QStringList InstalledHdr10Set() const;

private:
    QString DisplayDeviceId() const;
    // True when the profile's metadata holds a "Brightness" value.
    static bool CarriesBrightnessMetadata(const QString& path);
    // Runs a Tessaly command line elevated; returns the run's result.
    std::uint32_t RunTool(const TessalyCommand& command, QString& output) const;
    // Reads the adapter-level default profile of `subType` from the first adapter that has one.
    QString ReadAdapterDefault(int subType);

    QString deviceName;
    QString deviceId;
    QString colorDirectory;
    QString toolPath;
    std::int32_t defaultBrightness = 100;
};

class ProfileHelperFactory : public IProfileHelperFactory {
public:
    IProfileHelper* Create() override;
};

}  // namespace Korvel::DisplayCalibration::Common::Profile
