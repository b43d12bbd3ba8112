// Power-setting notifications and top-level window look-ups of the stand-in.
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Messages.h"
#include "WindowsStandIn/Power.h"
#include "WindowsStandIn/StateFile.h"
#include "WindowsStandIn/TopLevelWindows.h"
#include "tests/fixtures/TestSupport.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <vector>

namespace {

// The lid states that power broadcasts carried to this process's filters.
class LidFilter : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        const auto* msg = static_cast<const MSG*>(message);
        if (eventType == WinSim::NativeEventType && msg->message == WM_POWERBROADCAST &&
            msg->wParam == PBT_POWERSETTINGCHANGE) {
            const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(msg->lParam);
            if (setting->PowerSetting == GUID_LIDSWITCH_STATE_CHANGE) {
                states.push_back(setting->Data[0]);
            }
        }
        return false;
    }
    std::vector<int> states;
};

QCoreApplication& Application()
{
    static int argc = 1;
    static char name[] = "stand-in";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    return application;
}

QStringList JournalOf(const QString& event)
{
    return WinSim::ReadJournal().filter(" " + event);
}

TEST(PowerNotificationTest, RegisteringPostsTheCurrentLidStateFromTheEventLoop)
{
    const TestSupport::TemporaryMachine machine;
    Application();
    LidFilter filter;
    QCoreApplication::instance()->installNativeEventFilter(&filter);
    std::vector<HPOWERNOTIFY> handles;
    for (const char* lid : {"closed", "open"}) {
        WinSim::SetDescriptionValue(QStringLiteral("lid"), QString::fromLatin1(lid));
        handles.push_back(RegisterPowerSettingNotification(nullptr, &GUID_LIDSWITCH_STATE_CHANGE,
                                                           DEVICE_NOTIFY_WINDOW_HANDLE));
        ASSERT_NE(handles.back(), nullptr);
    }
    // Nothing arrives before the event loop runs.
    EXPECT_TRUE(filter.states.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(filter.states, std::vector<int>({0, 1}));
    EXPECT_EQ(JournalOf("power-register").size(), 2);

    for (HPOWERNOTIFY handle : handles) {
        EXPECT_TRUE(UnregisterPowerSettingNotification(handle));
    }
    EXPECT_FALSE(UnregisterPowerSettingNotification(handles.front()));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(JournalOf("power-unregister").size(), 2);
    QCoreApplication::instance()->removeNativeEventFilter(&filter);
}

TEST(PowerNotificationTest, InjectedFailures)
{
    const TestSupport::TemporaryMachine machine;
    Application();
    WinSim::SetInjectedFailure(QStringLiteral("RegisterPowerSettingNotification"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegisterPowerSettingNotification(nullptr, &GUID_LIDSWITCH_STATE_CHANGE, DEVICE_NOTIFY_WINDOW_HANDLE),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    WinSim::SetInjectedFailure(QStringLiteral("RegisterPowerSettingNotification"), 0);

    const HPOWERNOTIFY handle =
        RegisterPowerSettingNotification(nullptr, &GUID_LIDSWITCH_STATE_CHANGE, DEVICE_NOTIFY_WINDOW_HANDLE);
    ASSERT_NE(handle, nullptr);
    WinSim::SetInjectedFailure(QStringLiteral("UnregisterPowerSettingNotification"), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(UnregisterPowerSettingNotification(handle));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    WinSim::SetInjectedFailure(QStringLiteral("UnregisterPowerSettingNotification"), 0);
    EXPECT_TRUE(UnregisterPowerSettingNotification(handle));
}

TEST(TopLevelWindowsTest, LookUpsAreJournalledAndFindNoWindow)
{
    const TestSupport::TemporaryMachine machine;
    EXPECT_TRUE(SetProcessDPIAware());
    EXPECT_TRUE(SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2));
    EXPECT_EQ(FindWindowW(nullptr, L"Korvel \"Tintwise\""), nullptr);
    EXPECT_FALSE(SetForegroundWindow(nullptr));
    const QStringList found = JournalOf("find-window");
    ASSERT_EQ(found.size(), 1);
    EXPECT_TRUE(found[0].endsWith(R"(find-window class=null title="Korvel \"Tintwise\"")")) << found[0];
    EXPECT_EQ(JournalOf("set-foreground-window").size(), 1);
}

}  // namespace
