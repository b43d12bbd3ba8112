// DXGI stand-in in a small idiom of our own. Adapters come from the machine description
// ("adapters": description, LUID, software flag), in its order; an adapter's outputs are its
// active displays. An output's description gives the colour space (RGB_FULL_G2084_NONE_P2020
// while "displays.N.hdr.enabled") and "displays.N.bitsPerColor".
#pragma once

#include "WindowsStandIn/Com.h"

#include <string>

constexpr HRESULT DXGI_ERROR_NOT_FOUND = HRESULT(0x887A0002u);
constexpr UINT DXGI_CREATE_FACTORY_DEBUG = 0x1;
constexpr UINT DXGI_ADAPTER_FLAG_NONE = 0;
constexpr UINT DXGI_ADAPTER_FLAG_REMOTE = 1;
constexpr UINT DXGI_ADAPTER_FLAG_SOFTWARE = 2;

enum DXGI_GPU_PREFERENCE {
    DXGI_GPU_PREFERENCE_UNSPECIFIED = 0,
    DXGI_GPU_PREFERENCE_MINIMUM_POWER = 1,
    DXGI_GPU_PREFERENCE_HIGH_PERFORMANCE = 2,
};

struct DXGI_ADAPTER_DESC1 {
    std::wstring Description;
    LUID AdapterLuid;
    UINT Flags = 0;
};

enum DXGI_COLOR_SPACE_TYPE : UINT {
    DXGI_COLOR_SPACE_RGB_FULL_G22_NONE_P709 = 0,
    DXGI_COLOR_SPACE_RGB_FULL_G2084_NONE_P2020 = 12,
};

struct DXGI_OUTPUT_DESC1 {
    WCHAR DeviceName[32];
    BOOL AttachedToDesktop;
    UINT BitsPerColor;
    DXGI_COLOR_SPACE_TYPE ColorSpace;
};

class IDXGIOutput6 {
public:
    virtual HRESULT GetDesc1(DXGI_OUTPUT_DESC1* description) = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IDXGIOutput6() = default;
};

class IDXGIOutput {
public:
    // QueryInterface for IDXGIOutput6.
    virtual HRESULT QueryOutput6(IDXGIOutput6** output) = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IDXGIOutput() = default;
};

class IDXGIAdapter1 {
public:
    // DXGI_ERROR_NOT_FOUND past the last output.
    virtual HRESULT EnumOutputs(UINT index, IDXGIOutput** output) = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IDXGIAdapter1() = default;
};

class IDXGIFactory {
public:
    // DXGI_ERROR_NOT_FOUND past the last adapter.
    virtual HRESULT EnumAdapters1(UINT index, IDXGIAdapter1** adapter) = 0;
    // FALSE once the machine's adapters or outputs changed after the factory was made.
    virtual BOOL IsCurrent() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IDXGIFactory() = default;
};

// CreateDXGIFactory1 for IDXGIFactory6, CreateDXGIFactory2 for IDXGIFactory4: one factory here.
HRESULT CreateDXGIFactory1(IDXGIFactory** factory);
HRESULT CreateDXGIFactory2(UINT flags, IDXGIFactory** factory);

// CreateDXGIFactory2 followed by QueryInterface for IDXGIFactory6: S_OK, or the failing HRESULT
// (E_NOINTERFACE when the factory offers no IDXGIFactory6; injectable as "IDXGIFactory6").
HRESULT CreateDXGIFactory6(UINT flags);
// IDXGIFactory6::EnumAdapterByGpuPreference followed by IDXGIAdapter1::GetDesc1:
// S_OK, or DXGI_ERROR_NOT_FOUND past the last adapter.
HRESULT EnumAdapterByGpuPreference(UINT index, DXGI_GPU_PREFERENCE preference, DXGI_ADAPTER_DESC1* desc);
