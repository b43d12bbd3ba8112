#include "Spectrine/DisplayProfiles.h"

#include "Spectrine/Internal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <optional>
#include <vector>

namespace {

using Spectrine::Detail::Injected;
using Spectrine::Detail::SetStatus;
using Triple = std::array<double, 3>;

struct Patch {
    Triple target;  // device RGB
    Triple xyz;     // measured, cd/m²
};

}  // namespace

struct KVDisplayProfileObject {
    KVProfileDisplayParams params;
    std::vector<Patch> patches;
    cmsHPROFILE built = nullptr;

    void Drop()
    {
        if (built != nullptr) {
            cmsCloseProfile(built);
            built = nullptr;
        }
    }
    ~KVDisplayProfileObject() { Drop(); }
};

namespace {

constexpr double TargetTolerance = 1e-6;
constexpr double Bt1886Gamma = 2.4;
constexpr std::uint32_t CurvePoints = 4096;

// The XYZ of a measured colour (XYZ or Yxy); false for another space.
bool MeasuredXyz(KVColorRef color, Triple& xyz)
{
    const Triple coordinates = {color->coordinates[0], color->coordinates[1], color->coordinates[2]};
    if (color->space == KVColorSpaceXYZ) {
        xyz = coordinates;
        return true;
    }
    if (color->space == KVColorSpaceYxy) {
        xyz = Spectrine::Detail::YxyToXyz(coordinates);
        return true;
    }
    return false;
}

bool IsTarget(const Triple& target, double r, double g, double b)
{
    return std::abs(target[0] - r) <= TargetTolerance && std::abs(target[1] - g) <= TargetTolerance &&
           std::abs(target[2] - b) <= TargetTolerance;
}

const Patch* FindPatch(const std::vector<Patch>& patches, double r, double g, double b)
{
    const auto found = std::find_if(patches.begin(), patches.end(),
                                    [&](const Patch& patch) { return IsTarget(patch.target, r, g, b); });
    return found != patches.end() ? &*found : nullptr;
}

// Chromaticity of a measured colour less the measured black (the flare every colour carries);
// none unless that leaves a positive luminance.
std::optional<cmsCIExyY> Chromaticity(const Patch* patch, const Triple& black)
{
    if (patch == nullptr || !(patch->xyz[1] - black[1] > 0)) {
        return std::nullopt;
    }
    const cmsCIEXYZ xyz = {patch->xyz[0] - black[0], patch->xyz[1] - black[1], patch->xyz[2] - black[2]};
    cmsCIExyY xyY;
    cmsXYZ2xyY(&xyY, &xyz);
    xyY.Y = 1.0;
    return xyY;
}

// Luminance of the grayscale standard display function at JND index j (DICOM PS3.14).
double GsdfLuminance(double j)
{
    const double x = std::log(j);
    const double numerator =
        -1.3011877 + 8.0242636e-2 * x + 1.3646699e-1 * x * x - 2.5468404e-2 * x * x * x + 1.3635334e-3 * std::pow(x, 4);
    const double denominator = 1 - 2.5840191e-2 * x - 1.0320229e-1 * x * x + 2.8745620e-2 * x * x * x -
                               3.1978977e-3 * std::pow(x, 4) + 1.2992634e-4 * std::pow(x, 5);
    return std::pow(10.0, numerator / denominator);
}

// JND index of a luminance (cd/m²) (DICOM PS3.14).
double GsdfIndex(double luminance)
{
    static const double coefficients[] = {71.498068,   94.593053,   41.912053,   9.8247004,  0.28175407,
                                          -1.1878455, -0.18014349, 0.14710899, -0.017046845};
    const double x = std::log10(luminance);
    double index = 0;
    double power = 1;
    for (const double coefficient : coefficients) {
        index += coefficient * power;
        power *= x;
    }
    return index;
}

// The GSDF range of DICOM PS3.14.
constexpr double GsdfMinimum = 0.05;
constexpr double GsdfMaximum = 4000;

cmsToneCurve* DicomCurve(double black, double white)
{
    const double low = GsdfIndex(std::clamp(black, GsdfMinimum, GsdfMaximum));
    const double high = GsdfIndex(std::clamp(white, GsdfMinimum, GsdfMaximum));
    if (!(high > low)) {
        return nullptr;
    }
    const double top = GsdfLuminance(high);
    std::vector<cmsUInt16Number> table(CurvePoints);
    for (std::uint32_t i = 0; i < CurvePoints; ++i) {
        const double level = double(i) / (CurvePoints - 1);
        const double relative = std::clamp(GsdfLuminance(low + level * (high - low)) / top, 0.0, 1.0);
        table[i] = cmsUInt16Number(std::lround(relative * 65535));
    }
    table.back() = 65535;
    return cmsBuildTabulatedToneCurve16(nullptr, CurvePoints, table.data());
}

// BT.1886: L = a (max(V + b, 0))^2.4 between the black and white luminances, relative to white.
cmsToneCurve* Bt1886Curve(double black, double white)
{
    const double root = std::pow(white, 1 / Bt1886Gamma) - std::pow(black, 1 / Bt1886Gamma);
    const double b = std::pow(black, 1 / Bt1886Gamma) / root;
    const cmsFloat64Number parameters[3] = {Bt1886Gamma, 1 / (1 + b), b / (1 + b)};
    return cmsBuildParametricToneCurve(nullptr, 2, parameters);
}

// The tone curve of the parameters; null with the status for a type that cannot be built.
cmsToneCurve* MakeCurve(const KVProfileDisplayParams& params, double black, double white, KVStatus& status)
{
    status = KVSuccess;
    cmsToneCurve* curve = nullptr;
    switch (params.gammaType) {
    case KVGammaTypeStandard:
        curve = cmsBuildGamma(nullptr, params.gamma);
        break;
    case KVGammaTypeCustom:
        curve = cmsBuildParametricToneCurve(nullptr, 4, params.customGamma.data());
        break;
    case KVGammaTypeSrgb: {
        const cmsFloat64Number parameters[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
        curve = cmsBuildParametricToneCurve(nullptr, 4, parameters);
        break;
    }
    case KVGammaTypeBt1886:
        curve = Bt1886Curve(black, white);
        break;
    case KVGammaTypeDicom:
        curve = DicomCurve(black, white);
        break;
    default:
        status = KVErrorUnsupported;
        return nullptr;
    }
    if (curve == nullptr) {
        status = KVErrorInvalidData;
    }
    return curve;
}

// The black luminance of the curves: set, from the contrast ratio, or measured.
double BlackLuminance(const KVProfileDisplayParams& params, const std::vector<Patch>& patches, double white)
{
    if (params.blackLuminance > 0) {
        return params.blackLuminance;
    }
    if (params.contrastRatio > 0) {
        return white / params.contrastRatio;
    }
    const Patch* black = FindPatch(patches, 0, 0, 0);
    return black != nullptr ? std::max(black->xyz[1], 0.0) : 0.0;
}

bool WriteDictionary(cmsHPROFILE profile, const KVNameValueMap& map)
{
    if (map.entries.empty()) {
        return true;
    }
    cmsHANDLE dictionary = cmsDictAlloc(nullptr);
    if (dictionary == nullptr) {
        return false;
    }
    bool ok = true;
    for (const auto& [name, value] : map.entries) {
        ok = ok && cmsDictAddEntry(dictionary, Spectrine::Detail::Utf8ToWide(name).c_str(),
                                   Spectrine::Detail::Utf8ToWide(value).c_str(), nullptr, nullptr);
    }
    ok = ok && cmsWriteTag(profile, cmsSigMetaTag, dictionary);
    cmsDictFree(dictionary);
    return ok;
}

KVStatus Build(const KVProfileDisplayParams& params, const std::vector<Patch>& patches, cmsHPROFILE& result)
{
    const Patch* whitePatch = FindPatch(patches, 255, 255, 255);
    const Patch* blackPatch = FindPatch(patches, 0, 0, 0);
    const Triple flare = blackPatch != nullptr ? blackPatch->xyz : Triple{0, 0, 0};
    const auto white = Chromaticity(whitePatch, flare);
    const auto red = Chromaticity(FindPatch(patches, 255, 0, 0), flare);
    const auto green = Chromaticity(FindPatch(patches, 0, 255, 0), flare);
    const auto blue = Chromaticity(FindPatch(patches, 0, 0, 255), flare);
    if (!white || !red || !green || !blue) {
        return KVErrorInvalidData;
    }
    const double whiteLuminance = whitePatch->xyz[1];
    const double blackLuminance = BlackLuminance(params, patches, whiteLuminance);
    if (blackLuminance >= whiteLuminance) {
        return KVErrorInvalidData;
    }
    KVStatus status = KVSuccess;
    cmsToneCurve* curve = MakeCurve(params, blackLuminance, whiteLuminance, status);
    if (curve == nullptr) {
        return status;
    }
    const cmsCIExyYTRIPLE primaries = {*red, *green, *blue};
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&*white, &primaries, curves);
    cmsFreeToneCurve(curve);
    if (profile == nullptr) {
        return KVErrorInvalidData;
    }
    cmsSetProfileVersion(profile, params.profileVersion == 2 ? 2.1 : 4.3);
    const cmsCIEXYZ luminance = {0, params.targetLuminosity > 0 ? params.targetLuminosity : whiteLuminance, 0};
    if (!cmsWriteTag(profile, cmsSigLuminanceTag, &luminance) || !WriteDictionary(profile, params.dictionary)) {
        cmsCloseProfile(profile);
        return KVErrorOutOfMemory;
    }
    result = profile;
    return KVSuccess;
}

// The file name of a path without its folders and extension.
std::string Stem(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

extern "C" {

KVDisplayProfileObjectRef KVDisplayProfileObjectRefCreate(KVProfileDisplayParamsRef params, KVStatus* status)
{
    if (Injected("KVDisplayProfileObjectRefCreate", status)) {
        return nullptr;
    }
    if (params == nullptr) {
        SetStatus(status, KVErrorInvalidArgument);
        return nullptr;
    }
    auto* object = new (std::nothrow) KVDisplayProfileObject{*params, {}, nullptr};
    SetStatus(status, object != nullptr ? KVSuccess : KVErrorOutOfMemory);
    return object;
}

void KVDisplayProfileObjectRefRelease(KVDisplayProfileObjectRef object)
{
    delete object;
}

KVStatus KVDiplayProfileObjectSetPatches(KVDisplayProfileObjectRef object, const KVColorRef* targets,
                                         const KVColorRef* measurements, std::int32_t count)
{
    KVStatus status = KVSuccess;
    if (Injected("KVDiplayProfileObjectSetPatches", &status)) {
        return status;
    }
    if (object == nullptr || targets == nullptr || measurements == nullptr || count < 1) {
        return KVErrorInvalidArgument;
    }
    std::vector<Patch> patches;
    for (std::int32_t i = 0; i < count; ++i) {
        Patch patch;
        if (targets[i] == nullptr || targets[i]->space != KVColorSpaceRGB || measurements[i] == nullptr ||
            !MeasuredXyz(measurements[i], patch.xyz)) {
            return KVErrorInvalidArgument;
        }
        patch.target = {targets[i]->coordinates[0], targets[i]->coordinates[1], targets[i]->coordinates[2]};
        patches.push_back(patch);
    }
    object->patches = std::move(patches);
    object->Drop();
    return KVSuccess;
}

KVStatus KVDiplayProfileObjectBuildProfile(KVDisplayProfileObjectRef object)
{
    KVStatus status = KVSuccess;
    if (Injected("KVDiplayProfileObjectBuildProfile", &status)) {
        return status;
    }
    if (object == nullptr) {
        return KVErrorInvalidArgument;
    }
    object->Drop();
    cmsHPROFILE built = nullptr;
    status = Build(object->params, object->patches, built);
    object->built = built;
    return status;
}

KVStatus KVDisplayProfileObjectSaveProfile(KVDisplayProfileObjectRef object, KVUniStringRef measurementText,
                                           KVUniStringRef path)
{
    KVStatus status = KVSuccess;
    if (Injected("KVDisplayProfileObjectSaveProfile", &status)) {
        return status;
    }
    if (object == nullptr || measurementText == nullptr || measurementText->utf8.empty() || path == nullptr) {
        return KVErrorInvalidArgument;
    }
    if (object->built == nullptr) {
        return KVErrorNotAvailable;
    }
    const std::string file = Spectrine::Detail::FilePath(path);
    status = Spectrine::Detail::WriteDescription(object->built, Stem(file));
    if (status != KVSuccess) {
        return status;
    }
    if (!Spectrine::Detail::WriteMeasurementTag(object->built, measurementText->utf8)) {
        return KVErrorOutOfMemory;
    }
    return Spectrine::Detail::SaveProfile(object->built, file);
}

KVColorRef* KVDisplayBackLightScaleMeasuremmentsForWhitePoint(KVColorRef white, const KVColorRef* targets,
                                                              const KVColorRef* measurements, std::int32_t count,
                                                              KVStatus* status)
{
    if (Injected("KVDisplayBackLightScaleMeasuremmentsForWhitePoint", status)) {
        return nullptr;
    }
    if (white == nullptr || white->space != KVColorSpaceYxy || !(white->coordinates[0] > 0) ||
        !(white->coordinates[2] > 0) || targets == nullptr || measurements == nullptr || count < 1) {
        SetStatus(status, KVErrorInvalidArgument);
        return nullptr;
    }
    std::optional<double> measuredWhite;
    for (std::int32_t i = 0; i < count; ++i) {
        Triple xyz;
        if (targets[i] == nullptr || targets[i]->space != KVColorSpaceRGB || measurements[i] == nullptr ||
            !MeasuredXyz(measurements[i], xyz)) {
            SetStatus(status, KVErrorInvalidArgument);
            return nullptr;
        }
        const Triple target = {targets[i]->coordinates[0], targets[i]->coordinates[1], targets[i]->coordinates[2]};
        if (!measuredWhite && IsTarget(target, 255, 255, 255)) {
            measuredWhite = xyz[1];
        }
    }
    if (!measuredWhite) {
        SetStatus(status, KVErrorInvalidData);
        return nullptr;
    }
    if (!(*measuredWhite > 0)) {
        SetStatus(status, KVErrorInvalidArgument);
        return nullptr;
    }
    const double factor = white->coordinates[0] / *measuredWhite;
    KVColorRef* scaled = Spectrine::Detail::NewChart(std::size_t(count));
    if (scaled == nullptr) {
        SetStatus(status, KVErrorOutOfMemory);
        return nullptr;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        // Y is the first coordinate of Yxy; every coordinate of XYZ scales.
        auto coordinates = measurements[i]->coordinates;
        if (measurements[i]->space == KVColorSpaceYxy) {
            coordinates[0] *= factor;
        } else {
            for (double& value : coordinates) {
                value *= factor;
            }
        }
        scaled[i] = Spectrine::Detail::NewColor(measurements[i]->space, coordinates);
        if (scaled[i] == nullptr) {
            KVReleaseChart(scaled, count);
            SetStatus(status, KVErrorOutOfMemory);
            return nullptr;
        }
    }
    SetStatus(status, KVSuccess);
    return scaled;
}

}  // extern "C"
