#include "Common/HardwareInfo/BrightnessMonitor.h"

#include "Common/HardwareInfo/DisplayHelper.h"

#include <exception>

namespace Korvel::DisplayCalibration::Common::HardwareInfo {

BrightnessMonitor::BrightnessMonitor(std::shared_ptr<IDisplayHelper> displayHelper, QList<int> expectedLevels,
                                     qsizetype index, QObject* parent)
    : QObject(parent),
      Loggable("BrightnessChecker"),
      m_ExpectedLevels(std::move(expectedLevels)),
      m_Index(index),
      m_DisplayHelper(std::move(displayHelper))
{
    connect(&m_Timer, &QTimer::timeout, this, &BrightnessMonitor::CheckBrightness);
}

void BrightnessMonitor::Start(int intervalMs)
{
    m_Stop = false;
    m_Timer.start(intervalMs);
}

void BrightnessMonitor::Stop()
{
    m_Stop = true;
    m_Timer.stop();
}

void BrightnessMonitor::CheckBrightness()
{
    if (m_Stop) {
        return;
    }
    // No expected level for the index: nothing to compare with.
    if (m_Index < 0 || m_Index >= m_ExpectedLevels.size()) {
        LogPieces(Logging::WarnLevel, "No expected brightness level at index ", m_Index, " of ", m_ExpectedLevels.size());
        return;
    }
    int current = 0;
    try {
        current = m_DisplayHelper->GetBrightnessLevel();
    } catch (const std::exception& error) {
        // A failed read must not leave the timer's slot.
        LogPieces(Logging::WarnLevel, "Failed to read the brightness level: ", error.what());
        return;
    }
    const int expected = m_ExpectedLevels[m_Index];
    if (current == expected) {
        return;
    }
    LogPieces(Logging::InfoLevel, "First Mismatch happened, ", "Expected ", expected, " but system brightness is ",
              current);
    emit BrightnessMismatch();
    m_Timer.stop();
}

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
