#include "Common/Profile/ProfileModifier.h"

#include "Common/Profile/ProfileHelper.h"

#include <QByteArray>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace Korvel::DisplayCalibration::Common::Profile {

namespace {

using namespace Logging;
using Spectrine::Chart;
using Spectrine::Color;
using Spectrine::Cxf3Stream;
using Spectrine::EditableProfile;
using Spectrine::NameValueMap;
using Spectrine::UniString;

constexpr int MinimumColorCount = 5;
constexpr double SignificantChange = 0.005;
// Far below the tags' resolution (1/65536): a difference of 0.005 computed in doubles counts as 0.005.
constexpr double Rounding = 1e-9;
constexpr double ResaveRaise = 0.000001;
// Paths go to the engine through a buffer of 255 wide characters, terminator included.
constexpr qsizetype PathBufferSize = 255;
constexpr int ProfileVersion = 4;
constexpr int MatrixProfileType = 1;
constexpr std::int32_t YxyColorModel = 4;
constexpr const char* CreatorAppName = "CreatorApp";
constexpr const char* CreatorAppValue = "QalloProfiler";
constexpr const char* BrightnessName = "Brightness";
constexpr const wchar_t* ApplicationName = L"Korvel Tintwise";
constexpr const wchar_t* ApplicationVersion = L"2.56.0";
constexpr std::uint32_t ColorantTags[3] = {KVTagSignature("rXYZ"), KVTagSignature("gXYZ"), KVTagSignature("bXYZ")};

std::string Text(const QString& text)
{
    return text.toStdString();
}

UniString Utf8String(const QString& text)
{
    return UniString(KVUniStringCreateFromUtf8(text.toUtf8().constData()));
}

UniString WideString(const QString& text)
{
    const std::wstring wide = text.toStdWString();
    return UniString(KVUniStringCreateFromWide(wide.c_str(), wide.size()));
}

// A path as the colorant operations hand it to the engine: its wide text in a buffer of 255
// characters; null for a path that does not fit.
UniString BufferedPath(const QString& path)
{
    if (path.size() >= PathBufferSize) {
        return UniString();
    }
    return UniString(KVUniStringCreate(path.toStdWString().c_str()));
}

std::string Fixed(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

std::string Triple(const double* values)
{
    return "[" + Fixed(values[0]) + "," + Fixed(values[1]) + "," + Fixed(values[2]) + "]";
}

std::string GammaText(double gamma)
{
    if (gamma == -1.0) {
        return "sRGB";
    }
    if (gamma == -3.0) {
        return "DICOM";
    }
    if (!(gamma > 0)) {
        return "REC709";
    }
    std::ostringstream stream;
    stream << gamma;
    return stream.str();
}

// The three coordinates of a colour; false unless the engine gives exactly three.
bool Coordinates(KVColorRef color, double* values, KVStatus* status)
{
    *status = 0;
    double read[KVColorCoordinateCount] = {};
    if (KVColorGetCoordinates(color, read, status) != 3 || *status != 0) {
        return false;
    }
    std::copy(read, read + 3, values);
    return true;
}

// Unmarshals a measurement text into its measured and target charts and its display parameters
// (the engine's further outputs are not used); the count of colours read.
std::int32_t UnmarshalDisplayData(KVCxf3StreamRef stream, KVUniStringRef text, Chart& measured, Chart& target,
                                  Spectrine::ProfileParams& params, KVStatus* status)
{
    KVColorRef* measuredColors = nullptr;
    KVColorRef* targetColors = nullptr;
    std::int32_t count = 0;
    std::int32_t white = 0, black = 0, red = 0, green = 0, blue = 0, grey = 0;
    double flare = 0;
    KVProfileDisplayParamsRef displayParams = nullptr;
    KVDisplayDataWithFlareUnmarshalFromCxf3(stream, text, &measuredColors, &targetColors, &count, &white, &black, &red,
                                            &green, &blue, &flare, &displayParams, &grey, status);
    measured.Reset(measuredColors, count);
    target.Reset(targetColors, count);
    params.Reset(displayParams);
    return count;
}

}  // namespace

ProfileModifier::ProfileModifier() : Loggable("ProfileModifier") {}

ProfileModifier::~ProfileModifier()
{
    profileParams.Reset();
    displayProfileObject.Reset();
}

ProfileHelper& ProfileModifier::OwnProfileHelper()
{
    if (!profileHelper) {
        profileHelper = std::make_unique<ProfileHelper>();
    }
    return *profileHelper;
}

bool ProfileModifier::BuildAndSaveProfile(const QString& path, const double* whitePoint, double luminance,
                                          double gamma)
{
    const std::string name = Text(path);
    RecreateConfiguration(path, luminance, gamma);

    LogPieces(InfoLevel, "Creating profile object...");
    KVStatus status = 0;
    displayProfileObject.Reset(KVDisplayProfileObjectRefCreate(profileParams.Get(), &status));
    if (status != 0 || !displayProfileObject) {
        LogPieces(ErrorLevel, "Failed to KVDisplayProfileObjectRefCreate.");
    } else {
        LogPieces(InfoLevel, "Successfully created profile object");
    }

    // Without usable measurements there is nothing to rebuild from: the file stays as it is.
    Chart measured;
    Chart target;
    std::int32_t count = 0;
    if (!ReadCxfColors(path, measured, target, count)) {
        return false;
    }
    if (count < MinimumColorCount) {
        LogPieces(ErrorLevel, "Failed to KVDisplayDataWithFlareUnmarshalFromCxf3. Number of colors is lower than 5.");
        return false;
    }

    const double x = whitePoint != nullptr ? whitePoint[0] : 0.0;
    const double y = whitePoint != nullptr ? whitePoint[1] : 0.0;
    LogPieces(InfoLevel, "[KVDisplayBackLightScaleMeasuremmentsForWhitePoint] WhitePoint [Y: ", luminance, ", x: ", x,
              ", y: ", y, "]");
    status = 0;
    const double coordinates[3] = {luminance, x, y};
    const Color white(KVColorCreate(coordinates, 3, YxyColorModel, 0, &status));
    LogColors(measured.Get(), count, "[Before scaling] Rec.709 measurements:");
    Chart scaled;
    if (status == 0) {
        scaled.Reset(KVDisplayBackLightScaleMeasuremmentsForWhitePoint(white.Get(), target.Get(), measured.Get(), count,
                                                                      &status),
                     count);
        LogColors(scaled.Get(), count, "[After scaling] Rec.709 measurements:");
    }
    if (status != 0 || !scaled) {
        LogPieces(ErrorLevel, "Failed to KVDisplayBackLightScaleMeasuremmentsForWhitePoint");
        return false;
    }

    SetPatches(target.Get(), scaled.Get(), count);

    LogPieces(InfoLevel, "Building profile object for profile: ", name);
    if (KVDiplayProfileObjectBuildProfile(displayProfileObject.Get()) != 0) {
        LogPieces(ErrorLevel, "Failed to build profile: ", name);
        return false;
    }
    LogPieces(InfoLevel, "Successfully built object for profile: ", name);

    // The stored measurements are those read, not the scaled ones, so a later rebuild scales the
    // same data again. Without a complete text the profile would lose them: save nothing.
    const UniString text(CreateCxfBuffer(target.Get(), measured.Get(), count));
    if (!text) {
        LogPieces(ErrorLevel, "Failed to save ", name, "profile");
        return false;
    }
    const UniString destination = WideString(path);
    status = KVDisplayProfileObjectSaveProfile(displayProfileObject.Get(), text.Get(), destination.Get());
    LogPieces(InfoLevel, Text(QStringLiteral("Saving profile '%1' to file '%2' ").arg(path, path)),
              status == 0 ? "succeeded" : "failed");
    if (status != 0) {
        LogPieces(ErrorLevel, "Failed to save ", name, "profile");
        return false;
    }
    LogPieces(InfoLevel, "Successfully saved profile: ", name);
    return true;
}

void ProfileModifier::RecreateConfiguration(const QString& path, double luminance, double gamma)
{
    const std::string name = Text(path);
    LogPieces(InfoLevel, "Recreating configuration for profile: ", name, "...");
    KVStatus status = 0;
    profileParams.Reset(KVProfileDisplayParamsCreate(&status));
    if (status != 0 || !profileParams) {
        LogPieces(ErrorLevel, "Failed to KVProfileDisplayParamsCreate.");
        return;
    }
    LogPieces(DebugLevel, "Successfully recreated configuration for profile: ", name);
    SetWhitePoint();
    SetToneCurve(path, gamma);
    SetTargetLuminance(luminance);

    KVProfileDisplayParamsRef params = profileParams.Get();
    LogPieces(InfoLevel, "Setting Internal LUTs: ", hasInternalLuts ? "true" : "false", "...");
    status = 0;
    KVProfileDisplayParamsSetHasInternalLUTs(params, hasInternalLuts, &status);
    if (status == 0) {
        LogPieces(InfoLevel, "Successfully set Internal LUTs");
    } else {
        LogPieces(ErrorLevel, "Failed to set Internal LUTs");
    }

    if (!path.contains(QLatin1String("DICOM"), Qt::CaseSensitive)) {
        LogPieces(InfoLevel, "Setting Contrast Ratio: ", contrastRatio, "...");
        status = 0;
        KVProfileDisplayParamsSetContrastRatio(params, contrastRatio, &status);
        if (status == 0) {
            LogPieces(InfoLevel, "Successfully set Contrast Ratio");
        } else {
            LogPieces(ErrorLevel, "Failed to set Contrast Ratio");
        }
    } else {
        LogPieces(InfoLevel, "Setting Minimum Luminance: ", blackLuminance, "...");
        status = 0;
        KVProfileDisplayParamsSetBlackLuminance(params, blackLuminance, &status);
        if (status == 0) {
            LogPieces(InfoLevel, "Successfully set Minimum Luminance");
        } else {
            LogPieces(ErrorLevel, "Failed to set Minimum Luminance");
        }
        status = 0;
        KVProfileDisplayParamsSetAmbient(params, ambient, &status);
        if (status != 0) {
            LogPieces(ErrorLevel, "Failed to KVProfileDisplayParamsSetAmbient.");
            return;
        }
    }

    LogPieces(InfoLevel, "Setting Initial Patch Set: ", initialPatchSets, "...");
    status = 0;
    KVProfileDisplayParamsSetNumInitialPatchSet(params, initialPatchSets, &status);
    if (status == 0) {
        LogPieces(InfoLevel, "Successfully set Initial Patch Set");
    } else {
        LogPieces(ErrorLevel, "Failed to set Initial Patch Set");
    }
    LogPieces(InfoLevel, "Setting Iterative Grid Points: ", iterativeGridPoints, "...");
    status = 0;
    KVProfileDisplayParamsSetNumIterativeGridPoints(params, iterativeGridPoints, &status);
    if (status == 0) {
        LogPieces(InfoLevel, "Successfully set Iterative Grid Points");
    } else {
        LogPieces(ErrorLevel, "Failed to set Iterative Grid Points");
    }

    SetProfileVersion();
    SetBaseProfileAttributes(path);
    SetDisplayProfileAttributes();
    LogPieces(InfoLevel, "Successfully recreated configuration for profile: ", name);
}

void ProfileModifier::SetWhitePoint()
{
    LogPieces(InfoLevel, "Setting Whitepoint: ", whitePointCode, "...");
    KVStatus status = 0;
    if (unsigned(whitePointCode) < 4) {
        KVProfileDisplayParamsSetWhitePointCIEIlluminant(profileParams.Get(), whitePointCode, &status);
    } else {
        KVProfileDisplayParamsSetNativeWhitePoint(profileParams.Get(), &status);
    }
    if (status == 0) {
        LogPieces(InfoLevel, "Successfully set WhitePoint");
    } else {
        LogPieces(ErrorLevel, "Failed to set WhitePoint.");
    }
}

void ProfileModifier::SetToneCurve(const QString& path, double gamma)
{
    const std::string name = Text(path);
    const std::string text = GammaText(gamma);
    LogPieces(InfoLevel, "Setting Gamma: ", text, " for ", name, " profile...");
    KVProfileDisplayParamsRef params = profileParams.Get();
    KVStatus status = 0;
    if (gamma > 0) {
        KVProfileDisplayParamsSetGamma(params, gamma, &status);
        if (status != 0) {
            LogPieces(ErrorLevel, "Failed to set Gamma: ", text, " for ", name, " profile");
            return;
        }
    } else if (gamma == -3.0) {
        KVProfileDisplayParamsSetDICOM_EOTF(params, &status);
        if (status != 0) {
            LogPieces(ErrorLevel, "Failed to set DICOM EOTF for ", name, " profile");
            return;
        }
        LogPieces(InfoLevel, "Successfully set DICOM EOTF for", name, " profile");
    } else if (gamma == -2.0) {
        LogPieces(InfoLevel, "Set BT1886 EOTF for ", name, " profile in progress...");
        KVProfileDisplayParamsSetBT1886_EOTF(params, &status);
        if (status != 0) {
            LogPieces(ErrorLevel, "Failed to set BT1886 EOTF for ", name, " profile");
            return;
        }
        KVProfileDisplayParamsSetProfileType(params, MatrixProfileType, &status);
        if (status != 0) {
            LogPieces(ErrorLevel, "Failed to set kProfileType_Matrix profile type for ", name, " profile");
            return;
        }
        LogPieces(InfoLevel, "Successfully set BT1886 EOTF for ", name, " profile");
    } else if (gamma == -1.0) {
        KVProfileDisplayParamsSetSRGBGamma(params, &status);
        if (status != 0) {
            LogPieces(ErrorLevel, "Failed to set sRGB Gamma for ", name, " profile");
            return;
        }
        LogPieces(InfoLevel, "Successfully set sRGB Gamma for ", name, " profile");
    }
    LogPieces(InfoLevel, "Successfully set Gamma ", text, " for ", name, " profile");
}

void ProfileModifier::SetTargetLuminance(double luminance)
{
    const double whole = std::trunc(luminance);
    LogPieces(InfoLevel, "Setting Luminosity: ", Text(QString::number(whole, 'f', 0)), "...");
    KVStatus status = 0;
    KVProfileDisplayParamsSetTargetLuminosity(profileParams.Get(), whole, &status);
    if (status == 0) {
        LogPieces(InfoLevel, "Successfully set Luminosity");
    } else {
        LogPieces(ErrorLevel, "Failed to set Luminosity");
    }
}

void ProfileModifier::SetProfileVersion()
{
    LogPieces(InfoLevel, "Setting ICC profile version:", ProfileVersion, "...");
    KVStatus status = 0;
    KVProfileDisplayParamsSetProfileVersion(profileParams.Get(), ProfileVersion, &status);
    if (status == 0) {
        LogPieces(InfoLevel, "Successfully set ICC profile version");
    } else {
        LogPieces(ErrorLevel, "Failed to set ICC profile version");
    }
}

void ProfileModifier::SetBaseProfileAttributes(const QString& path)
{
    LogPieces(DebugLevel, "Creating base profile attribute map...");
    KVStatus status = 0;
    const NameValueMap map(KVNameValueMapCreate(&status));
    if (status != 0 || !map) {
        LogPieces(ErrorLevel, "Failed to create base profile attribute map");
        return;
    }
    LogPieces(DebugLevel, "Successfully created base profile attribute map");
    const int brightness = OwnProfileHelper().ReadProfileBrightness(path);

    const UniString creatorName(KVUniStringCreateFromUtf8(CreatorAppName));
    const UniString creatorValue(KVUniStringCreateFromUtf8(CreatorAppValue));
    status = 0;
    KVNameValueMapAddValue(map.Get(), creatorName.Get(), creatorValue.Get(), &status);
    if (status != 0) {
        LogPieces(ErrorLevel, "Failed to add CreatorApp attribute");
        return;
    }
    LogPieces(InfoLevel, "Successfully added CreatorApp attribute");

    const UniString brightnessName(KVUniStringCreateFromUtf8(BrightnessName));
    const UniString brightnessValue(KVUniStringCreateFromUtf8(QByteArray::number(brightness).constData()));
    KVNameValueMapAddValue(map.Get(), brightnessName.Get(), brightnessValue.Get(), &status);
    if (status != 0) {
        LogPieces(ErrorLevel, "Failed to add Brightness attribute: ", brightness);
        return;
    }
    LogPieces(InfoLevel, "Successfully added Brightness attribute: ", brightness);

    LogPieces(DebugLevel, "Setting base profile attributes...");
    KVProfileDisplayParamsSetDictTagMap(profileParams.Get(), map.Get(), &status);
    if (status == 0) {
        LogPieces(DebugLevel, "Successfully set base profile attributes");
    } else {
        LogPieces(ErrorLevel, "Failed to set base profile attributes");
    }
}

void ProfileModifier::SetDisplayProfileAttributes()
{
    LogPieces(DebugLevel, "Creating display profile attributes...");
    KVStatus status = 0;
    const NameValueMap map(KVNameValueMapCreate(&status));
    if (status != 0 || !map) {
        LogPieces(ErrorLevel, "Failed to create display profile attributes map");
        return;
    }
    LogPieces(DebugLevel, "Successfully created display profile attributes map");
    const struct {
        const char* key;
        UniString value;
    } entries[] = {
        {"AppName", UniString(KVUniStringCreate(ApplicationName))},
        {"AppVersion", UniString(KVUniStringCreate(ApplicationVersion))},
    };
    for (const auto& entry : entries) {
        const char* value = KVUniStringToUtf8(entry.value.Get());
        const std::string shown = Text(QStringLiteral("[%1] '%2'").arg(entry.key, QString::fromUtf8(value)));
        LogPieces(DebugLevel, "Adding ", shown);
        const UniString key(KVUniStringCreateFromUtf8(entry.key));
        status = 0;
        KVNameValueMapAddValue(map.Get(), key.Get(), entry.value.Get(), &status);
        if (status != 0) {
            LogPieces(ErrorLevel, "Failed to add ", shown);
            return;
        }
        LogPieces(DebugLevel, "Successfully added ", shown);
    }
    LogPieces(DebugLevel, "Setting custom attributes...");
    KVProfileDisplayParamsSetCustomAttributes(profileParams.Get(), map.Get(), &status);
    if (status == 0) {
        LogPieces(DebugLevel, "Setting custom attributes ", "succeeded");
    } else {
        LogPieces(ErrorLevel, "Failed to set custom attributes");
    }
}

bool ProfileModifier::ReadCxfColors(const QString& path, Chart& measured, Chart& target, std::int32_t& count)
{
    measured.Reset();
    target.Reset();
    count = 0;
    const UniString file = Utf8String(path);
    KVStatus status = 0;
    const UniString buffer(KVProfileGetCxfDataBuffer(file.Get(), &status));
    if (status != 0 || !buffer) {
        LogPieces(ErrorLevel, "Failed to get CxF data buffers");
        return false;
    }
    const Cxf3Stream stream(KVCxf3OpenStream(&status));
    if (status != 0 || !stream) {
        LogPieces(ErrorLevel, "Failed to open CxF3 stream");
        return false;
    }
    Spectrine::ProfileParams unused;
    const std::int32_t read = UnmarshalDisplayData(stream.Get(), buffer.Get(), measured, target, unused, &status);
    if (status != 0 || !measured || !target) {
        LogPieces(ErrorLevel, "Failed to KVDisplayDataWithFlareUnmarshalFromCxf3");
        measured.Reset();
        target.Reset();
        return false;
    }
    count = read;
    return true;
}

KVUniStringRef ProfileModifier::CreateCxfBuffer(const KVColorRef* target, const KVColorRef* measured,
                                                std::int32_t count)
{
    LogPieces(DebugLevel, "Creating CxF buffer...");
    KVStatus status = 0;
    const Cxf3Stream stream(KVCxf3OpenStream(&status));
    if (status != 0 || !stream) {
        LogPieces(ErrorLevel, "Failed to open CxF stream");
        return nullptr;
    }
    std::int32_t setIndex = 0;
    const UniString measurementName(KVUniStringCreateFromUtf8("Measurement"));
    KVCxf3AddColors(stream.Get(), measurementName.Get(), measured, count, profileParams.Get(), &setIndex, &status);
    if (status != 0) {
        LogPieces(ErrorLevel, "Failed to add measured CxF colors");
        return nullptr;
    }
    setIndex = 0;
    const UniString targetName(KVUniStringCreateFromUtf8("Target"));
    KVCxf3AddColors(stream.Get(), targetName.Get(), target, count, profileParams.Get(), &setIndex, &status);
    if (status != 0) {
        LogPieces(ErrorLevel, "Failed to add target CxF colors");
        return nullptr;
    }
    const KVNameValueMapRef attributes = KVProfileDisplayParamsGetCustomAttributes(profileParams.Get(), &status);
    if (status == 0 && attributes != nullptr) {
        KVCxf3AddCustomAttributes(stream.Get(), attributes, &status);
    }
    if (status == 0) {
        KVCxf3AddProfileParams(stream.Get(), profileParams.Get(), &status);
    }
    if (status != 0) {
        LogPieces(ErrorLevel, "Failed to add CxF parameters");
        return nullptr;
    }
    const char* text = nullptr;
    std::size_t length = 0;
    KVCxf3WriteStream(stream.Get(), &text, &length, &status);
    if (status != 0 || text == nullptr || length == 0 || *text == '\0') {
        LogPieces(ErrorLevel, "Failed to write CxF stream");
        return nullptr;
    }
    KVUniStringRef result = KVUniStringCreateFromUtf8(text);
    LogPieces(DebugLevel, "Successfully created CxF buffer");
    return result;
}

void ProfileModifier::LogColors(const KVColorRef* chart, std::int32_t count, const char* title)
{
    if (!IsEnabledFor(DebugLevel)) {
        return;
    }
    LogPieces(DebugLevel, title);
    for (std::int32_t i = 0; i < count; ++i) {
        double values[3] = {};
        KVStatus status = 0;
        if (chart == nullptr || !Coordinates(chart[i], values, &status)) {
            LogPieces(ErrorLevel, "Failed to obtain measurements for logging");
            return;
        }
        LogPieces(DebugLevel, "  ", i + 1, ". ", values[0], " ", values[1], " ", values[2]);
    }
}

bool ProfileModifier::SetPatches(const KVColorRef* target, const KVColorRef* scaled, std::int32_t count)
{
    LogColors(target, count, "Rec.709 target patches:");
    LogColors(scaled, count, "Rec.709 measurement patches:");
    if (KVDiplayProfileObjectSetPatches(displayProfileObject.Get(), target, scaled, count) != 0) {
        LogPieces(ErrorLevel, "Failed to add measured color patches to profile object");
        return false;
    }
    LogPieces(DebugLevel, "Successfully added measured color patches to profile object ");
    return true;
}

bool ProfileModifier::ReadMeasurementsFromProfile(const QString& path, int* gammaType)
{
    const UniString file = Utf8String(path);
    KVStatus status = 0;
    const UniString buffer(KVProfileGetCxfDataBuffer(file.Get(), &status));
    if (status != 0 || !buffer) {
        LogPieces(ErrorLevel, "Failed to obtain CxF data buffer.");
        return false;
    }
    const Cxf3Stream stream(KVCxf3OpenStream(&status));
    if (status != 0 || !stream) {
        LogPieces(ErrorLevel, "Failed to open CxF stream.");
        return false;
    }
    Chart measured;
    Chart target;
    Spectrine::ProfileParams params;
    const std::int32_t count = UnmarshalDisplayData(stream.Get(), buffer.Get(), measured, target, params, &status);
    if (status != 0 || !params) {
        LogPieces(ErrorLevel, "Failed to KVDisplayDataWithFlareUnmarshalFromCxf3.");
        return false;
    }
    if (count < MinimumColorCount) {
        LogPieces(ErrorLevel, "Failed to KVDisplayDataWithFlareUnmarshalFromCxf3. Number of colors is lower than 5.");
        return false;
    }
    const int type = KVProfileDisplayParamsGetGammaType(params.Get(), &status);
    if (gammaType != nullptr) {
        *gammaType = type;
    }
    return true;
}

KVEditableICCProfileRef ProfileModifier::OpenEditable(const QString& path, KVStatus* status)
{
    const UniString file = BufferedPath(path);
    *status = 0;
    KVEditableICCProfileRef profile = file ? KVEditableICCProfileFromPathCreate(file.Get(), status) : nullptr;
    if (profile == nullptr || *status != 0) {
        KVEditableICCProfileRelease(profile);
        LogPieces(ErrorLevel, "KVEditableICCProfileFromPathCreate failed...");
        return nullptr;
    }
    return profile;
}

bool ProfileModifier::editRgbXyzTag(KVEditableICCProfileRef profile, KVStatus* status, std::uint32_t signature,
                                    const double* values, bool* changed)
{
    KVStatus own = 0;
    if (status == nullptr) {
        status = &own;
    }
    if (changed != nullptr) {
        *changed = false;
    }
    *status = 0;
    std::int32_t count = 0;
    KVColorRef* colors = KVEditableICCProfileGetXYZTagValues(profile, signature, &count, status);
    const Chart chart(colors, count);
    if (colors == nullptr || count < 1 || *status != 0 || values == nullptr) {
        LogPieces(ErrorLevel, "KVEditableICCProfileGetXYZTagValues failed...");
        return false;
    }
    double old[3] = {};
    if (!Coordinates(colors[0], old, status)) {
        LogPieces(ErrorLevel, "KVColorGetCoordinates failed...");
        return false;
    }
    bool significant = false;
    for (int i = 0; i < 3; ++i) {
        significant = significant || std::abs(old[i] - values[i]) > SignificantChange + Rounding;
    }
    if (!significant) {
        LogPieces(InfoLevel, "No significant change in new and old values, hence no change is required");
        return true;
    }
    if (changed != nullptr) {
        *changed = true;
    }
    LogPieces(InfoLevel, "Changes are required, old tag values: ", Triple(old));
    LogPieces(InfoLevel, "new tag values: ", Triple(values));
    KVColorSetCoordinates(colors[0], values, status);
    if (*status != 0) {
        LogPieces(ErrorLevel, "KVColorSetCoordinates failed...");
        return false;
    }
    KVEditableICCProfileSetXYZTagValues(profile, signature, colors, count, status);
    if (*status != 0) {
        LogPieces(ErrorLevel, "KVEditableICCProfileSetXYZTagValues failed...");
        return false;
    }
    return true;
}

bool ProfileModifier::GetRgbXyzTagValues(const QString& path, ColorantMatrix& matrix)
{
    KVStatus status = 0;
    const EditableProfile profile(OpenEditable(path, &status));
    if (!profile) {
        return false;
    }
    ColorantMatrix read{};
    for (int row = 0; row < 3; ++row) {
        std::int32_t count = 0;
        status = 0;
        KVColorRef* colors = KVEditableICCProfileGetXYZTagValues(profile.Get(), ColorantTags[row], &count, &status);
        const Chart chart(colors, count);
        if (colors == nullptr || count < 1 || status != 0) {
            LogPieces(ErrorLevel, "KVEditableICCProfileGetXYZTagValues failed...");
            return false;
        }
        if (!Coordinates(colors[0], read[row].data(), &status)) {
            LogPieces(ErrorLevel, "KVColorGetCoordinates failed...");
            return false;
        }
    }
    matrix = read;
    return true;
}

bool ProfileModifier::getChromaticity(int standard, ColorantMatrix& matrix)
{
    KVStatus status = 0;
    // The engine gives three colours (red, green, blue) for a colorant matrix.
    const Chart chart(KVComputeMatrixForStandardChromaticitesWithChromaticAdaptation(standard, 0, 2, &status), 3);
    if (!chart || status != 0) {
        LogPieces(ErrorLevel, "KVComputeMatrixForStandardChromaticitesWithChromaticAdaptation failed...");
        return false;
    }
    const std::int32_t coordinates = KVColorGetNumberOfCoordinates(chart.Get()[0], &status);
    LogPieces(TraceLevel, "getChromaticity numCoord : ", coordinates);
    LogPieces(TraceLevel, "getChromaticity colorSpace : ", standard);
    ColorantMatrix read{};
    for (int row = 0; row < 3; ++row) {
        if (!Coordinates(chart.Get()[row], read[row].data(), &status)) {
            LogPieces(ErrorLevel, "KVColorGetCoordinates failed...");
            return false;
        }
        for (double& value : read[row]) {
            if (value < 0) {
                value = 0.0;
            }
        }
    }
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            LogPieces(TraceLevel, "coordinates ", i, j, " ", read[i][j]);
        }
    }
    matrix = read;
    return true;
}

