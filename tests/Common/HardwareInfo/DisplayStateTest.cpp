#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/HardwareInfo/HardwareInfoExceptions.h"
#include "Common/HardwareInfo/NvApiClient.h"
#include "WindowsStandIn/StateFile.h"
#include "tests/Common/HardwareInfo/DisplayFixtures.h"
#include "tests/fixtures/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace HardwareInfo = Korvel::DisplayCalibration::Common::HardwareInfo;
using namespace DisplayFixtures;
using TestSupport::TemporaryMachine;

namespace {

const QString BalancedBrightness =
    QStringLiteral("power.schemes.381B4222-F694-41F0-9685-FF5BB260DF2E.ADED5E82-B909-4619-9949-F5D71DAC0BCB");

std::unique_ptr<HardwareInfo::IDisplayHelper> MakeHelper()
{
    return std::unique_ptr<HardwareInfo::IDisplayHelper>(HardwareInfo::DisplayHelperFactory().Create("SHP14C4"));
}

// The internal panel on DISPLAY1 (with the brightness device) and an external monitor on DISPLAY2.
void InternalAndExternal(bool internalActive = true)
{
    DisplaySetup panel{PanelEdid()};
    panel.withBrightness = true;
    panel.active = internalActive;
    SetDisplays({panel, {ExternalEdid(), 10, true, "\\\\.\\DISPLAY2"}});
}

QStringList BrightnessChanges()
{
    QStringList levels;
    for (const QString& line : WinSim::ReadJournal()) {
        const qsizetype at = line.indexOf(" set displays.0.brightness.current=");
        if (at >= 0) {
            levels << line.section('=', -1);
        }
    }
    return levels;
}

TEST(DisplayStateTest, TopologyWithoutGpuSwitching)
{
    const struct {
        const char* topology;
        bool duplicate;
        bool inTopology;
        bool available;
    } cases[] = {
        {"internal", false, true, true},
        {"clone", true, false, false},
        {"extend", false, true, true},
        {"external", false, false, false},
    };
    const TemporaryMachine machine;
    InternalAndExternal();
    const auto helper = MakeHelper();
    for (const auto& test : cases) {
        SCOPED_TRACE(test.topology);
        WinSim::SetDescriptionValue("topology", test.topology);
        EXPECT_EQ(helper->IsDuplicateTopology(), test.duplicate);
        EXPECT_EQ(helper->IsInternalDisplayInTopology(), test.inTopology);
        EXPECT_EQ(helper->IsInternalDisplayAvailable(), test.available);
        EXPECT_FALSE(helper->IsDdsActive());
        EXPECT_EQ(helper->GetDdsMode(), HardwareInfo::DdsModeNone);
    }
    WinSim::SetInjectedFailure("QueryDisplayConfig", ERROR_GEN_FAILURE);
    EXPECT_EQ(Message<HardwareInfo::DisplayHelperException>([&] { helper->IsDuplicateTopology(); })
                  .rfind("Display topology retrieval failure.", 0),
              0u);
    WinSim::SetInjectedFailure("GetDisplayConfigBufferSizes", ERROR_GEN_FAILURE);
    EXPECT_EQ(Message<HardwareInfo::DisplayHelperException>([&] { helper->IsInternalDisplayAvailable(); })
                  .rfind("Display topology retrieval preparation failure.", 0),
              0u);
}

TEST(DisplayStateTest, DynamicDisplaySwitching)
{
    const struct {
        const char* name;
        QJsonObject gpu;
        bool internalActive;
        const char* topology;
        HardwareInfo::DdsMode mode;
        bool available;
    } cases[] = {
        {"integrated GPU drives the panel", {{"ddsMode", 1}}, true, "external", HardwareInfo::DdsModeIntegrated, true},
        {"discrete GPU drives the panel", {{"ddsMode", 2}}, true, "internal", HardwareInfo::DdsModeDiscrete, true},
        {"discrete, panel not active although extended", {{"ddsMode", 2}}, false, "extend", HardwareInfo::DdsModeDiscrete, false},
        {"discrete, cloned", {{"ddsMode", 2}}, true, "clone", HardwareInfo::DdsModeDiscrete, false},
        {"entry 1 present but not flagged outweighs a flagged entry 0",
         {{"ddsTargets", QJsonArray{QJsonObject{{"targetId", 1}, {"flags", 1}}, QJsonObject{{"targetId", 2}, {"flags", 0}}}}},
         true, "internal", HardwareInfo::DdsModeNone, true},
        {"not supported by the driver", {{"ddsMode", 1}, {"ddsStatus", -104}}, true, "extend", HardwareInfo::DdsModeNone, true},
        {"unexpected driver error", {{"ddsMode", 1}, {"ddsStatus", -5}}, false, "external", HardwareInfo::DdsModeNone, false},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const TemporaryMachine machine;
        InternalAndExternal(test.internalActive);
        // A panel that is not active keeps the brightness device on this machine.
        WinSim::SetDescriptionValue("displays.0.active", true);
        WinSim::SetDescriptionValue("gpu.nvapi", true);
        const auto helper = MakeHelper();
        WinSim::SetDescriptionValue("displays.0.active", test.internalActive);
        for (auto it = test.gpu.begin(); it != test.gpu.end(); ++it) {
            WinSim::SetDescriptionValue("gpu." + it.key(), it.value());
        }
        WinSim::SetDescriptionValue("topology", test.topology);
        EXPECT_EQ(helper->GetDdsMode(), test.mode);
        EXPECT_EQ(helper->IsDdsActive(), test.mode != HardwareInfo::DdsModeNone);
        EXPECT_EQ(helper->IsInternalPanelOnDdsTarget(), test.internalActive);
        EXPECT_EQ(helper->IsInternalDisplayAvailable(), test.available);
    }
}

TEST(DisplayStateTest, DriverLibraryIsSharedAndReleasedByTheLastUser)
{
    const TemporaryMachine machine;
    InternalAndExternal();
    const auto count = [](const char* event) { return WinSim::ReadJournal().filter(QString(" ") + event).size(); };

    // Without the driver nothing is loaded, and a release without a use changes nothing.
    { const auto helper = MakeHelper(); }
    EXPECT_EQ(count("nvapi-initialize"), 0);
    EXPECT_EQ(HardwareInfo::NvApiUnload(), HardwareInfo::NvApiNotInitialized);

    WinSim::SetDescriptionValue("gpu.nvapi", true);
    auto first = MakeHelper();
    auto second = MakeHelper();
    EXPECT_EQ(count("nvapi-initialize"), 1);
    first.reset();
    EXPECT_EQ(count("nvapi-unload"), 0);
    WinSim::SetDescriptionValue("gpu.ddsMode", 2);
    EXPECT_EQ(second->GetDdsMode(), HardwareInfo::DdsModeDiscrete);
    second.reset();
    EXPECT_EQ(count("nvapi-unload"), 1);

    // Loaded again by the next user.
    const auto third = MakeHelper();
    EXPECT_EQ(count("nvapi-initialize"), 2);
}

TEST(DisplayStateTest, BrightnessLevels)
{
    const TemporaryMachine machine;
    InternalAndExternal();
    const auto helper = MakeHelper();
    EXPECT_EQ(helper->GetBrightnessLevel(), 60);
    helper->SetBrightnessLevel(30);
    EXPECT_EQ(helper->GetBrightnessLevel(), 30);
    EXPECT_EQ(WinSim::DescriptionValue("displays.0.brightness.current").toInt(), 30);

    // An unsupported level is refused before the device is opened.
    WinSim::SetInjectedFailure("CreateFileW", ERROR_ACCESS_DENIED);
    for (const int level : {55, -1, 256}) {
        EXPECT_EQ(Message<HardwareInfo::SetBrightnessLevelException>([&] { helper->SetBrightnessLevel(level); })
                      .rfind("Brightness level not supported by the panel", 0),
                  0u)
            << level;
    }
    EXPECT_EQ(Message<HardwareInfo::SetBrightnessLevelException>([&] { helper->SetBrightnessLevel(40); })
                  .rfind("Failed to set brightness level 40 to the system.", 0),
              0u);
    EXPECT_EQ(Message<HardwareInfo::GetBrightnessLevelException>([&] { helper->GetBrightnessLevel(); })
                  .rfind("Failed to get brightness level from the system.", 0),
              0u);
    WinSim::SetInjectedFailure("CreateFileW", 0);

    WinSim::SetInjectedFailure("DeviceIoControl", ERROR_GEN_FAILURE, "0x23049C");
    try {
        helper->SetBrightnessLevel(40);
        ADD_FAILURE();
    } catch (const HardwareInfo::SetBrightnessLevelException& error) {
        EXPECT_EQ(error.Code(), std::int32_t(ERROR_GEN_FAILURE));
    }
    WinSim::SetInjectedFailure("DeviceIoControl", ERROR_GEN_FAILURE, "0x230498");
    EXPECT_THROW(helper->GetBrightnessLevel(), HardwareInfo::GetBrightnessLevelException);
}

TEST(DisplayStateTest, ForcedBrightnessGoesThroughANeighbour)
{
    const struct {
        QJsonArray levels;
        int level;
        QStringList sequence;
    } cases[] = {
        {{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}, 50, {"60", "50"}},
        {{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}, 0, {"10", "0"}},
        {{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}, 100, {"90", "100"}},
        {{5, 8, 20}, 8, {"5", "8"}},
        {{42}, 42, {"42"}},
    };
    for (const auto& test : cases) {
        const TemporaryMachine machine;
        InternalAndExternal();
        WinSim::SetDescriptionValue("displays.0.brightness.levels", test.levels);
        const auto helper = MakeHelper();
        helper->SetBrightnessLevelForced(test.level);
        EXPECT_EQ(BrightnessChanges(), test.sequence) << test.level;
    }
    const TemporaryMachine machine;
    InternalAndExternal();
    EXPECT_THROW(MakeHelper()->SetBrightnessLevelForced(55), HardwareInfo::SetBrightnessLevelException);
}

TEST(DisplayStateTest, BrightnessInThePowerScheme)
{
    const TemporaryMachine machine;
    InternalAndExternal();
    const auto helper = MakeHelper();
    // The brightness device is not needed.
    WinSim::SetDescriptionValue("displays.0.brightness", QJsonValue::Null);
    EXPECT_THROW(helper->GetBrightnessLevel(), HardwareInfo::GetBrightnessLevelException);
    helper->SetBrightnessLevelInPowerScheme(40);
    EXPECT_EQ(WinSim::DescriptionValue(BalancedBrightness + ".ac").toInt(), 40);
    EXPECT_EQ(WinSim::DescriptionValue(BalancedBrightness + ".dc").toInt(), 40);
    EXPECT_EQ(WinSim::ReadJournal().filter(" set power.activeScheme=").size(), 1);
    EXPECT_THROW(helper->SetBrightnessLevelInPowerScheme(45), HardwareInfo::SetBrightnessLevelException);

    const struct {
        const char* function;
        const char* message;
    } failures[] = {
        {"PowerGetActiveScheme", "Error using PowerGetActiveScheme"},
        {"PowerWriteACValueIndex", "Error using PowerWriteACValueIndex"},
        {"PowerWriteDCValueIndex", "Error using PowerWriteDCValueIndex"},
        {"PowerSetActiveScheme", "Error using PowerSetActiveScheme"},
    };
    for (const auto& failure : failures) {
        WinSim::SetInjectedFailure(failure.function, ERROR_ACCESS_DENIED);
        EXPECT_EQ(Message<HardwareInfo::SetBrightnessLevelException>([&] { helper->SetBrightnessLevelInPowerScheme(70); })
                      .rfind(failure.message, 0),
                  0u)
            << failure.function;
        WinSim::SetInjectedFailure(failure.function, 0);
    }
    // A failed DC write leaves the AC value written.
    EXPECT_EQ(WinSim::DescriptionValue(BalancedBrightness + ".ac").toInt(), 70);
    EXPECT_EQ(WinSim::DescriptionValue(BalancedBrightness + ".dc").toInt(), 70);
}

TEST(DisplayStateTest, ActivatingTheSchemeAppliesItsBrightness)
{
    const TemporaryMachine machine;
    InternalAndExternal();
    const auto helper = MakeHelper();
    helper->SetBrightnessLevelInPowerScheme(80);
    EXPECT_EQ(helper->GetBrightnessLevel(), 80);
}

TEST(DisplayStateTest, HdrStateAndBitsPerColour)
{
    const TemporaryMachine machine;
    InternalAndExternal();
    WinSim::SetDescriptionValue("displays.0.bitsPerColor", 10);
    const auto helper = MakeHelper();
    EXPECT_FALSE(helper->IsHdrActive());
    EXPECT_EQ(helper->GetBitsPerColor(), 10u);
    helper->SetHdrState(true);
    EXPECT_TRUE(WinSim::DescriptionValue("displays.0.hdr.enabled").toBool());
    EXPECT_TRUE(helper->IsHdrActive());
    helper->SetHdrState(false);
    EXPECT_FALSE(helper->IsHdrActive());

    WinSim::SetInjectedFailure("IDXGIOutput6::GetDesc1", 0x887A0001);
    EXPECT_EQ(helper->GetBitsPerColor(), 0u);
    WinSim::SetInjectedFailure("CreateDXGIFactory2", 0x80004005);
    EXPECT_FALSE(helper->IsHdrActive());
}

TEST(DisplayStateTest, HdrSwitchFailures)
{
    const struct {
        const char* name;
        std::function<void()> arrange;
        const char* message;
        std::int32_t code;
    } cases[] = {
        {"not supported", [] { WinSim::SetDescriptionValue("displays.0.hdr.supported", false); },
         "HDR is not supported on this display.", 0},
        {"no path at the desktop origin",
         [] {
             WinSim::SetDescriptionValue("displays.0.position", QJsonObject{{"x", 1920}, {"y", 0}});
             WinSim::SetDescriptionValue("displays.1.position", QJsonObject{{"x", 3840}, {"y", 0}});
         },
         "Primary path not found", -1},
        {"the origin path has no source mode: the next path at the origin is not looked for through it",
         [] {
             WinSim::SetDescriptionValue("displays.0.sourceMode", false);
             WinSim::SetDescriptionValue("displays.1.position", QJsonObject{{"x", 1920}, {"y", 0}});
         },
         "Primary path not found", -1},
        {"buffer sizes", [] { WinSim::SetInjectedFailure("GetDisplayConfigBufferSizes", ERROR_GEN_FAILURE); },
         "GetDisplayConfigBufferSizes failed", ERROR_GEN_FAILURE},
        {"query", [] { WinSim::SetInjectedFailure("QueryDisplayConfig", ERROR_GEN_FAILURE); }, "QueryDisplayConfig failed",
         ERROR_GEN_FAILURE},
        {"get", [] { WinSim::SetInjectedFailure("DisplayConfigGetDeviceInfo", ERROR_GEN_FAILURE); },
         "Error getting HDR state", ERROR_GEN_FAILURE},
        {"set", [] { WinSim::SetInjectedFailure("DisplayConfigSetDeviceInfo", ERROR_GEN_FAILURE); },
         "Error setting HDR state.", ERROR_GEN_FAILURE},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const TemporaryMachine machine;
        InternalAndExternal();
        const auto helper = MakeHelper();
        test.arrange();
        try {
            helper->SetHdrState(true);
            ADD_FAILURE() << "no exception";
        } catch (const HardwareInfo::DisplayHelperException& error) {
            EXPECT_EQ(std::string(error.what()).rfind(test.message, 0), 0u) << error.what();
            EXPECT_EQ(error.Code(), test.code);
        }
        EXPECT_FALSE(WinSim::DescriptionValue("displays.0.hdr.enabled").toBool());
    }
    // The external monitor at the origin is the primary path.
    const TemporaryMachine machine;
    InternalAndExternal();
    WinSim::SetDescriptionValue("displays.0.sourceMode", false);
    WinSim::SetDescriptionValue("displays.1.position", QJsonObject{{"x", 0}, {"y", 0}});
    WinSim::SetDescriptionValue("displays.1.hdr.supported", true);
    MakeHelper()->SetHdrState(true);
    EXPECT_TRUE(WinSim::DescriptionValue("displays.1.hdr.enabled").toBool());
}

}  // namespace
