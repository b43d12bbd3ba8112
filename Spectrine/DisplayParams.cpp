#include "Spectrine/DisplayParams.h"

#include "Spectrine/Internal.h"

#include <cmath>

namespace Spectrine::Detail {

bool IlluminantChromaticity(std::int32_t illuminant, std::array<double, 2>& xy)
{
    static constexpr std::array<std::array<double, 2>, 4> Illuminants = {{
        {0.3457, 0.3585},  // D50
        {0.3324, 0.3474},  // D55
        {0.3127, 0.3290},  // D65
        {0.2990, 0.3149},  // D75
    }};
    if (illuminant < 0 || illuminant >= std::int32_t(Illuminants.size())) {
        return false;
    }
    xy = Illuminants[std::size_t(illuminant)];
    return true;
}

bool ValidGamma(double gamma)
{
    return std::isfinite(gamma) && gamma > 0 && gamma <= 10;
}

bool ValidCustomGamma(const std::array<double, 5>& curve)
{
    for (const double value : curve) {
        if (!std::isfinite(value)) {
            return false;
        }
    }
    return ValidGamma(curve[0]) && curve[1] > 0 && curve[4] >= 0 && curve[4] <= 1;
}

bool ValidLevel(double value)
{
    return std::isfinite(value) && value >= 0;
}

bool ValidProfileVersion(std::int32_t version)
{
    return version == 2 || version == 4;
}

bool ValidProfileType(std::int32_t type)
{
    return type >= KVProfileTypeTable && type <= KVProfileTypeMatrixTrcMhc2;
}

}  // namespace Spectrine::Detail

namespace {

using namespace Spectrine::Detail;

// Applies `change` when the call is not injected to fail, the parameters exist and `valid` holds.
template <typename Change>
void Set(const char* function, KVProfileDisplayParamsRef params, bool valid, KVStatus* status, Change change)
{
    if (Injected(function, status)) {
        return;
    }
    if (params == nullptr || !valid) {
        SetStatus(status, KVErrorInvalidArgument);
        return;
    }
    change(*params);
    SetStatus(status, KVSuccess);
}

// Reads a value when the call is not injected to fail and the parameters exist.
template <typename Value, typename Read>
Value Get(const char* function, KVProfileDisplayParamsRef params, KVStatus* status, Value failure, Read read)
{
    if (Injected(function, status)) {
        return failure;
    }
    if (params == nullptr) {
        SetStatus(status, KVErrorInvalidArgument);
        return failure;
    }
    SetStatus(status, KVSuccess);
    return read(*params);
}

void SetCurve(KVProfileDisplayParams& params, std::int32_t type)
{
    params.gammaType = type;
    params.gamma = 0;
    params.customGamma = {};
}

}  // namespace

