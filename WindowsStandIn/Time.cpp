#include "WindowsStandIn/Time.h"

#include "WindowsStandIn/Machine.h"

#include <QThread>

namespace WinSim {

DWORD ScaledWait(DWORD milliseconds)
{
    double scale = 1.0;
    try {
        const QJsonValue value = DescriptionValue(QStringLiteral("time.waitScale"));
        if (value.isDouble() && value.toDouble() >= 0.0) {
            scale = value.toDouble();
        }
    } catch (const MachineError&) {
    }
    return static_cast<DWORD>(milliseconds * scale);
}

void Pause(DWORD milliseconds)
{
    const DWORD scaled = ScaledWait(milliseconds);
    if (scaled > 0) {
        QThread::msleep(scaled);
    }
}

}  // namespace WinSim
