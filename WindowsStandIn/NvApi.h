// The GPU driver library "nvapi.dll": one export, "nvapi_QueryInterface", that gives the
// address of a driver function by its 32-bit interface ID. The stand-in module is available
// when "gpu.nvapi" is true. Its dynamic-display-switching query answers from "gpu.ddsMode"
// (0 none, 1 integrated: entry 0 flagged, 2 discrete: entry 1 flagged, entry 0 not), or from
// "gpu.ddsTargets" ([{"targetId", "flags"}], entries from 0) when given; "gpu.ddsStatus" is
// the status the query returns instead (-104: not supported). "gpu.initializeStatus" is the
// status of the initialise function. Initialise and release calls are journalled.
#pragma once

#include <cstddef>
#include <cstdint>

namespace NvApi {

using Status = std::int32_t;
constexpr Status Ok = 0;
constexpr Status Error = -1;
constexpr Status NotSupported = -104;
constexpr Status IncompatibleStructVersion = -9;

// Interface IDs of the driver functions.
constexpr std::uint32_t InitializeId = 0x0150E828;
constexpr std::uint32_t InitializeExId = 0xAD298D3F;
constexpr std::uint32_t UnloadId = 0xD22BDD7E;
constexpr std::uint32_t UnloadExId = 0xD7C61344;
constexpr std::uint32_t InstrumentBeforeId = 0x33C7358C;
constexpr std::uint32_t InstrumentAfterId = 0x593E8644;
constexpr std::uint32_t DdsQueryId = 0xC2B6FB12;

using QueryInterfaceFunction = void* (*)(std::uint32_t id);
using InitializeFunction = Status (*)();
using UnloadFunction = Status (*)();
using UnloadExFunction = Status (*)(std::uint32_t libraryIndex);
using InstrumentBeforeFunction = void (*)(std::uint32_t id, void* context);
using InstrumentAfterFunction = void (*)(std::uint32_t id, void* context, Status status);

// The dynamic-display-switching query, shared by the driver and its client.
struct DdsTarget {
    void* buffer;          // set by the caller: a 16-byte buffer of its own
    std::uint32_t targetId;
    std::uint32_t flags;   // bit 0: the active DDS target
    std::uint32_t reserved[2];
};

constexpr int DdsTargetCount = 256;
constexpr std::size_t DdsTargetBufferSize = 16;

struct DdsQuery {
    std::uint32_t version;  // sizeof(DdsQuery) | 1 << 16
    std::uint32_t reserved;
    DdsTarget targets[DdsTargetCount];
};

constexpr std::uint32_t DdsQueryVersion = std::uint32_t(sizeof(DdsQuery)) | (1u << 16);
static_assert(sizeof(DdsQuery) < 0x10000, "the size must fit the version word's low 16 bits");
static_assert(offsetof(DdsQuery, targets) % alignof(DdsTarget) == 0);

using DdsQueryFunction = Status (*)(DdsQuery* query);

}  // namespace NvApi
