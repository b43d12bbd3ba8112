#include "WindowsStandIn/Dxgi.h"

#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/StateFile.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

// An injected code is a Win32 code, or an HRESULT when its top bit is set.
HRESULT AsHresult(DWORD code)
{
    return (code & 0x80000000u) != 0 ? HRESULT(code) : HRESULT_FROM_WIN32(code);
}

}  // namespace

HRESULT CreateDXGIFactory6(UINT)
{
    if (const auto code = WinSim::InjectedFailure(QStringLiteral("CreateDXGIFactory2"))) {
        return AsHresult(*code);
    }
    if (const auto code = WinSim::InjectedFailure(QStringLiteral("IDXGIFactory6"))) {
        return AsHresult(*code);
    }
    return S_OK;
}

HRESULT EnumAdapterByGpuPreference(UINT index, DXGI_GPU_PREFERENCE, DXGI_ADAPTER_DESC1* desc)
{
    const QJsonArray adapters = WinSim::DescriptionValue(QStringLiteral("adapters")).toArray();
    if (index >= UINT(adapters.size())) {
        return DXGI_ERROR_NOT_FOUND;
    }
    if (desc == nullptr) {
        return HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER);
    }
    const QJsonObject adapter = adapters[qsizetype(index)].toObject();
    const QJsonObject luid = adapter.value(QStringLiteral("luid")).toObject();
    desc->Description = adapter.value(QStringLiteral("description")).toString().toStdWString();
    desc->AdapterLuid.LowPart = DWORD(luid.value(QStringLiteral("low")).toInteger());
    desc->AdapterLuid.HighPart = LONG(luid.value(QStringLiteral("high")).toInteger());
    desc->Flags = adapter.value(QStringLiteral("software")).toBool() ? DXGI_ADAPTER_FLAG_SOFTWARE : DXGI_ADAPTER_FLAG_NONE;
    return S_OK;
}
