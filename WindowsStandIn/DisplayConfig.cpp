#include "WindowsStandIn/DisplayConfig.h"

#include "WindowsStandIn/SimulatedDisplays.h"

#include <QJsonObject>

#include <cstring>

namespace {

using WinSim::Displays::Display;

QList<Display> ActiveDisplays(const WinSim::Displays::Machine& machine)
{
    QList<Display> active;
    for (const Display& display : machine.displays) {
        if (display.active) {
            active.append(display);
        }
    }
    return active;
}

LUID AdapterLuid(const WinSim::Displays::Machine& machine, const Display& display)
{
    if (display.adapter < 0 || display.adapter >= machine.adapters.size()) {
        return {0, 0};
    }
    return {machine.adapters[display.adapter].luidLow, machine.adapters[display.adapter].luidHigh};
}

DISPLAYCONFIG_TOPOLOGY_ID Topology(const QString& name)
{
    if (name == QLatin1String("clone")) {
        return DISPLAYCONFIG_TOPOLOGY_CLONE;
    }
    if (name == QLatin1String("extend")) {
        return DISPLAYCONFIG_TOPOLOGY_EXTEND;
    }
    if (name == QLatin1String("external")) {
        return DISPLAYCONFIG_TOPOLOGY_EXTERNAL;
    }
    return DISPLAYCONFIG_TOPOLOGY_INTERNAL;
}

const Display* FindTarget(const WinSim::Displays::Machine& machine, const DISPLAYCONFIG_DEVICE_INFO_HEADER& header)
{
    for (const Display& display : machine.displays) {
        const LUID luid = AdapterLuid(machine, display);
        if (display.present && display.targetId == header.id && luid.LowPart == header.adapterId.LowPart &&
            luid.HighPart == header.adapterId.HighPart) {
            return &display;
        }
    }
    return nullptr;
}

}  // namespace

LONG GetDisplayConfigBufferSizes(UINT32 flags, UINT32* pathCount, UINT32* modeCount)
{
    if (pathCount == nullptr || modeCount == nullptr || (flags & (QDC_ALL_PATHS | QDC_ONLY_ACTIVE_PATHS | QDC_DATABASE_CURRENT)) == 0) {
        return LONG(ERROR_INVALID_PARAMETER);
    }
    if (const LONG fault = WinSim::Displays::Fault("GetDisplayConfigBufferSizes"); fault != 0) {
        return fault;
    }
    const qsizetype count = ActiveDisplays(WinSim::Displays::Load()).size();
    *pathCount = UINT32(count);
    *modeCount = UINT32(count * 2);
    return LONG(ERROR_SUCCESS);
}

LONG QueryDisplayConfig(UINT32 flags, UINT32* pathCount, DISPLAYCONFIG_PATH_INFO* paths, UINT32* modeCount,
                        DISPLAYCONFIG_MODE_INFO* modes, DISPLAYCONFIG_TOPOLOGY_ID* topology)
{
    const bool database = (flags & QDC_DATABASE_CURRENT) != 0;
    if (pathCount == nullptr || modeCount == nullptr || paths == nullptr || modes == nullptr ||
        database != (topology != nullptr)) {
        return LONG(ERROR_INVALID_PARAMETER);
    }
    if (const LONG fault = WinSim::Displays::Fault("QueryDisplayConfig"); fault != 0) {
        return fault;
    }
    const WinSim::Displays::Machine machine = WinSim::Displays::Load();
    const QList<Display> active = ActiveDisplays(machine);
    if (*pathCount < UINT32(active.size()) || *modeCount < UINT32(active.size() * 2)) {
        return LONG(ERROR_INSUFFICIENT_BUFFER);
    }
    const bool virtualModeAware = (flags & QDC_VIRTUAL_MODE_AWARE) != 0;
    const bool clone = machine.topology == QLatin1String("clone");
    LONG nextX = 0;
    for (qsizetype i = 0; i < active.size(); ++i) {
        const Display& display = active[i];
        const LUID luid = AdapterLuid(machine, display);
        const UINT32 sourceMode = UINT32(2 * i);
        const UINT32 targetMode = UINT32(2 * i + 1);
        const UINT32 sourceId = UINT32(display.deviceName.mid(display.deviceName.indexOf(QLatin1String("DISPLAY")) + 7).toUInt()) - 1;

        DISPLAYCONFIG_PATH_INFO& path = paths[i];
        path = DISPLAYCONFIG_PATH_INFO{};
        path.sourceInfo.adapterId = luid;
        path.sourceInfo.id = sourceId;
        // "sourceMode": false gives a path without a source mode (the invalid index marker).
        const bool hasSourceMode = display.json.value(QStringLiteral("sourceMode")).toBool(true);
        const UINT32 sourceIndex = hasSourceMode ? sourceMode : DISPLAYCONFIG_SOURCE_MODE_IDX_INVALID;
        path.sourceInfo.modeInfoIdx = virtualModeAware ? (sourceIndex << 16) | 0xFFFF
                                                       : (hasSourceMode ? sourceMode : DISPLAYCONFIG_PATH_MODE_IDX_INVALID);
        path.targetInfo.adapterId = luid;
        path.targetInfo.id = display.targetId;
        path.targetInfo.modeInfoIdx = virtualModeAware ? (0xFFFFu << 16) | targetMode : targetMode;
        path.targetInfo.outputTechnology = LONG(quint32(qint64(display.outputTechnology.toDouble(-1))));
        path.targetInfo.refreshRate = {60000, 1000};
        path.targetInfo.targetAvailable = TRUE;
        path.flags = DISPLAYCONFIG_PATH_ACTIVE;

        DISPLAYCONFIG_MODE_INFO& source = modes[sourceMode];
        source = DISPLAYCONFIG_MODE_INFO{};
        source.infoType = DISPLAYCONFIG_MODE_INFO_TYPE_SOURCE;
        source.id = sourceId;
        source.adapterId = luid;
        source.sourceMode.width = 1920;
        source.sourceMode.height = 1200;
        const QJsonObject position = display.json.value(QStringLiteral("position")).toObject();
        if (!position.isEmpty()) {
            source.sourceMode.position = {position.value(QStringLiteral("x")).toInt(), position.value(QStringLiteral("y")).toInt()};
        } else {
            source.sourceMode.position = {clone ? 0 : nextX, 0};
            nextX += 1920;
        }

        DISPLAYCONFIG_MODE_INFO& target = modes[targetMode];
        target = DISPLAYCONFIG_MODE_INFO{};
        target.infoType = DISPLAYCONFIG_MODE_INFO_TYPE_TARGET;
        target.id = display.targetId;
        target.adapterId = luid;
    }
    *pathCount = UINT32(active.size());
    *modeCount = UINT32(active.size() * 2);
    if (topology != nullptr) {
        *topology = Topology(machine.topology);
    }
    return LONG(ERROR_SUCCESS);
}

