// The profiles that the configuration allows for one computer model.
#pragma once

#include <QString>
#include <QStringList>

namespace Korvel::DisplayCalibration::Common::Settings {

class ProfilesFilter {
public:
    ProfilesFilter(const QString& modelName, const QStringList& supportedProfiles);

    QString ModelName() const { return modelName; }
    QStringList SupportedProfiles() const { return supportedProfiles; }
    // The entries of `names` that are supported (case-sensitive), in the order of `names`.
    QStringList FilterProfiles(const QStringList& names) const;

private:
    QString modelName;
    QStringList supportedProfiles;
};

}  // namespace Korvel::DisplayCalibration::Common::Settings
