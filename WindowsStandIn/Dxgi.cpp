#include "WindowsStandIn/Dxgi.h"

#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/SimulatedDisplays.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>

namespace {

using WinSim::Displays::Display;

QList<Display> Outputs(const WinSim::Displays::Machine& machine, int adapter)
{
    QList<Display> outputs;
    for (const Display& display : machine.displays) {
        if (display.active && display.adapter == adapter) {
            outputs.append(display);
        }
    }
    return outputs;
}

class Output final : public IDXGIOutput, public IDXGIOutput6 {
public:
    explicit Output(Display display) : display(std::move(display)) {}
    HRESULT QueryOutput6(IDXGIOutput6** output) override
    {
        if (output == nullptr) {
            return E_INVALIDARG;
        }
        ++references;
        *output = this;
        return S_OK;
    }
    HRESULT GetDesc1(DXGI_OUTPUT_DESC1* description) override
    {
        if (description == nullptr) {
            return E_INVALIDARG;
        }
        if (const HRESULT fault = WinSim::Displays::FaultResult("IDXGIOutput6::GetDesc1"); fault != 0) {
            return fault;
        }
        // The state at the time of the call.
        const WinSim::Displays::Machine machine = WinSim::Displays::Load();
        const QJsonObject now = display.index < machine.displays.size() ? machine.displays[display.index].json : display.json;
        *description = {};
        const std::wstring name = display.deviceName.toStdWString();
        std::copy_n(name.begin(), std::min<size_t>(name.size(), 31), description->DeviceName);
        description->AttachedToDesktop = TRUE;
        description->BitsPerColor = UINT(now.value(QStringLiteral("bitsPerColor")).toInt(8));
        const QJsonObject hdr = now.value(QStringLiteral("hdr")).toObject();
        description->ColorSpace = hdr.value(QStringLiteral("enabled")).toBool(false)
                                      ? DXGI_COLOR_SPACE_RGB_FULL_G2084_NONE_P2020
                                      : DXGI_COLOR_SPACE_RGB_FULL_G22_NONE_P709;
        return S_OK;
    }
    ULONG Release() override
    {
        const ULONG left = --references;
        if (left == 0) {
            delete this;
        }
        return left;
    }

private:
    Display display;
    ULONG references = 1;
};

class Adapter final : public IDXGIAdapter1 {
public:
    explicit Adapter(QList<Display> outputs) : outputs(std::move(outputs)) {}
    HRESULT EnumOutputs(UINT index, IDXGIOutput** output) override
    {
        if (output == nullptr) {
            return E_INVALIDARG;
        }
        *output = nullptr;
        if (index >= UINT(outputs.size())) {
            return DXGI_ERROR_NOT_FOUND;
        }
        *output = new Output(outputs[qsizetype(index)]);
        return S_OK;
    }
    ULONG Release() override
    {
        delete this;
        return 0;
    }

private:
    QList<Display> outputs;
};

class Factory final : public IDXGIFactory {
public:
    Factory() : machine(WinSim::Displays::Load()) {}
    HRESULT EnumAdapters1(UINT index, IDXGIAdapter1** adapter) override
    {
        if (adapter == nullptr) {
            return E_INVALIDARG;
        }
        *adapter = nullptr;
        if (index >= UINT(machine.adapters.size())) {
            return DXGI_ERROR_NOT_FOUND;
        }
        *adapter = new Adapter(Outputs(machine, int(index)));
        return S_OK;
    }
    BOOL IsCurrent() override
    {
        const WinSim::Displays::Machine now = WinSim::Displays::Load();
        if (now.adapters.size() != machine.adapters.size()) {
            return FALSE;
        }
        for (int i = 0; i < int(now.adapters.size()); ++i) {
            QStringList before, after;
            for (const Display& d : Outputs(machine, i)) before << d.deviceName;
            for (const Display& d : Outputs(now, i)) after << d.deviceName;
            if (before != after) {
                return FALSE;
            }
        }
        return TRUE;
    }
    ULONG Release() override
    {
        delete this;
        return 0;
    }

private:
    WinSim::Displays::Machine machine;
};

HRESULT CreateFactory(const char* function, IDXGIFactory** factory)
{
    if (factory == nullptr) {
        return E_INVALIDARG;
    }
    *factory = nullptr;
    if (const HRESULT fault = WinSim::Displays::FaultResult(function); fault != 0) {
        return fault;
    }
    *factory = new Factory;
    return S_OK;
}

}  // namespace

HRESULT CreateDXGIFactory1(IDXGIFactory** factory)
{
    return CreateFactory("CreateDXGIFactory1", factory);
}

HRESULT CreateDXGIFactory2(UINT, IDXGIFactory** factory)
{
    return CreateFactory("CreateDXGIFactory2", factory);
}

HRESULT CreateDXGIFactory6(UINT)
{
    if (const HRESULT fault = WinSim::Displays::FaultResult("CreateDXGIFactory2"); fault != 0) {
        return fault;
    }
    return WinSim::Displays::FaultResult("IDXGIFactory6");
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
