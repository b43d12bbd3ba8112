#pragma once

#include "Common/Logging/Loggable.h"
#include "Common/Profile/IProfileModifier.h"
#include "Common/Spectrine/Resource.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>

namespace Korvel::DisplayCalibration::Common::Profile {

class ProfileHelper;

// Rows red, green, blue; each the X, Y, Z of that colorant.
using ColorantMatrix = std::array<std::array<double, 3>, 3>;

// Rebuilds profiles from their measurements and rewrites their colorant tags through the colour
// engine. One object serves one caller at a time; it keeps the parameters and the display-profile
// object of its last rebuild.
class ProfileModifier : public IProfileModifier, public Logging::Loggable {
public:
    ProfileModifier();
    ~ProfileModifier() override;

    bool BuildAndSaveProfile(const QString& path, const double* whitePoint, double luminance, double gamma) override;
    bool ReadMeasurementsFromProfile(const QString& path, int* gammaType) override;

    // Steps of the rebuild.
    // New profile parameters for the profile; failures are logged and leave what was set so far.
    // Throws what the own ProfileHelper throws (GetDeviceIdException when it is made,
    // ReadProfileBrightnessException).
    void RecreateConfiguration(const QString& path, double luminance, double gamma);
    // The measured and target colours of the profile's measurement data; false (logged) on failure.
    bool ReadCxfColors(const QString& path, Spectrine::Chart& measured, Spectrine::Chart& target, std::int32_t& count);
    // The measurement text of the target and measured colours with the held parameters; null
    // (logged) when any step fails or the text is empty.
    KVUniStringRef CreateCxfBuffer(const KVColorRef* target, const KVColorRef* measured, std::int32_t count);
    // Hands the patches to the held display-profile object; false (logged) on failure.
    bool SetPatches(const KVColorRef* target, const KVColorRef* scaled, std::int32_t count);
    // Logs the title and each colour's coordinates at DEBUG.
    void LogColors(const KVColorRef* chart, std::int32_t count, const char* title);

    // Colorant tags ('rXYZ', 'gXYZ', 'bXYZ'). Paths of 255 characters or more are refused.
    // Sets the tag to the new X, Y, Z (`values`) when one differs from the stored one by more than
    // 0.005; true when the tag holds the new values or needed no change.
    bool editRgbXyzTag(KVEditableICCProfileRef profile, KVStatus* status, std::uint32_t signature,
                       const double* values, bool* changed);
    // The profile's colorant tags; true when the matrix was filled.
    bool GetRgbXyzTagValues(const QString& path, ColorantMatrix& matrix);
    // The colorants of a standard colour space (engine code: 0 Adobe RGB, 1 sRGB, 3 P3) adapted to
    // D50, negative coordinates made 0; true when the matrix was filled.
    bool getChromaticity(int standard, ColorantMatrix& matrix);
    // Writes the matrix into the colorant tags of `source` and saves it to `destination` (also
    // when nothing changed); true when all three tags were handled and the file was saved.
    bool EditRgbXyzTagsInFile(const QString& source, const QString& destination, const ColorantMatrix& matrix,
                              bool* changed);
    bool EditRgbXyzTags(const QString& path, const ColorantMatrix& matrix);
    // Writes `source` to `destination` as the engine saves it, colorants unchanged; true when it
    // was written.
    bool ResaveProfile(const QString& source, const QString& destination);

private:
    void SetWhitePoint();
    void SetToneCurve(const QString& path, double gamma);
    void SetTargetLuminance(double luminance);
    void SetProfileVersion();
    void SetBaseProfileAttributes(const QString& path);
    void SetDisplayProfileAttributes();
    // Opens an editable profile (logged on failure).
    KVEditableICCProfileRef OpenEditable(const QString& path, KVStatus* status);
    ProfileHelper& OwnProfileHelper();

    std::unique_ptr<ProfileHelper> profileHelper;  // made on first use
    bool hasInternalLuts = false;
    double contrastRatio = 0.0;
    double blackLuminance = 0.0;
    double ambient = 0.0;
    int whitePointCode = 2;
    int initialPatchSets = 3;
    int iterativeGridPoints = 2;
    Spectrine::ProfileParams profileParams;
    Spectrine::DisplayProfileObject displayProfileObject;
};

class ProfileModifierFactory : public IProfileModifierFactory {
public:
    IProfileModifier* Create() override;
};

}  // namespace Korvel::DisplayCalibration::Common::Profile
