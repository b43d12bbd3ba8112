// The monitor table is process-wide and filled once: each test runs in a process of its own.
#include "Common/HardwareInfo/MultiScreenHandler.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/StateFile.h"
#include "tests/fixtures/TestSupport.h"

#include <QJsonObject>

#include <gtest/gtest.h>

using TestSupport::TemporaryMachine;

namespace {

void AddDisplay(int index, bool active)
{
    WinSim::SetDescriptionValue(QString("displays.%1").arg(index),
                                QJsonObject{{"name", "external"},
                                            {"deviceName", QString("\\\\.\\DISPLAY%1").arg(index + 1)},
                                            {"adapter", 0},
                                            {"active", active}});
}

TEST(MultiScreenHandlerTest, TableIsFilledOnceWithTheActiveMonitors)
{
    const TemporaryMachine machine;
    AddDisplay(1, false);
    AddDisplay(2, true);
    WinSim::SetDescriptionValue("topology", "extend");
    {
        const TQalloMultiScreenHandler first;
    }
    EXPECT_EQ(TMultiScreenHandler::GetMonitorDeviceName(0), "\\\\.\\DISPLAY1");
    EXPECT_EQ(TMultiScreenHandler::GetMonitorDeviceName(1), "\\\\.\\DISPLAY3");
    EXPECT_EQ(TMultiScreenHandler::GetMonitorDeviceName(2), "");
    EXPECT_EQ(TMultiScreenHandler::GetMonitorDeviceName(-1), "");

    // Monitors plugged in later are not seen, and nothing is listed twice.
    AddDisplay(3, true);
    const TMultiScreenHandler second;
    EXPECT_EQ(TMultiScreenHandler::GetMonitorDeviceName(1), "\\\\.\\DISPLAY3");
    EXPECT_EQ(TMultiScreenHandler::GetMonitorDeviceName(2), "");
}

TEST(MultiScreenHandlerTest, FailingMonitorInfoLeavesTheTableEmpty)
{
    const TemporaryMachine machine;
    WinSim::SetInjectedFailure("GetMonitorInfoA", 1461);
    const TQalloMultiScreenHandler handler;
    EXPECT_EQ(TMultiScreenHandler::GetMonitorDeviceName(0), "");
}

TEST(MultiScreenHandlerTest, MissingUser32LeavesTheTableEmpty)
{
    const TemporaryMachine machine;
    WinSim::SetInjectedFailure("LoadLibrary", 126, "user32.dll");
    const TMultiScreenHandler handler;
    EXPECT_EQ(TMultiScreenHandler::GetMonitorDeviceName(0), "");
}

}  // namespace
