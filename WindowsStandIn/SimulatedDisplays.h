// The displays and adapters of the machine description, as the display
// stand-ins (device enumeration, SetupAPI, WMI, display configuration, DXGI, brightness,
// power, GPU driver) read them. Each call reads the description anew, so `winsim set` is seen
// at once.
#pragma once

#include "WindowsStandIn/Win32.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

namespace WinSim::Displays {

struct Adapter {
    QString description;
    DWORD luidLow = 0;
    LONG luidHigh = 0;
};

struct Display {
    int index = 0;             // position in "displays"
    QString deviceName;        // GDI source, "\\.\DISPLAY1"
    int adapter = 0;           // index into "adapters"
    QString pnpId;             // "pnpId", else from the EDID's manufacturer and product code
    QString instance;          // device instance below DISPLAY\<pnpId>
    QByteArray edid;
    QJsonValue outputTechnology;
    bool present = true;       // connected: listed by SetupAPI and WMI
    bool active = true;        // shows part of the desktop ("active", true when absent)
    bool mirroring = false;
    UINT32 targetId = 0;
    QJsonObject json;          // the whole entry, for area-specific fields

    QString MonitorDeviceId() const;   // "deviceId", else MONITOR\<pnp>\{class}\<nnnn>
    QString InterfacePath() const;     // \\?\DISPLAY#<pnp>#<instance>#{monitor interface class}
    QString WmiInstanceName() const;   // DISPLAY\<pnp>\<instance>_0
};

struct Machine {
    QList<Adapter> adapters;
    QList<Display> displays;
    QString topology;  // "internal", "clone", "extend", "external"
};

Machine Load();

// The code of a failure a test injected for a stand-in function (`winsim fail`), 0 when none.
LONG Fault(const char* function, const QString& qualifier = QString());
// The same as an HRESULT: a code with its top bit set as it is, a Win32 code in the Win32 facility.
HRESULT FaultResult(const char* function);

// Sets "displays.<index>.<key>" in the description (journalled).
void SetDisplayValue(int index, const QString& key, const QJsonValue& value);

}  // namespace WinSim::Displays
