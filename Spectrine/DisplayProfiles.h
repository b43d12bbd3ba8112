// Display-profile objects: a display profile built from measured patches and display parameters,
// and the scaling of measurements to a white.
//
// The built profile is an RGB display profile of the parameters' version (4 unless set) with a
// matrix and tone curves made with LittleCMS: primaries and white from the measured red, green,
// blue and white patches (targets (255, 0, 0) ... (255, 255, 255)) less the measured black patch
// (0, 0, 0) when there is one, Bradford-adapted to D50; one
// curve of the parameters' gamma type for all channels (Standard: power law; Custom: the five-
// parameter curve; sRGB; BT.1886 and DICOM (the grayscale standard display function of DICOM
// PS3.14) between the black and white luminances, the black being the parameters' black luminance,
// else the white over the contrast ratio, else the measured black patch, else 0); 'lumi' of the
// target luminosity (else the measured white); the parameters' dictionary as 'meta'. Saving adds
// the description (the file name without its extension) and the measurement text (Cxf3.h).
#pragma once

#include "Spectrine/Colors.h"
#include "Spectrine/DisplayParams.h"
#include "Spectrine/Base.h"

extern "C" {

typedef struct KVDisplayProfileObject* KVDisplayProfileObjectRef;

// A new object with a copy of the parameters.
KVDisplayProfileObjectRef KVDisplayProfileObjectRefCreate(KVProfileDisplayParamsRef params, KVStatus* status);
void KVDisplayProfileObjectRefRelease(KVDisplayProfileObjectRef object);

// Copies of `count` patches: device RGB targets and their measurements (XYZ or Yxy, cd/m²).
KVStatus KVDiplayProfileObjectSetPatches(KVDisplayProfileObjectRef object, const KVColorRef* targets,
                                         const KVColorRef* measurements, std::int32_t count);
// Builds the profile from the parameters and the patches. KVErrorInvalidData when a primary or the
// white patch is missing or the patches make no profile; KVErrorUnsupported for a gamma type the
// object cannot build (none, LStar, HLG, PQ, Native).
KVStatus KVDiplayProfileObjectBuildProfile(KVDisplayProfileObjectRef object);
// Writes the built profile with the measurement text to `path`; on failure the file there stays as
// it was. KVErrorNotAvailable before a successful build.
KVStatus KVDisplayProfileObjectSaveProfile(KVDisplayProfileObjectRef object, KVUniStringRef measurementText,
                                           KVUniStringRef path);

// A new chart of the measurements (XYZ or Yxy, as given) scaled by one factor so that the
// measurement of the white target (255, 255, 255) gets the luminance Y of `white` (a Yxy colour).
// KVErrorInvalidArgument for null or empty charts, a white that is not Yxy, a Y or y of it not above
// 0, or a measured white of no luminance; KVErrorInvalidData without a white target.
KVColorRef* KVDisplayBackLightScaleMeasuremmentsForWhitePoint(KVColorRef white, const KVColorRef* targets,
                                                              const KVColorRef* measurements, std::int32_t count,
                                                              KVStatus* status);

}  // extern "C"
