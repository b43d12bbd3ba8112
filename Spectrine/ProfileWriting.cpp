#include "Spectrine/Internal.h"

#include <lcms2_plugin.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace Spectrine::Detail {
namespace {

constexpr std::size_t HeaderSize = 128;
constexpr std::size_t CmmOffset = 4;
constexpr std::size_t PlatformOffset = 40;
constexpr std::size_t FlagsOffset = 44;
constexpr std::size_t IntentOffset = 64;
constexpr std::size_t CreatorOffset = 80;
constexpr std::size_t IdOffset = 84;
constexpr std::size_t IdSize = 16;

}  // namespace

KVStatus WriteDescription(cmsHPROFILE profile, const std::string& text)
{
    cmsMLU* description = cmsMLUalloc(nullptr, 1);
    if (description == nullptr) {
        return KVErrorOutOfMemory;
    }
    const bool written = cmsMLUsetWide(description, "en", "US", Utf8ToWide(text).c_str()) &&
                         cmsWriteTag(profile, cmsSigProfileDescriptionTag, description);
    cmsMLUfree(description);
    return written ? KVSuccess : KVErrorOutOfMemory;
}

KVStatus SaveProfile(cmsHPROFILE profile, const std::string& path, const std::uint8_t* header)
{
    cmsUInt32Number size = 0;
    if (!cmsSaveProfileToMem(profile, nullptr, &size) || size < HeaderSize) {
        return KVErrorInvalidProfile;
    }
    std::vector<std::uint8_t> content(size);
    if (!cmsSaveProfileToMem(profile, content.data(), &size)) {
        return KVErrorInvalidProfile;
    }
    // LittleCMS names itself as preferred CMM, platform and creator; an edited profile keeps those
    // of its source.
    bool identified = true;
    if (header != nullptr) {
        for (const std::size_t field : {CmmOffset, PlatformOffset, CreatorOffset}) {
            std::copy_n(header + field, 4, content.begin() + std::ptrdiff_t(field));
        }
        identified = std::any_of(header + IdOffset, header + IdOffset + IdSize, [](std::uint8_t b) { return b != 0; });
    }
    // The ID is the MD5 of the profile with its flags, rendering intent and ID zeroed.
    std::fill_n(content.begin() + IdOffset, IdSize, 0);
    if (identified) {
        std::vector<std::uint8_t> hashed = content;
        std::fill_n(hashed.begin() + FlagsOffset, 4, 0);
        std::fill_n(hashed.begin() + IntentOffset, 4, 0);
        cmsHANDLE md5 = cmsMD5alloc(nullptr);
        if (md5 == nullptr) {
            return KVErrorOutOfMemory;
        }
        cmsMD5add(md5, hashed.data(), cmsUInt32Number(hashed.size()));
        cmsProfileID id;
        cmsMD5finish(&id, md5);
        std::copy_n(id.ID8, IdSize, content.begin() + IdOffset);
    }
    KVStatus status = KVSuccess;
    ReplaceFile(
               path,
               [&content](const std::string& temporary) {
                   std::FILE* file = std::fopen(temporary.c_str(), "wb");
                   if (file == nullptr) {
                       return false;
                   }
                   const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
                   return std::fclose(file) == 0 && written;
               },
               &status);
    return status;
}

}  // namespace Spectrine::Detail
