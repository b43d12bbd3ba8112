#include "Spectrine/Profiles.h"

#include "Spectrine/Internal.h"

#include <lcms2.h>

#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct KVProfile {
    cmsHPROFILE handle = nullptr;
    ~KVProfile()
    {
        if (handle != nullptr) {
            cmsCloseProfile(handle);
        }
    }
};

namespace {

using Spectrine::Detail::Injected;
using Spectrine::Detail::OpenProfile;
using Spectrine::Detail::ReadBigEndian32;
using Spectrine::Detail::SetStatus;

KVUniStringRef ToEngineString(std::string utf8, KVStatus* status)
{
    KVUniStringRef string = Spectrine::Detail::NewString(std::move(utf8));
    SetStatus(status, string != nullptr ? KVSuccess : KVErrorOutOfMemory);
    return string;
}

// The 'meta' tag ('dict' type) as name -> value pairs in stored order; nullopt when the profile has
// none or it is damaged. Read from the raw tag: LittleCMS 2.14's own dictionary reader frees memory
// twice on some damaged dictionaries.
std::optional<std::vector<std::pair<std::string, std::string>>> ReadMetaDictionary(cmsHPROFILE handle)
{
    const cmsUInt32Number size = cmsIsTag(handle, cmsSigMetaTag) ? cmsReadRawTag(handle, cmsSigMetaTag, nullptr, 0) : 0;
    std::vector<std::uint8_t> tag(size);
    constexpr std::size_t HeaderSize = 16;
    if (size < HeaderSize || cmsReadRawTag(handle, cmsSigMetaTag, tag.data(), size) != size ||
        ReadBigEndian32(tag.data()) != cmsSigDictType) {
        return std::nullopt;
    }
    const std::uint32_t count = ReadBigEndian32(tag.data() + 8);
    const std::uint32_t recordLength = ReadBigEndian32(tag.data() + 12);
    if ((recordLength != 16 && recordLength != 24 && recordLength != 32) ||
        count > (size - HeaderSize) / recordLength) {
        return std::nullopt;
    }
    // A string: offset and size in bytes from the tag's start, UTF-16BE, up to its first zero; a name
    // or value without a string (offset 0) makes the dictionary damaged, as LittleCMS reads it.
    const auto text = [&tag](const std::uint8_t* position) -> std::optional<std::string> {
        const std::uint32_t offset = ReadBigEndian32(position);
        const std::uint32_t length = ReadBigEndian32(position + 4);
        if (offset == 0 || offset > tag.size() || length > tag.size() - offset) {
            return std::nullopt;
        }
        QString string;
        for (std::uint32_t i = 0; i + 1 < length; i += 2) {
            const char16_t unit = char16_t(tag[offset + i] << 8 | tag[offset + i + 1]);
            if (unit == 0) {
                break;
            }
            string.append(QChar(unit));
        }
        return string.toStdString();
    };
    std::vector<std::pair<std::string, std::string>> entries;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* record = tag.data() + HeaderSize + std::size_t(i) * recordLength;
        const auto name = text(record);
        const auto value = text(record + 8);
        if (!name || !value) {
            return std::nullopt;
        }
        entries.emplace_back(*name, *value);
    }
    return entries;
}

}  // namespace

