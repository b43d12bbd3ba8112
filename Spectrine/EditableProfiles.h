// Editable profiles: a profile file read into memory, its XYZ tags and description changed there,
// and written back to any path. Every tag not changed is written back as it was read; the header
// keeps its source's preferred CMM, platform and creator (and an ID computed anew when it had one).
#pragma once

#include "Spectrine/Colors.h"
#include "Spectrine/Base.h"

extern "C" {

typedef struct KVEditableICCProfile* KVEditableICCProfileRef;

KVEditableICCProfileRef KVEditableICCProfileFromPathCreate(KVUniStringRef path, KVStatus* status);
void KVEditableICCProfileRelease(KVEditableICCProfileRef profile);

// The XYZ numbers of a tag of the XYZ type ('rXYZ', 'wtpt' ...) as a chart of XYZ colours, one per
// number the tag holds. KVErrorTagNotFound without the tag, KVErrorInvalidProfile for a tag of
// another type.
KVColorRef* KVEditableICCProfileGetXYZTagValues(KVEditableICCProfileRef profile, std::uint32_t signature,
                                                std::int32_t* count, KVStatus* status);
// Replaces the tag by one of the XYZ type holding the chart's colours (XYZ, at least one; each
// coordinate from -32768 to 32767.99998).
void KVEditableICCProfileSetXYZTagValues(KVEditableICCProfileRef profile, std::uint32_t signature,
                                         const KVColorRef* chart, std::int32_t count, KVStatus* status);
// Replaces the description ('desc') by the text, in English.
void KVEditableICCProfileSetDescription(KVEditableICCProfileRef profile, KVUniStringRef description,
                                        KVStatus* status);
// Writes the profile to `path`, which may be its source; on failure the file there stays as it was.
void KVEditableICCProfileSaveToPath(KVEditableICCProfileRef profile, KVUniStringRef path, KVStatus* status);

// The colorants of a standard RGB colour space (0 Adobe RGB (1998), 1 sRGB, 3 P3 with the D65
// white) on a display whose white is the illuminant `white`, adapted to the illuminant `adaptedTo`
// with the Bradford transform as LittleCMS adapts (KVIlluminant codes; 0 and 2 give the colorant
// tags of a D65 display profile). A chart of three XYZ colours: red, green, blue.
KVColorRef* KVComputeMatrixForStandardChromaticitesWithChromaticAdaptation(std::int32_t standard,
                                                                            std::int32_t adaptedTo,
                                                                            std::int32_t white, KVStatus* status);

}  // extern "C"
