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

void Append32(std::vector<std::uint8_t>& bytes, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(std::uint8_t(value >> shift));
    }
}

// The version 2 description type: 7-bit ASCII ("?" for anything else), the text in UTF-16 for
// English, no ScriptCode text. (LittleCMS would put the low bytes of wide characters in the ASCII
// part.)
std::vector<std::uint8_t> TextDescription(const std::wstring& text)
{
    std::vector<std::uint8_t> bytes;
    Append32(bytes, 0x64657363);  // 'desc'
    Append32(bytes, 0);
    Append32(bytes, std::uint32_t(text.size() + 1));
    for (const wchar_t c : text) {
        bytes.push_back(std::uint32_t(c) < 0x80 ? std::uint8_t(c) : std::uint8_t('?'));
    }
    bytes.push_back(0);
    std::vector<std::uint16_t> utf16;
    for (const wchar_t c : text) {
        const auto code = std::uint32_t(c);
        if (code >= 0x10000) {
            utf16.push_back(std::uint16_t(0xD800 + ((code - 0x10000) >> 10)));
            utf16.push_back(std::uint16_t(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            utf16.push_back(std::uint16_t(code));
        }
    }
    utf16.push_back(0);
    Append32(bytes, 0x656E5553);  // "enUS"
    Append32(bytes, std::uint32_t(utf16.size()));
    for (const std::uint16_t unit : utf16) {
        bytes.push_back(std::uint8_t(unit >> 8));
        bytes.push_back(std::uint8_t(unit));
    }
    bytes.insert(bytes.end(), 2 + 1 + 67, 0);
    return bytes;
}

}  // namespace

bool ReplaceRawTag(cmsHPROFILE profile, std::uint32_t signature, const std::vector<std::uint8_t>& bytes)
{
    const auto tag = cmsTagSignature(signature);
    if (cmsIsTag(profile, tag) && !cmsWriteTag(profile, tag, nullptr)) {
        return false;
    }
    return cmsWriteRawTag(profile, tag, bytes.data(), cmsUInt32Number(bytes.size()));
}

KVStatus WriteDescription(cmsHPROFILE profile, const std::string& text)
{
    const std::wstring wide = Utf8ToWide(text);
    if (cmsGetEncodedICCversion(profile) < 0x4000000) {
        return ReplaceRawTag(profile, cmsSigProfileDescriptionTag, TextDescription(wide)) ? KVSuccess
                                                                                          : KVErrorOutOfMemory;
    }
    cmsMLU* description = cmsMLUalloc(nullptr, 1);
    if (description == nullptr) {
        return KVErrorOutOfMemory;
    }
    const bool written = cmsMLUsetWide(description, "en", "US", wide.c_str()) &&
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
