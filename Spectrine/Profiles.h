// Profiles from a path: tags, 'meta' dictionary values, description and white point.
#pragma once

#include "Spectrine/Base.h"

extern "C" {

typedef struct KVProfile* KVProfileRef;

// Four-character tag signature, such as KVTagSignature("meta").
constexpr std::uint32_t KVTagSignature(const char (&name)[5])
{
    return std::uint32_t(std::uint8_t(name[0])) << 24 | std::uint32_t(std::uint8_t(name[1])) << 16 |
           std::uint32_t(std::uint8_t(name[2])) << 8 | std::uint32_t(std::uint8_t(name[3]));
}

// Reads and parses the profile at `path`; null with the status set on failure.
KVProfileRef KVProfileFromPathCreate(KVUniStringRef path, KVStatus* status);
void KVProfileRelease(KVProfileRef profile);

// Whether the profile at `path` has the tag; false with a nonzero status when it cannot be read,
// false with status 0 when the tag is absent.
bool KVIsTagInProfile(KVUniStringRef path, std::uint32_t signature, KVStatus* status);

// The value stored under `name` (exact match) in the profile's 'meta' dictionary.
// KVErrorTagNotFound without a dictionary, KVErrorNameNotFound without the name.
KVUniStringRef KVProfileGetMetaDataValueForName(KVProfileRef profile, KVUniStringRef name, KVStatus* status);

// The profile description (English, else the first language stored).
KVUniStringRef KVProfileGetDescription(KVProfileRef profile, KVStatus* status);

// The white of the profile at `path` as three doubles X, Y, Z (release with KVFree): the media
// white point scaled to the absolute luminance in cd/m² of the 'lumi' tag. KVErrorTagNotFound
// without either tag (or with a media white of Y 0).
double* KVProfileGetWhiteXYZ(KVUniStringRef path, KVStatus* status);

}  // extern "C"
