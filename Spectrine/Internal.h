// Shared by the engine's families; not part of its interface.
#pragma once

#include "Spectrine/Spectrine.h"

#include <string>

struct KVUniString {
    std::string utf8;
};

namespace Spectrine::Detail {

inline void SetStatus(KVStatus* status, KVStatus value)
{
    if (status != nullptr) {
        *status = value;
    }
}

// UTF-8 of wide characters (UTF-32 here); invalid code points become U+FFFD.
std::string WideToUtf8(const wchar_t* text, std::size_t length);

// A new engine string, or null when memory runs out.
KVUniStringRef NewString(std::string utf8);

}  // namespace Spectrine::Detail
