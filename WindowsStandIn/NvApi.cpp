#include "WindowsStandIn/NvApi.h"

#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Modules.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cstring>

namespace {

QJsonObject Gpu()
{
    return WinSim::DescriptionValue(QStringLiteral("gpu")).toObject();
}

NvApi::Status Initialize()
{
    const auto status = NvApi::Status(Gpu().value(QStringLiteral("initializeStatus")).toInt(NvApi::Ok));
    WinSim::Journal(QStringLiteral("nvapi-initialize"), QString::number(status));
    return status;
}

NvApi::Status InitializeEx()
{
    return Initialize();
}

NvApi::Status Unload()
{
    WinSim::Journal(QStringLiteral("nvapi-unload"), QString());
    return NvApi::Ok;
}

NvApi::Status DdsQuery(NvApi::DdsQuery* query)
{
    if (query == nullptr) {
        return NvApi::Error;
    }
    if (query->version != NvApi::DdsQueryVersion) {
        return NvApi::IncompatibleStructVersion;
    }
    const QJsonObject gpu = Gpu();
    if (const QJsonValue status = gpu.value(QStringLiteral("ddsStatus")); status.isDouble() && status.toInt() != 0) {
        return NvApi::Status(status.toInt());
    }
    QJsonArray targets = gpu.value(QStringLiteral("ddsTargets")).toArray();
    if (!gpu.value(QStringLiteral("ddsTargets")).isArray()) {
        const int mode = gpu.value(QStringLiteral("ddsMode")).toInt(0);
        // The integrated GPU's target is entry 0; entry 1 is listed only while the discrete GPU drives the panel.
        if (mode == 1) {
            targets = {QJsonObject{{"targetId", 0x1100}, {"flags", 1}}};
        } else if (mode == 2) {
            targets = {QJsonObject{{"targetId", 0x1100}, {"flags", 0}}, QJsonObject{{"targetId", 0x2100}, {"flags", 1}}};
        }
    }
    for (int i = 0; i < NvApi::DdsTargetCount; ++i) {
        NvApi::DdsTarget& target = query->targets[i];
        if (target.buffer == nullptr) {
            return NvApi::Error;
        }
        std::memset(target.buffer, 0, NvApi::DdsTargetBufferSize);
        const QJsonObject entry = i < targets.size() ? targets[i].toObject() : QJsonObject();
        target.targetId = std::uint32_t(entry.value(QStringLiteral("targetId")).toInteger(0));
        target.flags = std::uint32_t(entry.value(QStringLiteral("flags")).toInteger(0));
    }
    return NvApi::Ok;
}

void* QueryInterface(std::uint32_t id)
{
    switch (id) {
    case NvApi::InitializeId:
        return reinterpret_cast<void*>(&Initialize);
    case NvApi::InitializeExId:
        return reinterpret_cast<void*>(&InitializeEx);
    case NvApi::UnloadId:
        return reinterpret_cast<void*>(&Unload);
    case NvApi::DdsQueryId:
        return reinterpret_cast<void*>(&DdsQuery);
    default:
        return nullptr;
    }
}

const bool registered = WinSim::RegisterModule(
    "nvapi.dll", {{"nvapi_QueryInterface", WinSim::Export(&QueryInterface)}}, {},
    [] { return WinSim::DescriptionValue(QStringLiteral("gpu.nvapi")).toBool(false); });

}  // namespace
