#include "Spectrine/EditableProfiles.h"

#include "Spectrine/Internal.h"

#include <lcms2_plugin.h>

#include <array>
#include <cmath>
#include <iterator>
#include <new>
#include <vector>

struct KVEditableICCProfile {
    cmsHPROFILE handle = nullptr;
    std::uint8_t header[128] = {};
    ~KVEditableICCProfile()
    {
        if (handle != nullptr) {
            cmsCloseProfile(handle);
        }
    }
};

namespace {

using Spectrine::Detail::ReadBigEndian32;
using Spectrine::Detail::SetStatus;
using Xyz = std::array<double, 3>;

constexpr std::uint32_t XyzType = 0x58595A20;  // 'XYZ '
constexpr std::size_t XyzTypeHeader = 8;
constexpr std::size_t XyzNumberSize = 12;

void WriteBigEndian(std::uint8_t* bytes, std::uint32_t value)
{
    bytes[0] = std::uint8_t(value >> 24);
    bytes[1] = std::uint8_t(value >> 16);
    bytes[2] = std::uint8_t(value >> 8);
    bytes[3] = std::uint8_t(value);
}

// The XYZ numbers of a tag of the XYZ type, read from its raw bytes so that the tag, like every
// other tag left alone, is written back as it was.
KVStatus ReadXyzTag(cmsHPROFILE profile, std::uint32_t signature, std::vector<Xyz>& values)
{
    const auto tag = cmsTagSignature(signature);
    if (!cmsIsTag(profile, tag)) {
        return KVErrorTagNotFound;
    }
    const cmsUInt32Number size = cmsReadRawTag(profile, tag, nullptr, 0);
    if (size < XyzTypeHeader + XyzNumberSize || (size - XyzTypeHeader) % XyzNumberSize != 0) {
        return KVErrorInvalidProfile;
    }
    std::vector<std::uint8_t> raw(size);
    if (cmsReadRawTag(profile, tag, raw.data(), size) != size || ReadBigEndian32(raw.data()) != XyzType) {
        return KVErrorInvalidProfile;
    }
    values.clear();
    for (std::size_t offset = XyzTypeHeader; offset < size; offset += XyzNumberSize) {
        Xyz xyz;
        for (std::size_t i = 0; i < 3; ++i) {
            xyz[i] = double(std::int32_t(ReadBigEndian32(&raw[offset + 4 * i]))) / 65536.0;
        }
        values.push_back(xyz);
    }
    return KVSuccess;
}

// Replaces a tag of the XYZ type; values outside the s15Fixed16 range are refused.
KVStatus WriteXyzTag(cmsHPROFILE profile, std::uint32_t signature, const std::vector<Xyz>& values)
{
    std::vector<std::uint8_t> raw(XyzTypeHeader + XyzNumberSize * values.size(), 0);
    WriteBigEndian(raw.data(), XyzType);
    std::size_t offset = XyzTypeHeader;
    for (const Xyz& xyz : values) {
        for (const double value : xyz) {
            const double fixed = std::floor(value * 65536.0 + 0.5);
            if (!(fixed >= -2147483648.0 && fixed <= 2147483647.0)) {
                return KVErrorInvalidArgument;
            }
            WriteBigEndian(&raw[offset], std::uint32_t(std::int32_t(fixed)));
            offset += 4;
        }
    }
    return Spectrine::Detail::ReplaceRawTag(profile, signature, raw) ? KVSuccess : KVErrorOutOfMemory;
}

}  // namespace

namespace {

// Chart of XYZ colours; null with the status set when memory runs out.
KVColorRef* XyzChart(const std::vector<Xyz>& values, KVStatus* status)
{
    KVColorRef* chart = Spectrine::Detail::NewChart(values.size());
    if (chart == nullptr) {
        SetStatus(status, KVErrorOutOfMemory);
        return nullptr;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        chart[i] = Spectrine::Detail::NewColor(KVColorSpaceXYZ, values[i]);
        if (chart[i] == nullptr) {
            KVReleaseChart(chart, std::int32_t(values.size()));
            SetStatus(status, KVErrorOutOfMemory);
            return nullptr;
        }
    }
    SetStatus(status, KVSuccess);
    return chart;
}

// The white point of a KVIlluminant code; false for another code.
bool IlluminantXyz(std::int32_t illuminant, cmsCIEXYZ& xyz)
{
    std::array<double, 2> xy{};
    if (!Spectrine::Detail::IlluminantChromaticity(illuminant, xy)) {
        return false;
    }
    // The ICC's D50 exactly, so that adapting to it is what LittleCMS does.
    if (illuminant == KVIlluminantD50) {
        xyz = *cmsD50_XYZ();
    } else {
        const cmsCIExyY chromaticity = {xy[0], xy[1], 1.0};
        cmsxyY2XYZ(&xyz, &chromaticity);
    }
    return true;
}

}  // namespace

