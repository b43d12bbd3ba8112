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
struct KVProfileParamsRefTag {
    static void Release(KVProfileDisplayParamsRef handle) { KVProfileDisplayParamsRelease(handle); }
};
struct KVDisplayProfileObjectRefTag {
    static void Release(KVDisplayProfileObjectRef handle) { KVDisplayProfileObjectRefRelease(handle); }
};
struct KVEditableICCProfileRefTag {
    static void Release(KVEditableICCProfileRef handle) { KVEditableICCProfileRelease(handle); }
};
struct KVNameValueMapRefTag {
    static void Release(KVNameValueMapRef handle) { KVNameValueMapRelease(handle); }
};
struct KVColorRefTag {
    static void Release(KVColorRef handle) { KVColorRelease(handle); }
};
struct KVCxf3StreamRefTag {
    static void Release(KVCxf3StreamRef handle) { KVCxf3CloseStream(handle, nullptr); }
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
using ProfileParams = Resource<KVProfileParamsRefTag, KVProfileDisplayParamsRef>;
using DisplayProfileObject = Resource<KVDisplayProfileObjectRefTag, KVDisplayProfileObjectRef>;
using EditableProfile = Resource<KVEditableICCProfileRefTag, KVEditableICCProfileRef>;
using NameValueMap = Resource<KVNameValueMapRefTag, KVNameValueMapRef>;
using Color = Resource<KVColorRefTag, KVColorRef>;
using Cxf3Stream = Resource<KVCxf3StreamRefTag, KVCxf3StreamRef>;

// An engine chart (array of colours) with its count, freed with KVReleaseChart.
class Chart {
public:
    Chart() = default;
    Chart(KVColorRef* colors, std::int32_t count) : colors(colors), count(count) {}
    ~Chart() { Reset(); }
    Chart(const Chart&) = delete;
    Chart& operator=(const Chart&) = delete;

    KVColorRef* Get() const { return colors; }
    std::int32_t Count() const { return count; }
    explicit operator bool() const { return colors != nullptr; }
    void Reset(KVColorRef* replacement = nullptr, std::int32_t replacementCount = 0)
    {
        if (colors != nullptr && colors != replacement) {
            KVReleaseChart(colors, count);
        }
        colors = replacement;
        count = replacementCount;
    }

private:
    KVColorRef* colors = nullptr;
    std::int32_t count = 0;
};

}  // namespace Korvel::DisplayCalibration::Common::Spectrine
