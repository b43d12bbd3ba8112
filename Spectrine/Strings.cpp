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
