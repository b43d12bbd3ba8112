// Stand-in for the colour engine: flat functions with the prefix KV over opaque handles,
// built on LittleCMS 2. Every call reports through a status word and never throws.
#pragma once

#include <cstdint>

extern "C" {

using KVStatus = std::int32_t;
constexpr KVStatus KVSuccess = 0;

}
