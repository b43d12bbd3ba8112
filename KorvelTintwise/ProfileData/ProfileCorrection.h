// Pieces of the profile corrections shared by the restorer and the tray program's own correction
// run: which colorants a profile is corrected towards, the generic native HDR profile, and the
// reading and writing of profile descriptions.
#pragma once

#include "Common/Profile/ProfileModifier.h"

#include <QString>

#include <optional>

namespace ProfileCorrection {

using Korvel::DisplayCalibration::Common::Profile::ColorantMatrix;
using Korvel::DisplayCalibration::Common::Profile::ProfileModifier;

// A native HDR profile whose white luminance (cd/m²) is below this is replaced by the generic one.
inline constexpr double GenericNativeHdrThreshold = 550.0;
// The generic native HDR profile compiled into the program (its file name is spelled so).
inline const QString GenericNativeHdrFileName = QStringLiteral("Generice_Native_HDR.icm");
inline const QString GenericNativeHdrResource = QStringLiteral(":/NativeHdr/Generice_Native_HDR.icm");

// What a profile's colorant tags are set to, by the profile type its measurement data records and
// its colour-space kind (ColorSpaceKind).
struct ColorantTarget {
    enum Source {
        NotMhc2,         // not an MHC2 profile: its tags stay
        Unchanged,       // an MHC2 profile without a target (BT.2020): its tags stay
        DefaultProfile,  // the Default profile's own colorants
        Standard,        // those of the standard colour space `standard` (engine code)
    };
    Source source = NotMhc2;
    int standard = -1;
};
ColorantTarget ColorantTargetFor(int profileType, int colorSpaceKind);
// Fills `matrix` with the target's colorants; false when the target has none or they cannot be
// read or made (the matrix is then unchanged).
bool ReadColorantTarget(ProfileModifier& modifier, const ColorantTarget& target, const QString& defaultProfilePath,
                        ColorantMatrix& matrix);

// Puts the generic native HDR profile at `target` through a copy named GenericNativeHdrFileName in
// `directory`, which replaces the target only once complete. False, with the reason in `error`,
// leaves the target as it was.
bool PutGenericNativeHdrProfile(const QString& directory, const QString& target, QString& error);

// Longest path or description the engine's fixed buffers hold (characters).
inline constexpr qsizetype MaxEngineTextLength = 254;

// The description of the profile at `path` as the engine reads it (empty when it has none);
// nothing when the engine cannot open the profile.
std::optional<QString> ReadProfileDescription(const QString& path);

enum class DescriptionWrite { Written, TooLong, NotOpened, NotWritten };
// Sets the description of the profile at `path` and saves the profile there.
DescriptionWrite WriteProfileDescription(const QString& path, const QString& description);

}  // namespace ProfileCorrection
