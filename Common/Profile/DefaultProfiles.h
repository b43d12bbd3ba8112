#pragma once

#include <QString>

namespace Korvel::DisplayCalibration::Common::Profile {

class IProfileHelper;

// The internal display's default SDR and advanced-colour profiles at one moment, so that a road that
// changes them and then fails can put them back.
class DefaultProfiles {
public:
    // Reads both defaults; one that is not set (or cannot be read) stays empty.
    static DefaultProfiles Read(IProfileHelper& helper);

    // Makes the read defaults the display's defaults again where the current ones differ. An
    // advanced-colour default that was not set is removed again; an SDR default that was not set is
    // left as it is (Windows has no way back to none). False, with the helper's text in `failure`,
    // when a default could not be put back.
    bool PutBack(IProfileHelper& helper, QString& failure) const;

    const QString& Sdr() const { return sdr; }
    const QString& AdvancedColor() const { return advancedColor; }

private:
    QString sdr;
    QString advancedColor;
};

}  // namespace Korvel::DisplayCalibration::Common::Profile
