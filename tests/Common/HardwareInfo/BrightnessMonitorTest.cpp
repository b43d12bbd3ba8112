#include "Common/HardwareInfo/BrightnessMonitor.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "WindowsStandIn/StateFile.h"
#include "tests/Common/HardwareInfo/DisplayFixtures.h"
#include "tests/fixtures/TestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

namespace HardwareInfo = Korvel::DisplayCalibration::Common::HardwareInfo;
using namespace DisplayFixtures;
using TestSupport::LogCapture;
using TestSupport::TemporaryMachine;

namespace {

// Counts the monitor's signals.
struct MismatchCounter {
    explicit MismatchCounter(HardwareInfo::BrightnessMonitor& monitor)
    {
        QObject::connect(&monitor, &HardwareInfo::BrightnessMonitor::BrightnessMismatch, [this] { ++count; });
    }
    int count = 0;
};

std::shared_ptr<HardwareInfo::IDisplayHelper> MakeHelper()
{
    DisplaySetup panel{PanelEdid()};
    panel.withBrightness = true;
    SetDisplays({panel});
    return std::shared_ptr<HardwareInfo::IDisplayHelper>(HardwareInfo::DisplayHelperFactory().Create("SHP14C4"));
}

TEST(BrightnessMonitorTest, SignalsTheFirstMismatchOnceAndStops)
{
    int argc = 0;
    QCoreApplication application(argc, nullptr);
    const TemporaryMachine machine;
    const LogCapture log("BrightnessChecker");
    HardwareInfo::BrightnessMonitor monitor(MakeHelper(), {40, 60}, 1);
    MismatchCounter mismatch(monitor);
    monitor.Start(10);
    monitor.CheckBrightness();  // 60 as expected
    EXPECT_EQ(mismatch.count, 0);

    WinSim::SetDescriptionValue("displays.0.brightness.current", 30);
    const TestSupport::Patience patience(5000);
    while (mismatch.count == 0 && !patience.Expired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    EXPECT_FALSE(monitor.IsRunning());
    QCoreApplication::processEvents();
    EXPECT_EQ(mismatch.count, 1);
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0].message, "First Mismatch happened, Expected 60 but system brightness is 30");
}

TEST(BrightnessMonitorTest, FailedReadsAndMissingExpectationsStayInsideTheSlot)
{
    const TemporaryMachine machine;
    const auto helper = MakeHelper();
    const LogCapture log("BrightnessChecker");
    HardwareInfo::BrightnessMonitor outOfRange(helper, {60}, 1);
    MismatchCounter outOfRangeSignal(outOfRange);
    EXPECT_NO_THROW(outOfRange.CheckBrightness());
    HardwareInfo::BrightnessMonitor noLevels(helper, {}, 0);
    EXPECT_NO_THROW(noLevels.CheckBrightness());

    WinSim::SetInjectedFailure("DeviceIoControl", ERROR_GEN_FAILURE, "0x230498");
    HardwareInfo::BrightnessMonitor failing(helper, {50}, 0);
    MismatchCounter failingSignal(failing);
    EXPECT_NO_THROW(failing.CheckBrightness());
    EXPECT_EQ(outOfRangeSignal.count + failingSignal.count, 0);
    EXPECT_EQ(log.Lines().size(), 3u);

    // A stopped monitor compares nothing.
    WinSim::SetInjectedFailure("DeviceIoControl", 0, "0x230498");
    failing.Stop();
    failing.CheckBrightness();
    EXPECT_EQ(failingSignal.count, 0);
}

}  // namespace
