#include "Spectrine/Internal.h"

#include <cstdlib>
#include <cwchar>
#include <new>

namespace Spectrine::Detail {
namespace {

constexpr char32_t Replacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        c = Replacement;
    }
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string WideToUtf8(const wchar_t* text, std::size_t length)
{
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        AppendUtf8(out, char32_t(std::uint32_t(text[i])));
    }
    return out;
}

KVUniStringRef NewString(std::string utf8)
{
    return new (std::nothrow) KVUniString{std::move(utf8)};
}

std::wstring Utf8ToWide(const std::string& text)
{
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = std::uint8_t(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        std::size_t used = 1;
        while (length > 1 && used < length && i + used < text.size() && (std::uint8_t(text[i + used]) >> 6) == 2) {
            c = c << 6 | (std::uint8_t(text[i + used]) & 0x3F);
            ++used;
        }
        // Minimal encodings only, no surrogates, nothing past U+10FFFF.
        static const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (length == 0 || used != length || c < smallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            c = Replacement;
        }
        out += wchar_t(c);
        i += used;
    }
    return out;
}

}  // namespace Spectrine::Detail

using namespace Spectrine::Detail;

extern "C" {

KVUniStringRef KVUniStringCreate(const wchar_t* text)
{
    return text != nullptr ? NewString(WideToUtf8(text, std::wcslen(text))) : nullptr;
}

KVUniStringRef KVUniStringCreateFromWide(const wchar_t* text, std::size_t length)
{
    if (text == nullptr && length != 0) {
        return nullptr;
    }
    return NewString(WideToUtf8(text, length));
}

KVUniStringRef KVUniStringCreateFromUtf8(const char* text)
{
    return text != nullptr ? NewString(text) : nullptr;
}

const char* KVUniStringToUtf8(KVUniStringRef string)
{
    return string != nullptr ? string->utf8.c_str() : nullptr;
}

void KVUniStringRelease(KVUniStringRef string)
{
    delete string;
}

void KVFree(void* buffer)
{
    std::free(buffer);
}

}  // extern "C"