extern "C" {

KVProfileRef KVProfileFromPathCreate(KVUniStringRef path, KVStatus* status)
{
    if (Injected("KVProfileFromPathCreate", status)) {
        return nullptr;
    }
    cmsHPROFILE handle = OpenProfile(path, status);
    if (handle == nullptr) {
        return nullptr;
    }
    auto* profile = new (std::nothrow) KVProfile{handle};
    if (profile == nullptr) {
        cmsCloseProfile(handle);
        SetStatus(status, KVErrorOutOfMemory);
    }
    return profile;
}

void KVProfileRelease(KVProfileRef profile)
{
    delete profile;
}

bool KVIsTagInProfile(KVUniStringRef path, std::uint32_t signature, KVStatus* status)
{
    if (Injected("KVIsTagInProfile", status)) {
        return false;
    }
    cmsHPROFILE handle = OpenProfile(path, status);
    if (handle == nullptr) {
        return false;
    }
    const bool present = cmsIsTag(handle, cmsTagSignature(signature));
    cmsCloseProfile(handle);
    return present;
}

KVUniStringRef KVProfileGetMetaDataValueForName(KVProfileRef profile, KVUniStringRef name, KVStatus* status)
{
    if (Injected("KVProfileGetMetaDataValueForName", status)) {
        return nullptr;
    }
    if (profile == nullptr || name == nullptr) {
        SetStatus(status, KVErrorInvalidArgument);
        return nullptr;
    }
    const auto dictionary = ReadMetaDictionary(profile->handle);
    if (!dictionary) {
        SetStatus(status, KVErrorTagNotFound);
        return nullptr;
    }
    // The last entry of the name counts.
    const auto found = std::find_if(dictionary->rbegin(), dictionary->rend(),
                                    [&name](const auto& entry) { return entry.first == name->utf8; });
    if (found == dictionary->rend()) {
        SetStatus(status, KVErrorNameNotFound);
        return nullptr;
    }
    return ToEngineString(found->second, status);
}

KVUniStringRef KVProfileGetDescription(KVProfileRef profile, KVStatus* status)
{
    if (Injected("KVProfileGetDescription", status)) {
        return nullptr;
    }
    if (profile == nullptr) {
        SetStatus(status, KVErrorInvalidArgument);
        return nullptr;
    }
    if (!cmsIsTag(profile->handle, cmsSigProfileDescriptionTag)) {
        SetStatus(status, KVErrorTagNotFound);
        return nullptr;
    }
    const cmsUInt32Number bytes = cmsGetProfileInfo(profile->handle, cmsInfoDescription, "en", "US", nullptr, 0);
    if (bytes == 0) {
        SetStatus(status, KVErrorInvalidProfile);
        return nullptr;
    }
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
    cmsGetProfileInfo(profile->handle, cmsInfoDescription, "en", "US", text.data(),
                      cmsUInt32Number(text.size() * sizeof(wchar_t)));
    return ToEngineString(Spectrine::Detail::WideToUtf8(text.data(), std::wcslen(text.data())), status);
}

double* KVProfileGetWhiteXYZ(KVUniStringRef path, KVStatus* status)
{
    if (Injected("KVProfileGetWhiteXYZ", status)) {
        return nullptr;
    }
    cmsHPROFILE handle = OpenProfile(path, status);
    if (handle == nullptr) {
        return nullptr;
    }
    const auto* white = static_cast<const cmsCIEXYZ*>(cmsReadTag(handle, cmsSigMediaWhitePointTag));
    if (white == nullptr) {
        cmsCloseProfile(handle);
        SetStatus(status, KVErrorTagNotFound);
        return nullptr;
    }
    // Without 'lumi' the white is only relative (Y about 1): no luminance to give.
    const auto* luminance = static_cast<const cmsCIEXYZ*>(cmsReadTag(handle, cmsSigLuminanceTag));
    if (luminance == nullptr || !(white->Y > 0)) {
        cmsCloseProfile(handle);
        SetStatus(status, KVErrorTagNotFound);
        return nullptr;
    }
    const double scale = luminance->Y / white->Y;
    auto* result = static_cast<double*>(std::malloc(3 * sizeof(double)));
    if (result == nullptr) {
        cmsCloseProfile(handle);
        SetStatus(status, KVErrorOutOfMemory);
        return nullptr;
    }
    result[0] = white->X * scale;
    result[1] = white->Y * scale;
    result[2] = white->Z * scale;
    cmsCloseProfile(handle);
    SetStatus(status, KVSuccess);
    return result;
}

}  // extern "C"
