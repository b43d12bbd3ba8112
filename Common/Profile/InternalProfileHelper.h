#pragma once

#include "Common/Profile/ProfileHelper.h"

namespace Korvel::DisplayCalibration::Common::Profile {

// The profile helper of the elevated tool: the operations that ProfileHelper hands to Tessaly
// are done in-process here.
class InternalProfileHelper : public ProfileHelper {
public:
    // Switches calibration management unconditionally.
    void EnableColorCalibration() override;
    void DisableColorCalibration() override;
    // Installs machine-wide, replacing an installed profile of the same file name. The old profile
    // is put back when the new one cannot be installed. `path` may use "\" separators.
    void InstallProfile(const QString& path) override;
    void InstallProfiles(const QStringList& paths) override;
    // Uninstalls and deletes an installed profile; a name that is not installed is no error. A name
    // that is no plain file name is refused.
    void UninstallProfile(const QString& name) override;
    void UninstallProfiles(const QStringList& names) override;
};

}  // namespace Korvel::DisplayCalibration::Common::Profile