bool ProfileModifier::EditRgbXyzTagsInFile(const QString& source, const QString& destination,
                                           const ColorantMatrix& matrix, bool* changed)
{
    if (changed != nullptr) {
        *changed = false;
    }
    KVStatus status = 0;
    const EditableProfile profile(OpenEditable(source, &status));
    if (!profile) {
        return false;
    }
    bool anyChanged = false;
    for (int row = 0; row < 3; ++row) {
        bool rowChanged = false;
        if (!editRgbXyzTag(profile.Get(), &status, ColorantTags[row], matrix[row].data(), &rowChanged)) {
            LogPieces(ErrorLevel, "editRgbXyzTag failed...");
            return false;
        }
        anyChanged = anyChanged || rowChanged;
    }
    if (changed != nullptr) {
        *changed = anyChanged;
    }
    const UniString target = BufferedPath(destination);
    status = 0;
    KVEditableICCProfileSaveToPath(profile.Get(), target.Get(), &status);
    if (!target || status != 0) {
        LogPieces(InfoLevel, "KVEditableICCProfileSaveToPath failed...");
        return false;
    }
    return true;
}

bool ProfileModifier::EditRgbXyzTags(const QString& path, const ColorantMatrix& matrix)
{
    bool changed = false;
    return EditRgbXyzTagsInFile(path, path, matrix, &changed);
}

