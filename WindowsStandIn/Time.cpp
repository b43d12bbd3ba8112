#include "WindowsStandIn/Time.h"

#include "WindowsStandIn/Machine.h"

#include <QThread>

namespace WinSim {

void Pause(DWORD milliseconds)
{
    double scale = 1.0;
    try {
        const QJsonValue value = DescriptionValue(QStringLiteral("time.waitScale"));
        if (value.isDouble() && value.toDouble() >= 0.0) {
            scale = value.toDouble();
        }
    } catch (const MachineError&) {
    }
    const auto scaled = static_cast<unsigned long>(milliseconds * scale);
    if (scaled > 0) {
        QThread::msleep(scaled);
    }
}

}  // namespace WinSim
