// Owning holder of one colour-engine handle: releases it with its kind's release function when
// destroyed or replaced.
#pragma once

#include "Spectrine/Spectrine.h"

#include <utility>

namespace Korvel::DisplayCalibration::Common::Spectrine {

// Tags name a handle kind and its release function.
struct KVUniStringRefTag {
    static void Release(KVUniStringRef handle) { KVUniStringRelease(handle); }
};
struct KVProfileRefTag {
    static void Release(KVProfileRef handle) { KVProfileRelease(handle); }
};

template <typename Tag, typename Handle>
class Resource {
public:
    Resource() = default;
    explicit Resource(Handle handle) : handle(handle) {}
    ~Resource() { Reset(); }
    Resource(const Resource&) = delete;
    Resource& operator=(const Resource&) = delete;
    Resource(Resource&& other) noexcept : handle(std::exchange(other.handle, nullptr)) {}
    Resource& operator=(Resource&& other) noexcept
    {
        if (this != &other) {
            Reset(std::exchange(other.handle, nullptr));
        }
        return *this;
    }

    Handle Get() const { return handle; }
    explicit operator bool() const { return handle != nullptr; }
    // Releases the held handle (when not null) and holds `replacement`.
    void Reset(Handle replacement = nullptr)
    {
        if (handle != nullptr && handle != replacement) {
            Tag::Release(handle);
        }
        handle = replacement;
    }

private:
    Handle handle = nullptr;
};

using UniString = Resource<KVUniStringRefTag, KVUniStringRef>;
using Profile = Resource<KVProfileRefTag, KVProfileRef>;

}  // namespace Korvel::DisplayCalibration::Common::Spectrine
