// Owners of engine handles for the engine's tests.
#pragma once

#include "Spectrine/Spectrine.h"

#include <QString>

#include <memory>

namespace EngineTest {

template <typename T, void (*Release)(T*)>
struct Deleter {
    void operator()(T* handle) const { Release(handle); }
};
template <typename T, void (*Release)(T*)>
using Owner = std::unique_ptr<T, Deleter<T, Release>>;

using String = Owner<KVUniString, KVUniStringRelease>;
using Color = Owner<KVColor, KVColorRelease>;
using Params = Owner<KVProfileDisplayParams, KVProfileDisplayParamsRelease>;
using Map = Owner<KVNameValueMap, KVNameValueMapRelease>;
using ProcessParams = Owner<KVCxf3ProcessFileParams, KVCxf3ProcessFileParamsRelease>;

struct StreamCloser {
    void operator()(KVCxf3Stream* stream) const { KVCxf3CloseStream(stream, nullptr); }
};
using Stream = std::unique_ptr<KVCxf3Stream, StreamCloser>;

// A chart and its count.
struct Chart {
    KVColorRef* colors = nullptr;
    std::int32_t count = 0;
    Chart() = default;
    Chart(const Chart&) = delete;
    Chart& operator=(const Chart&) = delete;
    ~Chart() { KVReleaseChart(colors, count); }
};

inline String Text(const QString& text)
{
    return String(KVUniStringCreateFromUtf8(text.toUtf8().constData()));
}

inline QString Utf8(KVUniStringRef string)
{
    return QString::fromUtf8(KVUniStringToUtf8(string));
}

}  // namespace EngineTest
