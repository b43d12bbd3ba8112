#include "WindowsStandIn/SimulatedDisplays.h"

#include "WindowsStandIn/Com.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/StateFile.h"

#include <QJsonArray>

namespace WinSim::Displays {
namespace {

QString PnpIdFromEdid(const QByteArray& edid)
{
    if (edid.size() < 12) {
        return QStringLiteral("UNK0000");
    }
    const auto byte = [&edid](int i) { return unsigned(static_cast<unsigned char>(edid[i])); };
    const unsigned word = byte(8) * 256 + byte(9);
    QString id;
    for (const int shift : {10, 5, 0}) {
        id += QChar(char(0x40 + ((word >> shift) & 31)));
    }
    return id + QStringLiteral("%1").arg(byte(10) + byte(11) * 256, 4, 16, QChar('0')).toUpper();
}

}  // namespace

QString Display::MonitorDeviceId() const
{
    if (const QJsonValue given = json.value(QStringLiteral("deviceId")); given.isString()) {
        return given.toString();
    }
    return QStringLiteral("MONITOR\\%1\\{4d36e96e-e325-11ce-bfc1-08002be10318}\\%2")
        .arg(pnpId)
        .arg(index, 4, 10, QChar('0'));
}

QString Display::InterfacePath() const
{
    return QStringLiteral("\\\\?\\DISPLAY#%1#%2#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}").arg(pnpId, instance);
}

QString Display::WmiInstanceName() const
{
    return QStringLiteral("DISPLAY\\%1\\%2_0").arg(pnpId, instance);
}

Machine Load()
{
    const QJsonObject description = LoadDescription();
    Machine machine;
    for (const QJsonValue entry : description.value(QStringLiteral("adapters")).toArray()) {
        const QJsonObject object = entry.toObject();
        const QJsonObject luid = object.value(QStringLiteral("luid")).toObject();
        machine.adapters.append({object.value(QStringLiteral("description")).toString(),
                                 DWORD(luid.value(QStringLiteral("low")).toInteger()),
                                 LONG(luid.value(QStringLiteral("high")).toInteger())});
    }
    const QJsonArray displays = description.value(QStringLiteral("displays")).toArray();
    for (int i = 0; i < displays.size(); ++i) {
        const QJsonObject object = displays[i].toObject();
        Display display;
        display.index = i;
        display.json = object;
        display.deviceName = object.value(QStringLiteral("deviceName")).toString(QStringLiteral("\\\\.\\DISPLAY%1").arg(i + 1));
        display.adapter = object.value(QStringLiteral("adapter")).toInt(0);
        display.edid = QByteArray::fromHex(object.value(QStringLiteral("edid")).toString().toLatin1());
        display.pnpId = object.value(QStringLiteral("pnpId")).toString(PnpIdFromEdid(display.edid));
        display.instance = object.value(QStringLiteral("instance")).toString(QStringLiteral("5&1f2e3d4c&0&UID%1").arg(4352 + i));
        display.outputTechnology = object.value(QStringLiteral("outputTechnology"));
        display.present = object.value(QStringLiteral("present")).toBool(true);
        display.active = display.present && object.value(QStringLiteral("active")).toBool(true);
        display.mirroring = object.value(QStringLiteral("mirroring")).toBool(false);
        display.targetId = UINT32(object.value(QStringLiteral("targetId")).toInteger(0x1100 + i));
        machine.displays.append(display);
    }
    machine.topology = description.value(QStringLiteral("topology")).toString(QStringLiteral("internal"));
    return machine;
}

LONG Fault(const char* function, const QString& qualifier)
{
    const std::optional<DWORD> code = InjectedFailure(QLatin1String(function), qualifier);
    return code ? LONG(*code) : 0;
}

HRESULT FaultResult(const char* function)
{
    const DWORD code = DWORD(Fault(function));
    return (code & 0x80000000u) != 0 ? HRESULT(code) : HRESULT_FROM_WIN32(code);
}

void SetDisplayValue(int index, const QString& key, const QJsonValue& value)
{
    SetDescriptionValue(QStringLiteral("displays.%1.%2").arg(index).arg(key), value);
}

}  // namespace WinSim::Displays