extern "C" {

KVEditableICCProfileRef KVEditableICCProfileFromPathCreate(KVUniStringRef path, KVStatus* status)
{
    if (Spectrine::Detail::Injected("KVEditableICCProfileFromPathCreate", status)) {
        return nullptr;
    }
    cmsHPROFILE handle = Spectrine::Detail::OpenProfile(path, status);
    if (handle == nullptr) {
        return nullptr;
    }
    auto* profile = new (std::nothrow) KVEditableICCProfile;
    if (profile == nullptr) {
        cmsCloseProfile(handle);
        SetStatus(status, KVErrorOutOfMemory);
        return nullptr;
    }
    profile->handle = handle;
    // The header as read, from the memory the profile was parsed from.
    cmsIOHANDLER* io = cmsGetProfileIOhandler(handle);
    if (io == nullptr || !io->Seek(io, 0) || io->Read(io, profile->header, sizeof profile->header, 1) != 1) {
        delete profile;
        SetStatus(status, KVErrorInvalidProfile);
        return nullptr;
    }
    return profile;
}

void KVEditableICCProfileRelease(KVEditableICCProfileRef profile)
{
    delete profile;
}

KVColorRef* KVEditableICCProfileGetXYZTagValues(KVEditableICCProfileRef profile, std::uint32_t signature,
                                                std::int32_t* count, KVStatus* status)
{
    if (Spectrine::Detail::Injected("KVEditableICCProfileGetXYZTagValues", status)) {
        return nullptr;
    }
    if (profile == nullptr || count == nullptr) {
        SetStatus(status, KVErrorInvalidArgument);
        return nullptr;
    }
    std::vector<Xyz> values;
    const KVStatus read = ReadXyzTag(profile->handle, signature, values);
    if (read != KVSuccess) {
        SetStatus(status, read);
        return nullptr;
    }
    KVColorRef* chart = XyzChart(values, status);
    if (chart != nullptr) {
        *count = std::int32_t(values.size());
    }
    return chart;
}

void KVEditableICCProfileSetXYZTagValues(KVEditableICCProfileRef profile, std::uint32_t signature,
                                         const KVColorRef* chart, std::int32_t count, KVStatus* status)
{
    if (Spectrine::Detail::Injected("KVEditableICCProfileSetXYZTagValues", status)) {
        return;
    }
    if (profile == nullptr || chart == nullptr || count < 1) {
        SetStatus(status, KVErrorInvalidArgument);
        return;
    }
    std::vector<Xyz> values;
    for (std::int32_t i = 0; i < count; ++i) {
        if (chart[i] == nullptr || chart[i]->space != KVColorSpaceXYZ) {
            SetStatus(status, KVErrorInvalidArgument);
            return;
        }
        values.push_back({chart[i]->coordinates[0], chart[i]->coordinates[1], chart[i]->coordinates[2]});
    }
    SetStatus(status, WriteXyzTag(profile->handle, signature, values));
}

void KVEditableICCProfileSetDescription(KVEditableICCProfileRef profile, KVUniStringRef description, KVStatus* status)
{
    if (Spectrine::Detail::Injected("KVEditableICCProfileSetDescription", status)) {
        return;
    }
    if (profile == nullptr || description == nullptr) {
        SetStatus(status, KVErrorInvalidArgument);
        return;
    }
    SetStatus(status, Spectrine::Detail::WriteDescription(profile->handle, description->utf8));
}

void KVEditableICCProfileSaveToPath(KVEditableICCProfileRef profile, KVUniStringRef path, KVStatus* status)
{
    if (Spectrine::Detail::Injected("KVEditableICCProfileSaveToPath", status)) {
        return;
    }
    if (profile == nullptr || path == nullptr) {
        SetStatus(status, KVErrorInvalidArgument);
        return;
    }
    SetStatus(status, Spectrine::Detail::SaveProfile(profile->handle, Spectrine::Detail::FilePath(path), profile->header));
}

KVColorRef* KVComputeMatrixForStandardChromaticitesWithChromaticAdaptation(std::int32_t standard,
                                                                            std::int32_t adaptedTo,
                                                                            std::int32_t white, KVStatus* status)
{
    if (Spectrine::Detail::Injected("KVComputeMatrixForStandardChromaticitesWithChromaticAdaptation", status)) {
        return nullptr;
    }
    static const cmsCIExyYTRIPLE primaries[] = {
        {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}},     // Adobe RGB (1998)
        {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}},     // sRGB
        {},                                                             // no standard 2
        {{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}},  // P3 D65
    };
    cmsCIEXYZ whiteXyz;
    cmsCIEXYZ adaptedXyz;
    if (standard < 0 || standard >= std::int32_t(std::size(primaries)) || standard == 2 ||
        !IlluminantXyz(white, whiteXyz) || !IlluminantXyz(adaptedTo, adaptedXyz)) {
        SetStatus(status, KVErrorInvalidArgument);
        return nullptr;
    }
    cmsCIExyY whiteXyY;
    cmsXYZ2xyY(&whiteXyY, &whiteXyz);
    // LittleCMS's own colorants: built for the white, Bradford-adapted to D50.
    cmsHPROFILE profile = cmsCreateRGBProfile(&whiteXyY, &primaries[standard], nullptr);
    if (profile == nullptr) {
        SetStatus(status, KVErrorOutOfMemory);
        return nullptr;
    }
    std::vector<Xyz> values;
    for (const cmsTagSignature tag : {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag}) {
        const auto* colorant = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tag));
        cmsCIEXYZ adapted = *colorant;
        // Bradford adaptations compose: D50 to the target is the rest of the way.
        if (adaptedTo != KVIlluminantD50) {
            cmsAdaptToIlluminant(&adapted, cmsD50_XYZ(), &adaptedXyz, colorant);
        }
        values.push_back({adapted.X, adapted.Y, adapted.Z});
    }
    cmsCloseProfile(profile);
    return XyzChart(values, status);
}

}  // extern "C"
