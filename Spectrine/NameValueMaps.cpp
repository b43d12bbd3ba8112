#include "Spectrine/NameValueMaps.h"

#include "Spectrine/Internal.h"

#include <algorithm>

using namespace Spectrine::Detail;

extern "C" {

KVNameValueMapRef KVNameValueMapCreate(KVStatus* status)
{
    return NewHandle<KVNameValueMap>("KVNameValueMapCreate", status);
}

void KVNameValueMapAddValue(KVNameValueMapRef map, KVUniStringRef name, KVUniStringRef value, KVStatus* status)
{
    if (Injected("KVNameValueMapAddValue", status)) {
        return;
    }
    if (map == nullptr || name == nullptr || value == nullptr || name->utf8.empty()) {
        SetStatus(status, KVErrorInvalidArgument);
        return;
    }
    auto& entries = map->entries;
    const auto existing = std::find_if(entries.begin(), entries.end(),
                                       [&](const auto& entry) { return entry.first == name->utf8; });
    if (existing != entries.end()) {
        existing->second = value->utf8;
    } else {
        entries.emplace_back(name->utf8, value->utf8);
    }
    SetStatus(status, KVSuccess);
}

void KVNameValueMapRelease(KVNameValueMapRef map)
{
    delete map;
}

}  // extern "C"
