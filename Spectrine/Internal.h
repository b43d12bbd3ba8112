// Shared by the engine's families; not part of its interface.
#pragma once

#include "Spectrine/Spectrine.h"

#include <lcms2.h>

#include <array>
#include <cstdio>
#include <cstdint>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct KVUniString {
    std::string utf8;
};

struct KVColor {
    std::int32_t space = KVColorSpaceXYZ;
    std::array<double, KVColorCoordinateCount> coordinates{};
};

struct KVNameValueMap {
    std::vector<std::pair<std::string, std::string>> entries;
};

struct KVProfileDisplayParams {
    std::int32_t gammaType = KVGammaTypeNone;
    double gamma = 0;                        // Standard
    std::array<double, 5> customGamma{};     // Custom: gamma, a, b, c, d
    std::int32_t whitePointType = KVWhitePointTypeNone;
    std::int32_t illuminant = -1;            // CIEIlluminant
    std::optional<std::array<double, 3>> measuredWhite;  // Native: Y, x, y of the white patch
    double targetLuminosity = 0;
    double contrastRatio = 0;
    double blackLuminance = 0;
    double ambient = 0;
    bool hasInternalLuts = false;
    std::int32_t initialPatchSets = 0;
    std::int32_t iterativeGridPoints = 0;
    std::int32_t profileVersion = 4;
    std::int32_t profileType = KVProfileTypeNone;
    KVNameValueMap dictionary;
    std::optional<KVNameValueMap> customAttributes;
};

namespace Spectrine::Detail {

inline void SetStatus(KVStatus* status, KVStatus value)
{
    if (status != nullptr) {
        *status = value;
    }
}

// The big-endian 32-bit number at `bytes`, as profiles store their numbers.
inline std::uint32_t ReadBigEndian32(const std::uint8_t* bytes)
{
    return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 | std::uint32_t(bytes[2]) << 8 |
           std::uint32_t(bytes[3]);
}

// True, with the status set to the code, when the simulated machine makes `function` fail
// (`winsim fail FUNCTION CODE`). Call it first in every function that reports a status.
bool Injected(const char* function, KVStatus* status);

// The body of a function that hands out a new default handle: null with the injected status, or
// null with KVErrorOutOfMemory when memory runs out.
template <typename Handle>
Handle* NewHandle(const char* function, KVStatus* status)
{
    if (Injected(function, status)) {
        return nullptr;
    }
    Handle* handle = new (std::nothrow) Handle;
    SetStatus(status, handle != nullptr ? KVSuccess : KVErrorOutOfMemory);
    return handle;
}

// UTF-8 of wide characters (UTF-32 here); invalid code points become U+FFFD.
std::string WideToUtf8(const wchar_t* text, std::size_t length);

// A new engine string, or null when memory runs out.
KVUniStringRef NewString(std::string utf8);

// A new colour, or null when memory runs out.
KVColorRef NewColor(std::int32_t space, const std::array<double, KVColorCoordinateCount>& coordinates);
// A chart of `count` null colours for KVReleaseChart, or null when memory runs out.
KVColorRef* NewChart(std::size_t count);
// The chromaticity x, y and luminance of a colour in XYZ; (0, 0, 0) when the coordinates sum to 0.
std::array<double, 3> XyzToYxy(const std::array<double, 3>& xyz);
// The XYZ of a colour in Yxy; (0, 0, 0) when y is 0.
std::array<double, 3> YxyToXyz(const std::array<double, 3>& yxy);

// Chromaticity x, y of a CIE illuminant code (KVIlluminantD50 ...); false for another code.
bool IlluminantChromaticity(std::int32_t illuminant, std::array<double, 2>& xy);

// Range checks of the display parameters, shared by their setters and the measurement reader.
bool ValidGamma(double gamma);
bool ValidCustomGamma(const std::array<double, 5>& curve);
bool ValidLevel(double value);  // a luminance, ratio or ambient: finite, 0 or more
bool ValidProfileVersion(std::int32_t version);
bool ValidProfileType(std::int32_t type);

// The file system path of an engine string ("\" becomes "/").
std::string FilePath(KVUniStringRef path);
// The whole file; false with KVErrorFileNotFound or KVErrorFileRead.
bool ReadFile(const std::string& path, std::vector<std::uint8_t>& content, KVStatus* status);
// Opens the profile at a path (in `context`, null for the global one), refusing truncated
// files; null with the status set on failure.
cmsHPROFILE OpenProfile(KVUniStringRef path, KVStatus* status, cmsContext context = nullptr);
// Writes `path` through `write`, which fills the temporary file it is given; the temporary file
// replaces `path` only when `write` succeeds. False with KVErrorFileWrite otherwise.
bool ReplaceFile(const std::string& path, const std::function<bool(const std::string& temporary)>& write,
                 KVStatus* status);

// An RGB image, 8 bits a channel, rows without padding.
struct Image {
    std::vector<std::uint8_t> pixels;
    unsigned width = 0;
    unsigned height = 0;
};
// Decodes a JPEG file into RGB; false with KVErrorInvalidData (not a JPEG) or KVErrorUnsupported
// (CMYK).
bool DecodeJpeg(std::FILE* file, Image& image, KVStatus* status);
// Encodes RGB as a JPEG file of quality 90 without chroma subsampling.
bool EncodeJpeg(std::FILE* file, const Image& image);

// The measurement text of the private tag (see Cxf3.h); false when the profile has none or the tag
// is not in the documented form.
bool ReadMeasurementTag(cmsHPROFILE profile, std::string& text);
bool WriteMeasurementTag(cmsHPROFILE profile, const std::string& text);

// Wide characters (UTF-32 here) of UTF-8 text; invalid sequences become U+FFFD.
std::wstring Utf8ToWide(const std::string& text);

// Writes a tag's bytes as they are, in place of any tag of that signature. (LittleCMS's
// cmsWriteRawTag over a tag it had parsed keeps the parsed type's handler for the raw bytes.)
bool ReplaceRawTag(cmsHPROFILE profile, std::uint32_t signature, const std::vector<std::uint8_t>& bytes);

// Replaces the profile's description by the text, in English.
KVStatus WriteDescription(cmsHPROFILE profile, const std::string& text);
// Serialises the profile and writes it to `path` with ReplaceFile. With the 128-byte `header` of
// the profile's source, the written header keeps its preferred CMM, platform and creator, and gets
// an ID only when the source had one; without it, the profile gets an ID.
KVStatus SaveProfile(cmsHPROFILE profile, const std::string& path, const std::uint8_t* header = nullptr);

}  // namespace Spectrine::Detail
