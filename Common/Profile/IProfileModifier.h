#pragma once

#include <QString>

namespace Korvel::DisplayCalibration::Common::Profile {

// Rebuilds display profiles from the measurement data they carry.
class IProfileModifier {
public:
    virtual ~IProfileModifier() = default;

    // Rebuilds the profile at `path` from its measurements scaled to the white (`whitePoint`: x, y;
    // `luminance`: Y in cd/m²) with the tone curve of `gamma` (> 0 a power law, -1 sRGB, -2 BT.1886,
    // -3 DICOM) and saves it over the file; true when it was saved. Nothing is saved when the
    // measurements cannot be read or used.
    virtual bool BuildAndSaveProfile(const QString& path, const double* whitePoint, double luminance, double gamma) = 0;
    // True when the profile carries measurement data of at least 5 colours; only then is the gamma
    // type of the stored parameters written to `gammaType`.
    virtual bool ReadMeasurementsFromProfile(const QString& path, int* gammaType) = 0;
};

class IProfileModifierFactory {
public:
    virtual ~IProfileModifierFactory() = default;
    // A new modifier owned by the caller.
    virtual IProfileModifier* Create() = 0;
};

}  // namespace Korvel::DisplayCalibration::Common::Profile
