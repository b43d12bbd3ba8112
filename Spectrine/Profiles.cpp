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

using Spectrine::Detail::Injected;
using Spectrine::Detail::OpenProfile;
using Spectrine::Detail::SetStatus;

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
