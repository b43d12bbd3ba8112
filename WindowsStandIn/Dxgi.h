// DXGI stand-in in our own idiom: the factory and adapter interfaces become two functions that
// give what the callers read. Adapters come from the machine description ("adapters": description,
// LUID, software flag).
#pragma once

#include "WindowsStandIn/Win32.h"

#include <string>

struct LUID {
    DWORD LowPart = 0;
    LONG HighPart = 0;
};

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002u);
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

inline constexpr HRESULT HRESULT_FROM_WIN32(DWORD code)
{
    return code == 0 ? S_OK : HRESULT((code & 0xFFFFu) | 0x80070000u);
}
inline constexpr bool SUCCEEDED(HRESULT result) { return result >= 0; }
inline constexpr bool FAILED(HRESULT result) { return result < 0; }

// CreateDXGIFactory2 followed by QueryInterface for IDXGIFactory6: S_OK, or the failing HRESULT
// (E_NOINTERFACE when the factory offers no IDXGIFactory6).
HRESULT CreateDXGIFactory6(UINT flags);
// IDXGIFactory6::EnumAdapterByGpuPreference followed by IDXGIAdapter1::GetDesc1:
// S_OK, or DXGI_ERROR_NOT_FOUND past the last adapter.
HRESULT EnumAdapterByGpuPreference(UINT index, DXGI_GPU_PREFERENCE preference, DXGI_ADAPTER_DESC1* desc);
