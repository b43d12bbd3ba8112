#include "WindowsStandIn/Time.h"

#include "WindowsStandIn/Machine.h"

#include <QThread>

#include <chrono>
#include <cmath>

namespace WinSim {
namespace {

const QString WaitScaleKey = QStringLiteral("time.waitScale");
const QString MonotonicOffsetKey = QStringLiteral("time.monotonicOffsetMs");
const QString WallClockOffsetKey = QStringLiteral("time.wallClockOffset");

double WaitScale()
{
    try {
        const QJsonValue value = DescriptionValue(WaitScaleKey);
        if (value.isDouble() && value.toDouble() >= 0.0) {
            return value.toDouble();
        }
    } catch (const MachineError&) {
    }
    return 1.0;
}

std::int64_t Offset(const QString& key)
{
    try {
        return std::llround(DescriptionValue(key).toDouble(0.0));
    } catch (const MachineError&) {
        return 0;
    }
}

void AddToOffset(const QString& key, std::int64_t amount)
{
    SetDescriptionValue(key, double(Offset(key) + amount));
}

std::int64_t HostSteadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

DWORD ScaledWait(DWORD milliseconds)
{
    return static_cast<DWORD>(milliseconds * WaitScale());
}

void Pause(DWORD milliseconds)
{
    const DWORD scaled = ScaledWait(milliseconds);
    if (scaled > 0) {
        QThread::msleep(scaled);
    }
}

std::int64_t MonotonicNanoseconds()
{
    return HostSteadyNanoseconds() + Offset(MonotonicOffsetKey) * 1000000;
}

std::int64_t WallClockSeconds()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::seconds>(now).count() + Offset(WallClockOffsetKey);
}

void AdvanceClocks(std::int64_t seconds)
{
    AddToOffset(MonotonicOffsetKey, seconds * 1000);
    AddToOffset(WallClockOffsetKey, seconds);
}

void ShiftWallClock(std::int64_t seconds)
{
    AddToOffset(WallClockOffsetKey, seconds);
}

void Reboot(std::int64_t secondsOff)
{
    SetDescriptionValue(MonotonicOffsetKey, double(-(HostSteadyNanoseconds() / 1000000)));
    AddToOffset(WallClockOffsetKey, secondsOff);
}

}  // namespace WinSim

void Sleep(DWORD milliseconds)
{
    WinSim::Pause(milliseconds);
}
