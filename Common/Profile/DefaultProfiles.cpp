#include "Common/Profile/DefaultProfiles.h"

#include "Common/Profile/IProfileHelper.h"
#include "Common/Profile/ProfileHelperExceptions.h"

#include <exception>

namespace Korvel::DisplayCalibration::Common::Profile {
namespace {

// The display's default of one mode; empty when none is set.
QString ReadDefault(IProfileHelper& helper, bool advancedColor)
{
    try {
        return helper.ReadActiveProfile(advancedColor);
    } catch (const ReadActiveProfileException&) {
        return QString();
    }
}

}  // namespace

DefaultProfiles DefaultProfiles::Read(IProfileHelper& helper)
{
    DefaultProfiles defaults;
    defaults.sdr = ReadDefault(helper, false);
    defaults.advancedColor = ReadDefault(helper, true);
    return defaults;
}

bool DefaultProfiles::PutBack(IProfileHelper& helper, QString& failure) const
{
    try {
        const QString currentAdvancedColor = ReadDefault(helper, true);
        if (currentAdvancedColor.compare(advancedColor, Qt::CaseInsensitive) != 0) {
            if (advancedColor.isEmpty()) {
                helper.RemoveAdvancedColorAssociation(currentAdvancedColor);
            } else {
                helper.ActivateProfile(advancedColor, true);
            }
        }
        if (!sdr.isEmpty() && ReadDefault(helper, false).compare(sdr, Qt::CaseInsensitive) != 0) {
            helper.ActivateProfile(sdr, false);
        }
        return true;
    } catch (const std::exception& error) {
        failure = QString::fromUtf8(error.what());
        return false;
    }
}

}  // namespace Korvel::DisplayCalibration::Common::Profile
