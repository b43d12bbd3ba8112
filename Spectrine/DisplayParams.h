// Profile display parameters: how a display profile is to be built (tone curve, white point,
// luminance, build settings, dictionaries), and what the measurement data of a profile records of
// the profile it was built with. Setters refuse values outside their range with
// KVErrorInvalidArgument and leave the parameters unchanged.
#pragma once

#include "Spectrine/Base.h"
#include "Spectrine/NameValueMaps.h"

extern "C" {

typedef struct KVProfileDisplayParams* KVProfileDisplayParamsRef;

// White point types (KVProfileDisplayParamsGetWhitePointType).
constexpr std::int32_t KVWhitePointTypeNone = -1;
constexpr std::int32_t KVWhitePointTypeCIEIlluminant = 0;
constexpr std::int32_t KVWhitePointTypeNative = 1;

// CIE illuminants of KVProfileDisplayParamsSetWhitePointCIEIlluminant.
constexpr std::int32_t KVIlluminantD50 = 0;
constexpr std::int32_t KVIlluminantD55 = 1;
constexpr std::int32_t KVIlluminantD65 = 2;
constexpr std::int32_t KVIlluminantD75 = 3;

// New parameters: no tone curve, white point or profile type (each reads as -1), version 4, all
// numbers 0, empty dictionaries.
KVProfileDisplayParamsRef KVProfileDisplayParamsCreate(KVStatus* status);
void KVProfileDisplayParamsRelease(KVProfileDisplayParamsRef params);

// Tone curve; each setter replaces the curve set before.
// Power law with the exponent `gamma` (> 0, at most 10): gamma type Standard.
void KVProfileDisplayParamsSetGamma(KVProfileDisplayParamsRef params, double gamma, KVStatus* status);
// Parametric curve Y = (aX + b)^gamma for X >= d, Y = cX below (the ICC parametric curve with
// five parameters): gamma type Custom. gamma > 0, at most 10; a > 0; d from 0 to 1.
void KVProfileDisplayParamsSetCustomGamma(KVProfileDisplayParamsRef params, double gamma, double a, double b, double c,
                                          double d, KVStatus* status);
void KVProfileDisplayParamsSetSRGBGamma(KVProfileDisplayParamsRef params, KVStatus* status);
void KVProfileDisplayParamsSetBT1886_EOTF(KVProfileDisplayParamsRef params, KVStatus* status);
void KVProfileDisplayParamsSetDICOM_EOTF(KVProfileDisplayParamsRef params, KVStatus* status);

// White point: one of the CIE illuminants above, or the panel's native white (the measured white
// patch).
void KVProfileDisplayParamsSetWhitePointCIEIlluminant(KVProfileDisplayParamsRef params, std::int32_t illuminant,
                                                      KVStatus* status);
void KVProfileDisplayParamsSetNativeWhitePoint(KVProfileDisplayParamsRef params, KVStatus* status);

// Luminance and viewing conditions (cd/m², ratio, lux): 0 or more.
void KVProfileDisplayParamsSetTargetLuminosity(KVProfileDisplayParamsRef params, double luminance, KVStatus* status);
void KVProfileDisplayParamsSetContrastRatio(KVProfileDisplayParamsRef params, double ratio, KVStatus* status);
void KVProfileDisplayParamsSetBlackLuminance(KVProfileDisplayParamsRef params, double luminance, KVStatus* status);
void KVProfileDisplayParamsSetAmbient(KVProfileDisplayParamsRef params, double ambient, KVStatus* status);

// Build settings.
void KVProfileDisplayParamsSetHasInternalLUTs(KVProfileDisplayParamsRef params, bool hasInternalLuts, KVStatus* status);
void KVProfileDisplayParamsSetNumInitialPatchSet(KVProfileDisplayParamsRef params, std::int32_t sets, KVStatus* status);
void KVProfileDisplayParamsSetNumIterativeGridPoints(KVProfileDisplayParamsRef params, std::int32_t points,
                                                     KVStatus* status);
// ICC version of the built profile: 2 or 4.
void KVProfileDisplayParamsSetProfileVersion(KVProfileDisplayParamsRef params, std::int32_t version, KVStatus* status);
// One of the KVProfileType values 0 to 4.
void KVProfileDisplayParamsSetProfileType(KVProfileDisplayParamsRef params, std::int32_t type, KVStatus* status);

// Dictionaries, copied: the entries of the built profile's 'meta' dictionary, and the custom
// attributes written with the measurement data.
void KVProfileDisplayParamsSetDictTagMap(KVProfileDisplayParamsRef params, KVNameValueMapRef map, KVStatus* status);
void KVProfileDisplayParamsSetCustomAttributes(KVProfileDisplayParamsRef params, KVNameValueMapRef map,
                                               KVStatus* status);

// Getters. The type getters give -1 when nothing was set; the value getters fail with
// KVErrorNotAvailable when their value does not apply.
std::int32_t KVProfileDisplayParamsGetGammaType(KVProfileDisplayParamsRef params, KVStatus* status);
// The exponent of a Standard curve.
double KVProfileDisplayParamsGetGamma(KVProfileDisplayParamsRef params, KVStatus* status);
// The five parameters of a Custom curve; null outputs are skipped.
void KVProfileDisplayParamsGetCustomGamma(KVProfileDisplayParamsRef params, double* gamma, double* a, double* b,
                                          double* c, double* d, KVStatus* status);
std::int32_t KVProfileDisplayParamsGetWhitePointType(KVProfileDisplayParamsRef params, KVStatus* status);
// The white: for a CIE illuminant its chromaticity at the target luminosity; for the native white
// the measured white patch, known once the parameters come from measurement data that has one.
void KVProfileDisplayParamsGetWhiteYxy(KVProfileDisplayParamsRef params, double* Y, double* x, double* y,
                                       KVStatus* status);
std::int32_t KVProfileDisplayParamsGetProfileType(KVProfileDisplayParamsRef params, KVStatus* status);
// The custom attributes, owned by the parameters (do not release); null with status 0 when none
// were set.
KVNameValueMapRef KVProfileDisplayParamsGetCustomAttributes(KVProfileDisplayParamsRef params, KVStatus* status);

}  // extern "C"
