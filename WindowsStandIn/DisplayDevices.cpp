#include "WindowsStandIn/DisplayDevices.h"

#include "WindowsStandIn/SimulatedDisplays.h"

#include <QStringList>

#include <algorithm>
#include <cstring>

namespace {

struct Entry {
    QString name;
    QString string;
    DWORD flags = 0;
    QString id;
    QString key;
};

// Sources in the order their first display is listed.
QStringList Sources(const WinSim::Displays::Machine& machine)
{
    QStringList sources;
    for (const auto& display : machine.displays) {
        if (!sources.contains(display.deviceName, Qt::CaseInsensitive)) {
            sources << display.deviceName;
        }
    }
    return sources;
}

bool Find(const QString& device, DWORD index, DWORD flags, Entry& entry)
{
    const WinSim::Displays::Machine machine = WinSim::Displays::Load();
    const QStringList sources = Sources(machine);
    if (device.isEmpty()) {
        if (index >= DWORD(sources.size())) {
            return false;
        }
        const QString& source = sources[index];
        entry.name = source;
        bool primaryTaken = false;
        for (const auto& display : machine.displays) {
            if (display.active && !primaryTaken) {
                primaryTaken = true;
                if (display.deviceName.compare(source, Qt::CaseInsensitive) == 0) {
                    entry.flags |= DISPLAY_DEVICE_PRIMARY_DEVICE;
                }
            }
            if (display.deviceName.compare(source, Qt::CaseInsensitive) != 0) {
                continue;
            }
            if (entry.string.isEmpty() && display.adapter >= 0 && display.adapter < machine.adapters.size()) {
                entry.string = machine.adapters[display.adapter].description;
            }
            if (display.active) {
                entry.flags |= DISPLAY_DEVICE_ATTACHED_TO_DESKTOP;
            }
            if (display.mirroring) {
                entry.flags |= DISPLAY_DEVICE_MIRRORING_DRIVER;
            }
        }
        entry.id = QStringLiteral("PCI\\VEN_1D5A&DEV_%1").arg(index + 1, 4, 10, QChar('0'));
        entry.key = QStringLiteral("\\Registry\\Machine\\System\\CurrentControlSet\\Control\\Video\\{%1}\\0000")
                        .arg(index + 1, 8, 10, QChar('0'));
        return true;
    }
    DWORD position = 0;
    for (const auto& display : machine.displays) {
        if (!display.present || display.deviceName.compare(device, Qt::CaseInsensitive) != 0) {
            continue;
        }
        if (position++ != index) {
            continue;
        }
        entry.name = QStringLiteral("%1\\Monitor%2").arg(display.deviceName).arg(index);
        entry.string = QStringLiteral("Generic PnP Monitor");
        entry.flags = DISPLAY_DEVICE_ATTACHED | (display.active ? DISPLAY_DEVICE_ACTIVE : 0) |
                      (display.mirroring ? DISPLAY_DEVICE_MIRRORING_DRIVER : 0);
        entry.id = (flags & EDD_GET_DEVICE_INTERFACE_NAME) != 0 ? display.InterfacePath() : display.MonitorDeviceId();
        entry.key = QStringLiteral("\\Registry\\Machine\\System\\CurrentControlSet\\Control\\Class\\"
                                   "{4d36e96e-e325-11ce-bfc1-08002be10318}\\%1")
                        .arg(display.index, 4, 10, QChar('0'));
        return true;
    }
    return false;
}

// Copies `text` with its terminating zero; false when it does not fit.
template <typename Char, size_t Size>
bool Copy(Char (&target)[Size], const QString& text)
{
    std::fill(std::begin(target), std::end(target), Char(0));
    if constexpr (sizeof(Char) == 1) {
        const QByteArray bytes = text.toLocal8Bit();
        if (size_t(bytes.size()) + 1 > Size) {
            return false;
        }
        std::memcpy(target, bytes.constData(), size_t(bytes.size()));
    } else {
        const std::wstring wide = text.toStdWString();
        if (wide.size() + 1 > Size) {
            return false;
        }
        std::copy(wide.begin(), wide.end(), target);
    }
    return true;
}

template <typename Device>
BOOL Enumerate(const char* Function, const QString& device, DWORD index, Device* out, DWORD flags)
{
    if (out == nullptr || out->cb != sizeof(Device)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (const LONG fault = WinSim::Displays::Fault(Function); fault != 0) {
        SetLastError(DWORD(fault));
        return FALSE;
    }
    Entry entry;
    if (!Find(device, index, flags, entry)) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    if (!Copy(out->DeviceName, entry.name) || !Copy(out->DeviceString, entry.string) || !Copy(out->DeviceID, entry.id) ||
        !Copy(out->DeviceKey, entry.key)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    out->StateFlags = entry.flags;
    return TRUE;
}

}  // namespace

BOOL EnumDisplayDevicesA(LPCSTR device, DWORD index, DISPLAY_DEVICEA* displayDevice, DWORD flags)
{
    return Enumerate("EnumDisplayDevicesA", device != nullptr ? QString::fromLocal8Bit(device) : QString(), index,
                     displayDevice, flags);
}

BOOL EnumDisplayDevicesW(LPCWSTR device, DWORD index, DISPLAY_DEVICEW* displayDevice, DWORD flags)
{
    return Enumerate("EnumDisplayDevicesW", device != nullptr ? QString::fromWCharArray(device) : QString(), index,
                     displayDevice, flags);
}