bool ProfileModifier::ResaveProfile(const QString& source, const QString& destination)
{
    KVStatus status = 0;
    const EditableProfile profile(OpenEditable(source, &status));
    if (!profile) {
        return false;
    }
    std::int32_t count = 0;
    KVColorRef* colors = KVEditableICCProfileGetXYZTagValues(profile.Get(), ColorantTags[0], &count, &status);
    const Chart chart(colors, count);
    double red[3] = {};
    if (colors == nullptr || count < 1 || status != 0 || !Coordinates(colors[0], red, &status)) {
        LogPieces(ErrorLevel, "KVEditableICCProfileGetXYZTagValues failed...");
        return false;
    }
    // Far below the threshold of a change: the colorant stays as stored.
    red[0] += ResaveRaise;
    bool changed = false;
    if (!editRgbXyzTag(profile.Get(), &status, ColorantTags[0], red, &changed)) {
        LogPieces(ErrorLevel, "editRgbXyzTag failed...");
        return false;
    }
    const UniString target = BufferedPath(destination);
    status = 0;
    KVEditableICCProfileSaveToPath(profile.Get(), target.Get(), &status);
    if (!target || status != 0) {
        LogPieces(ErrorLevel, "KVEditableICCProfileSaveToPath failed...");
        return false;
    }
    return true;
}

IProfileModifier* ProfileModifierFactory::Create()
{
    return new ProfileModifier();
}

}  // namespace Korvel::DisplayCalibration::Common::Profile
