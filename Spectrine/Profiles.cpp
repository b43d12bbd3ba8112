#include "Spectrine/Profiles.h"

#include "Spectrine/Internal.h"

#include <lcms2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
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

using Spectrine::Detail::SetStatus;

constexpr std::size_t HeaderSize = 128;

// The whole file; false with the status set when it cannot be read.
bool ReadFile(const std::string& path, std::vector<std::uint8_t>& content, KVStatus* status)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        SetStatus(status, KVErrorFileNotFound);
        return false;
    }
    std::uint8_t buffer[65536];
    bool ok = true;
    for (;;) {
        const std::size_t read = std::fread(buffer, 1, sizeof buffer, file);
        content.insert(content.end(), buffer, buffer + read);
        if (read < sizeof buffer) {
            ok = std::ferror(file) == 0;
            break;
        }
    }
    std::fclose(file);
    if (!ok) {
        SetStatus(status, KVErrorFileRead);
    }
    return ok;
}

// Opens the profile at the path of an engine string; null with the status set on failure.
cmsHPROFILE Open(KVUniStringRef path, KVStatus* status)
{
    if (path == nullptr) {
        SetStatus(status, KVErrorInvalidArgument);
        return nullptr;
    }
    std::string file = path->utf8;
    std::replace(file.begin(), file.end(), '\\', '/');
    std::vector<std::uint8_t> content;
    if (!ReadFile(file, content, status)) {
        return nullptr;
    }
    // A file shorter than the size its header declares is truncated: refuse it rather than
    // silently losing the tags beyond its end.
    if (content.size() < HeaderSize) {
        SetStatus(status, KVErrorInvalidProfile);
        return nullptr;
    }
    const std::uint32_t declared = std::uint32_t(content[0]) << 24 | std::uint32_t(content[1]) << 16 |
                                   std::uint32_t(content[2]) << 8 | std::uint32_t(content[3]);
    if (declared > content.size()) {
        SetStatus(status, KVErrorInvalidProfile);
        return nullptr;
    }
    cmsHPROFILE handle = cmsOpenProfileFromMem(content.data(), cmsUInt32Number(content.size()));
    if (handle == nullptr) {
        SetStatus(status, KVErrorInvalidProfile);
        return nullptr;
    }
    SetStatus(status, KVSuccess);
    return handle;
}

KVUniStringRef ToEngineString(std::string utf8, KVStatus* status)
{
    KVUniStringRef string = Spectrine::Detail::NewString(std::move(utf8));
    SetStatus(status, string != nullptr ? KVSuccess : KVErrorOutOfMemory);
    return string;
}

}  // namespace

extern "C" {

KVProfileRef KVProfileFromPathCreate(KVUniStringRef path, KVStatus* status)
{
    cmsHPROFILE handle = Open(path, status);
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
    cmsHPROFILE handle = Open(path, status);
    if (handle == nullptr) {
        return false;
    }
    const bool present = cmsIsTag(handle, cmsTagSignature(signature));
    cmsCloseProfile(handle);
    return present;
}

KVUniStringRef KVProfileGetMetaDataValueForName(KVProfileRef profile, KVUniStringRef name, KVStatus* status)
{
    if (profile == nullptr || name == nullptr) {
        SetStatus(status, KVErrorInvalidArgument);
        return nullptr;
    }
    const auto dictionary = static_cast<cmsHANDLE>(cmsReadTag(profile->handle, cmsSigMetaTag));
    if (dictionary == nullptr) {
        SetStatus(status, KVErrorTagNotFound);
        return nullptr;
    }
    for (const cmsDICTentry* entry = cmsDictGetEntryList(dictionary); entry != nullptr;
         entry = cmsDictNextEntry(entry)) {
        if (entry->Name == nullptr ||
            Spectrine::Detail::WideToUtf8(entry->Name, std::wcslen(entry->Name)) != name->utf8) {
            continue;
        }
        const wchar_t* value = entry->Value != nullptr ? entry->Value : L"";
        return ToEngineString(Spectrine::Detail::WideToUtf8(value, std::wcslen(value)), status);
    }
    SetStatus(status, KVErrorNameNotFound);
    return nullptr;
}

KVUniStringRef KVProfileGetDescription(KVProfileRef profile, KVStatus* status)
{
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
    cmsHPROFILE handle = Open(path, status);
    if (handle == nullptr) {
        return nullptr;
    }
    const auto* white = static_cast<const cmsCIEXYZ*>(cmsReadTag(handle, cmsSigMediaWhitePointTag));
    if (white == nullptr) {
        cmsCloseProfile(handle);
        SetStatus(status, KVErrorTagNotFound);
        return nullptr;
    }
    double scale = 1.0;
    const auto* luminance = static_cast<const cmsCIEXYZ*>(cmsReadTag(handle, cmsSigLuminanceTag));
    if (luminance != nullptr && white->Y > 0) {
        scale = luminance->Y / white->Y;
    }
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
