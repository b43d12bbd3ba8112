#pragma once

#include "Common/Profile/PreparedFrom.h"

#include <QString>
#include <QStringList>

namespace Korvel::DisplayCalibration::Common::Profile {

// Every Windows colour-management operation on the internal display. The operations that need
// administrator rights run an elevated Tessaly command; failures are thrown as the operation's
// exception (ProfileHelperExceptions.h).
class IProfileHelper {
public:
    virtual ~IProfileHelper() = default;

    virtual const QString& ColorDirectory() const = 0;
    virtual void EnableColorCalibration() = 0;
    virtual void DisableColorCalibration() = 0;
    virtual bool GetColorCalibrationState() = 0;
    virtual void InstallProfile(const QString& path) = 0;
    // The value texts are stored as given (the caller encodes them). Paths that are copies of installed
    // profiles name those in `preparedFrom` (PreparedFrom.h): when one changed since it was read,
    // nothing is installed and ProfileChangedException's text is the failure's.
    virtual void InstallProfilesWithPanelInfo(const QStringList& paths, const QString& hdrSupported,
                                              const QString& defaultProfileColorSpace,
                                              const QString& defaultProfileGamma, const QString& requiredProfiles,
                                              const QString& profileFormat,
                                              const PreparedFrom& preparedFrom = PreparedFrom()) = 0;
    virtual void InstallProfiles(const QStringList& paths) = 0;
    virtual void InstallProfilesRemovingPanelInfo(const QStringList& paths) = 0;
    virtual void UninstallProfile(const QString& name) = 0;
    virtual void UninstallProfiles(const QStringList& names) = 0;
    virtual void UninstallProfilesWithRequiredProfiles(const QStringList& names, const QString& requiredProfiles) = 0;
    virtual bool IsProfileInstalled(const QString& name) = 0;
    virtual void InstallHdr10ProfilesWithPanelInfo(const QStringList& paths, const QString& hdr10Supported,
                                                   const QString& requiredProfilesHdr10) = 0;
    virtual void DisassociateProfile(const QString& profile) = 0;
    virtual void AssociateProfile(const QString& profile) = 0;
    virtual void DisassociateSrgbProfile() = 0;
    virtual void AssociateSrgbProfile() = 0;
    virtual void ActivateProfile(const QString& name, bool advancedColor) = 0;
    virtual void ActivateSrgbProfile() = 0;
    virtual void RemoveAdvancedColorAssociation(const QString& name) = 0;
    // The display's default SDR (advanced-colour) profile. Throws ReadActiveProfileException; its code
    // is ERROR_FILE_NOT_FOUND (ERROR_NOT_FOUND) when no default is set, another one when it cannot be read.
    virtual QString ReadActiveProfile(bool advancedColor) = 0;
    virtual QString ReadActiveHdrProfile(bool extended) = 0;
    // Throws ReadUserProfileListException when the setting cannot be read.
    virtual bool IsUserProfileListEnabled() = 0;
    virtual void EnableUserProfileList() = 0;
    virtual void DisableUserProfileList() = 0;
    // Both throw ReadProfileBrightnessException when the file cannot be read; a file that is no
    // profile carries no metadata.
    virtual bool HasBrightnessMetadata(const QString& path) = 0;
    virtual int ReadProfileBrightness(const QString& path) = 0;
    virtual void RemoveInstalledSdrProfiles() = 0;
    virtual void RemoveInstalledHdr10Profiles() = 0;
    virtual const QString& GetDeviceId() const = 0;
    // Installs each of `paths` (corrected copies of installed profiles) in place of the installed
    // profile of its file name, and nothing else: no profile is uninstalled. A replaced profile loses
    // its associations and defaults. Refused as a whole (InstallProfileException, nothing changed)
    // when an installed file of `preparedFrom` changed since it was read.
    virtual void InstallCorrectedProfiles(const QStringList& paths, const PreparedFrom& preparedFrom) = 0;
};

class IProfileHelperFactory {
public:
    virtual ~IProfileHelperFactory() = default;
    // A new helper owned by the caller; construction failures propagate.
    virtual IProfileHelper* Create() = 0;
};

}  // namespace Korvel::DisplayCalibration::Common::Profile