extern "C" {

KVProfileDisplayParamsRef KVProfileDisplayParamsCreate(KVStatus* status)
{
    return NewHandle<KVProfileDisplayParams>("KVProfileDisplayParamsCreate", status);
}

void KVProfileDisplayParamsRelease(KVProfileDisplayParamsRef params)
{
    delete params;
}

void KVProfileDisplayParamsSetGamma(KVProfileDisplayParamsRef params, double gamma, KVStatus* status)
{
    Set("KVProfileDisplayParamsSetGamma", params, ValidGamma(gamma), status, [&](KVProfileDisplayParams& p) {
        SetCurve(p, KVGammaTypeStandard);
        p.gamma = gamma;
    });
}

void KVProfileDisplayParamsSetCustomGamma(KVProfileDisplayParamsRef params, double gamma, double a, double b, double c,
                                          double d, KVStatus* status)
{
    const std::array<double, 5> curve = {gamma, a, b, c, d};
    Set("KVProfileDisplayParamsSetCustomGamma", params, ValidCustomGamma(curve), status,
        [&](KVProfileDisplayParams& p) {
            SetCurve(p, KVGammaTypeCustom);
            p.customGamma = curve;
        });
}

void KVProfileDisplayParamsSetSRGBGamma(KVProfileDisplayParamsRef params, KVStatus* status)
{
    Set("KVProfileDisplayParamsSetSRGBGamma", params, true, status,
        [](KVProfileDisplayParams& p) { SetCurve(p, KVGammaTypeSrgb); });
}

void KVProfileDisplayParamsSetBT1886_EOTF(KVProfileDisplayParamsRef params, KVStatus* status)
{
    Set("KVProfileDisplayParamsSetBT1886_EOTF", params, true, status,
        [](KVProfileDisplayParams& p) { SetCurve(p, KVGammaTypeBt1886); });
}

void KVProfileDisplayParamsSetDICOM_EOTF(KVProfileDisplayParamsRef params, KVStatus* status)
{
    Set("KVProfileDisplayParamsSetDICOM_EOTF", params, true, status,
        [](KVProfileDisplayParams& p) { SetCurve(p, KVGammaTypeDicom); });
}

void KVProfileDisplayParamsSetWhitePointCIEIlluminant(KVProfileDisplayParamsRef params, std::int32_t illuminant,
                                                      KVStatus* status)
{
    std::array<double, 2> xy{};
    Set("KVProfileDisplayParamsSetWhitePointCIEIlluminant", params, IlluminantChromaticity(illuminant, xy), status,
        [&](KVProfileDisplayParams& p) {
            p.whitePointType = KVWhitePointTypeCIEIlluminant;
            p.illuminant = illuminant;
            p.measuredWhite.reset();
        });
}

void KVProfileDisplayParamsSetNativeWhitePoint(KVProfileDisplayParamsRef params, KVStatus* status)
{
    Set("KVProfileDisplayParamsSetNativeWhitePoint", params, true, status, [](KVProfileDisplayParams& p) {
        p.whitePointType = KVWhitePointTypeNative;
        p.illuminant = -1;
        p.measuredWhite.reset();
    });
}

void KVProfileDisplayParamsSetTargetLuminosity(KVProfileDisplayParamsRef params, double luminance, KVStatus* status)
{
    Set("KVProfileDisplayParamsSetTargetLuminosity", params, ValidLevel(luminance), status,
        [&](KVProfileDisplayParams& p) { p.targetLuminosity = luminance; });
}

void KVProfileDisplayParamsSetContrastRatio(KVProfileDisplayParamsRef params, double ratio, KVStatus* status)
{
    Set("KVProfileDisplayParamsSetContrastRatio", params, ValidLevel(ratio), status,
        [&](KVProfileDisplayParams& p) { p.contrastRatio = ratio; });
}

void KVProfileDisplayParamsSetBlackLuminance(KVProfileDisplayParamsRef params, double luminance, KVStatus* status)
{
    Set("KVProfileDisplayParamsSetBlackLuminance", params, ValidLevel(luminance), status,
        [&](KVProfileDisplayParams& p) { p.blackLuminance = luminance; });
}

void KVProfileDisplayParamsSetAmbient(KVProfileDisplayParamsRef params, double ambient, KVStatus* status)
{
    Set("KVProfileDisplayParamsSetAmbient", params, ValidLevel(ambient), status,
        [&](KVProfileDisplayParams& p) { p.ambient = ambient; });
}

void KVProfileDisplayParamsSetHasInternalLUTs(KVProfileDisplayParamsRef params, bool hasInternalLuts, KVStatus* status)
{
    Set("KVProfileDisplayParamsSetHasInternalLUTs", params, true, status,
        [&](KVProfileDisplayParams& p) { p.hasInternalLuts = hasInternalLuts; });
}

void KVProfileDisplayParamsSetNumInitialPatchSet(KVProfileDisplayParamsRef params, std::int32_t sets, KVStatus* status)
{
    Set("KVProfileDisplayParamsSetNumInitialPatchSet", params, sets >= 0, status,
        [&](KVProfileDisplayParams& p) { p.initialPatchSets = sets; });
}

void KVProfileDisplayParamsSetNumIterativeGridPoints(KVProfileDisplayParamsRef params, std::int32_t points,
                                                     KVStatus* status)
{
    Set("KVProfileDisplayParamsSetNumIterativeGridPoints", params, points >= 0, status,
        [&](KVProfileDisplayParams& p) { p.iterativeGridPoints = points; });
}

void KVProfileDisplayParamsSetProfileVersion(KVProfileDisplayParamsRef params, std::int32_t version, KVStatus* status)
{
    Set("KVProfileDisplayParamsSetProfileVersion", params, ValidProfileVersion(version), status,
        [&](KVProfileDisplayParams& p) { p.profileVersion = version; });
}

void KVProfileDisplayParamsSetProfileType(KVProfileDisplayParamsRef params, std::int32_t type, KVStatus* status)
{
    Set("KVProfileDisplayParamsSetProfileType", params, ValidProfileType(type), status,
        [&](KVProfileDisplayParams& p) { p.profileType = type; });
}

void KVProfileDisplayParamsSetDictTagMap(KVProfileDisplayParamsRef params, KVNameValueMapRef map, KVStatus* status)
{
    Set("KVProfileDisplayParamsSetDictTagMap", params, map != nullptr, status,
        [&](KVProfileDisplayParams& p) { p.dictionary = *map; });
}

void KVProfileDisplayParamsSetCustomAttributes(KVProfileDisplayParamsRef params, KVNameValueMapRef map,
                                               KVStatus* status)
{
    Set("KVProfileDisplayParamsSetCustomAttributes", params, map != nullptr, status,
        [&](KVProfileDisplayParams& p) { p.customAttributes = *map; });
}

std::int32_t KVProfileDisplayParamsGetGammaType(KVProfileDisplayParamsRef params, KVStatus* status)
{
    return Get("KVProfileDisplayParamsGetGammaType", params, status, KVGammaTypeNone,
               [](const KVProfileDisplayParams& p) { return p.gammaType; });
}

double KVProfileDisplayParamsGetGamma(KVProfileDisplayParamsRef params, KVStatus* status)
{
    return Get("KVProfileDisplayParamsGetGamma", params, status, 0.0, [&](const KVProfileDisplayParams& p) {
        if (p.gammaType != KVGammaTypeStandard) {
            SetStatus(status, KVErrorNotAvailable);
            return 0.0;
        }
        return p.gamma;
    });
}

void KVProfileDisplayParamsGetCustomGamma(KVProfileDisplayParamsRef params, double* gamma, double* a, double* b,
                                          double* c, double* d, KVStatus* status)
{
    Get("KVProfileDisplayParamsGetCustomGamma", params, status, 0, [&](const KVProfileDisplayParams& p) {
        if (p.gammaType != KVGammaTypeCustom) {
            SetStatus(status, KVErrorNotAvailable);
            return 0;
        }
        double* outputs[] = {gamma, a, b, c, d};
        for (std::size_t i = 0; i < p.customGamma.size(); ++i) {
            if (outputs[i] != nullptr) {
                *outputs[i] = p.customGamma[i];
            }
        }
        return 0;
    });
}

std::int32_t KVProfileDisplayParamsGetWhitePointType(KVProfileDisplayParamsRef params, KVStatus* status)
{
    return Get("KVProfileDisplayParamsGetWhitePointType", params, status, KVWhitePointTypeNone,
               [](const KVProfileDisplayParams& p) { return p.whitePointType; });
}

void KVProfileDisplayParamsGetWhiteYxy(KVProfileDisplayParamsRef params, double* Y, double* x, double* y,
                                       KVStatus* status)
{
    Get("KVProfileDisplayParamsGetWhiteYxy", params, status, 0, [&](const KVProfileDisplayParams& p) {
        std::array<double, 3> white{};
        std::array<double, 2> xy{};
        if (p.whitePointType == KVWhitePointTypeCIEIlluminant && IlluminantChromaticity(p.illuminant, xy)) {
            white = {p.targetLuminosity, xy[0], xy[1]};
        } else if (p.whitePointType == KVWhitePointTypeNative && p.measuredWhite) {
            white = *p.measuredWhite;
        } else {
            SetStatus(status, KVErrorNotAvailable);
            return 0;
        }
        double* outputs[] = {Y, x, y};
        for (std::size_t i = 0; i < white.size(); ++i) {
            if (outputs[i] != nullptr) {
                *outputs[i] = white[i];
            }
        }
        return 0;
    });
}

std::int32_t KVProfileDisplayParamsGetProfileType(KVProfileDisplayParamsRef params, KVStatus* status)
{
    return Get("KVProfileDisplayParamsGetProfileType", params, status, KVProfileTypeNone,
               [](const KVProfileDisplayParams& p) { return p.profileType; });
}

KVNameValueMapRef KVProfileDisplayParamsGetCustomAttributes(KVProfileDisplayParamsRef params, KVStatus* status)
{
    return Get("KVProfileDisplayParamsGetCustomAttributes", params, status, KVNameValueMapRef(nullptr),
               [](KVProfileDisplayParams& p) { return p.customAttributes ? &*p.customAttributes : nullptr; });
}

}  // extern "C"
