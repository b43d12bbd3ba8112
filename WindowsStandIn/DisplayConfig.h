// Display configuration stand-in: one path per active display (source mode and target mode),
// the topology of "topology" ("internal", "clone", "extend", "external"), and the advanced
// colour state of each target ("displays.N.hdr.supported", "displays.N.hdr.enabled"). A
// display's desktop position is "displays.N.position" {x, y}; by default the first active
// display sits at the origin, the others beside it (all at the origin in clone topology).
#pragma once

#include "WindowsStandIn/Win32.h"


constexpr UINT32 QDC_ALL_PATHS = 0x1;
constexpr UINT32 QDC_ONLY_ACTIVE_PATHS = 0x2;
constexpr UINT32 QDC_DATABASE_CURRENT = 0x4;
constexpr UINT32 QDC_VIRTUAL_MODE_AWARE = 0x10;
constexpr UINT32 DISPLAYCONFIG_PATH_ACTIVE = 0x1;
constexpr UINT32 DISPLAYCONFIG_PATH_MODE_IDX_INVALID = 0xFFFFFFFF;
constexpr UINT32 DISPLAYCONFIG_SOURCE_MODE_IDX_INVALID = 0xFFFF;

enum DISPLAYCONFIG_TOPOLOGY_ID : UINT32 {
    DISPLAYCONFIG_TOPOLOGY_INTERNAL = 0x1,
    DISPLAYCONFIG_TOPOLOGY_CLONE = 0x2,
    DISPLAYCONFIG_TOPOLOGY_EXTEND = 0x4,
    DISPLAYCONFIG_TOPOLOGY_EXTERNAL = 0x8,
};

enum DISPLAYCONFIG_MODE_INFO_TYPE : UINT32 {
    DISPLAYCONFIG_MODE_INFO_TYPE_SOURCE = 1,
    DISPLAYCONFIG_MODE_INFO_TYPE_TARGET = 2,
};

struct DISPLAYCONFIG_RATIONAL {
    UINT32 Numerator;
    UINT32 Denominator;
};

struct POINTL {
    LONG x;
    LONG y;
};

struct DISPLAYCONFIG_PATH_SOURCE_INFO {
    LUID adapterId;
    UINT32 id;
    // Virtual-mode-aware layout: clone group in the low 16 bits, source mode index in the high 16 bits.
    UINT32 modeInfoIdx;
    UINT32 statusFlags;
};

struct DISPLAYCONFIG_PATH_TARGET_INFO {
    LUID adapterId;
    UINT32 id;
    UINT32 modeInfoIdx;
    LONG outputTechnology;
    UINT32 rotation;
    UINT32 scaling;
    DISPLAYCONFIG_RATIONAL refreshRate;
    UINT32 scanLineOrdering;
    BOOL targetAvailable;
    UINT32 statusFlags;
};

struct DISPLAYCONFIG_PATH_INFO {
    DISPLAYCONFIG_PATH_SOURCE_INFO sourceInfo;
    DISPLAYCONFIG_PATH_TARGET_INFO targetInfo;
    UINT32 flags;
};

struct DISPLAYCONFIG_SOURCE_MODE {
    UINT32 width;
    UINT32 height;
    UINT32 pixelFormat;
    POINTL position;
};

struct DISPLAYCONFIG_MODE_INFO {
    DISPLAYCONFIG_MODE_INFO_TYPE infoType;
    UINT32 id;
    LUID adapterId;
    union {
        DISPLAYCONFIG_SOURCE_MODE sourceMode;
        BYTE targetMode[48];
    };
};

inline UINT32 SourceModeIndex(const DISPLAYCONFIG_PATH_SOURCE_INFO& source)
{
    return source.modeInfoIdx >> 16;
}

enum DISPLAYCONFIG_DEVICE_INFO_TYPE : UINT32 {
    DISPLAYCONFIG_DEVICE_INFO_GET_ADVANCED_COLOR_INFO = 9,
    DISPLAYCONFIG_DEVICE_INFO_SET_ADVANCED_COLOR_STATE = 10,
};

struct DISPLAYCONFIG_DEVICE_INFO_HEADER {
    DISPLAYCONFIG_DEVICE_INFO_TYPE type;
    UINT32 size;
    LUID adapterId;
    UINT32 id;
};

struct DISPLAYCONFIG_GET_ADVANCED_COLOR_INFO {
    DISPLAYCONFIG_DEVICE_INFO_HEADER header;
    UINT32 value;  // bit 0 supported, bit 1 enabled, bit 2 wide colour enforced, bit 3 force disabled
    UINT32 colorEncoding;
    UINT32 bitsPerColorChannel;
};

struct DISPLAYCONFIG_SET_ADVANCED_COLOR_STATE {
    DISPLAYCONFIG_DEVICE_INFO_HEADER header;
    UINT32 value;  // bit 0: enable
};

LONG GetDisplayConfigBufferSizes(UINT32 flags, UINT32* pathCount, UINT32* modeCount);
// With QDC_DATABASE_CURRENT the topology is written to `topology`, which must be null otherwise.
LONG QueryDisplayConfig(UINT32 flags, UINT32* pathCount, DISPLAYCONFIG_PATH_INFO* paths, UINT32* modeCount,
                        DISPLAYCONFIG_MODE_INFO* modes, DISPLAYCONFIG_TOPOLOGY_ID* topology);
LONG DisplayConfigGetDeviceInfo(DISPLAYCONFIG_DEVICE_INFO_HEADER* request);
LONG DisplayConfigSetDeviceInfo(DISPLAYCONFIG_DEVICE_INFO_HEADER* request);