LONG DisplayConfigGetDeviceInfo(DISPLAYCONFIG_DEVICE_INFO_HEADER* request)
{
    if (request == nullptr || request->type != DISPLAYCONFIG_DEVICE_INFO_GET_ADVANCED_COLOR_INFO ||
        request->size != sizeof(DISPLAYCONFIG_GET_ADVANCED_COLOR_INFO)) {
        return LONG(ERROR_INVALID_PARAMETER);
    }
    if (const LONG fault = WinSim::Displays::Fault("DisplayConfigGetDeviceInfo"); fault != 0) {
        return fault;
    }
    const WinSim::Displays::Machine machine = WinSim::Displays::Load();
    const Display* display = FindTarget(machine, *request);
    if (display == nullptr) {
        return LONG(ERROR_INVALID_PARAMETER);
    }
    const QJsonObject hdr = display->json.value(QStringLiteral("hdr")).toObject();
    auto* info = reinterpret_cast<DISPLAYCONFIG_GET_ADVANCED_COLOR_INFO*>(request);
    const bool supported = hdr.value(QStringLiteral("supported")).toBool(false);
    const bool enabled = supported && hdr.value(QStringLiteral("enabled")).toBool(false);
    info->value = (supported ? 0x1u : 0u) | (enabled ? 0x2u : 0u);
    info->colorEncoding = 0;
    info->bitsPerColorChannel = UINT32(display->json.value(QStringLiteral("bitsPerColor")).toInt(8));
    return LONG(ERROR_SUCCESS);
}

LONG DisplayConfigSetDeviceInfo(DISPLAYCONFIG_DEVICE_INFO_HEADER* request)
{
    if (request == nullptr || request->type != DISPLAYCONFIG_DEVICE_INFO_SET_ADVANCED_COLOR_STATE ||
        request->size != sizeof(DISPLAYCONFIG_SET_ADVANCED_COLOR_STATE)) {
        return LONG(ERROR_INVALID_PARAMETER);
    }
    if (const LONG fault = WinSim::Displays::Fault("DisplayConfigSetDeviceInfo"); fault != 0) {
        return fault;
    }
    const WinSim::Displays::Machine machine = WinSim::Displays::Load();
    const Display* display = FindTarget(machine, *request);
    if (display == nullptr) {
        return LONG(ERROR_INVALID_PARAMETER);
    }
    if (!display->json.value(QStringLiteral("hdr")).toObject().value(QStringLiteral("supported")).toBool(false)) {
        return LONG(ERROR_NOT_SUPPORTED);
    }
    const bool enable = (reinterpret_cast<DISPLAYCONFIG_SET_ADVANCED_COLOR_STATE*>(request)->value & 0x1) != 0;
    WinSim::Displays::SetDisplayValue(display->index, QStringLiteral("hdr.enabled"), enable);
    return LONG(ERROR_SUCCESS);
}
