#include "Common/Settings/ProfilesFilter.h"

namespace Korvel::DisplayCalibration::Common::Settings {

ProfilesFilter::ProfilesFilter(const QString& modelName, const QStringList& supportedProfiles)
    : modelName(modelName), supportedProfiles(supportedProfiles)
{
}

QStringList ProfilesFilter::FilterProfiles(const QStringList& names) const
{
    QStringList result;
    for (const QString& name : names) {
        if (supportedProfiles.contains(name, Qt::CaseSensitive)) {
            result.append(name);
        }
    }
    return result;
}

}  // namespace Korvel::DisplayCalibration::Common::Settings
