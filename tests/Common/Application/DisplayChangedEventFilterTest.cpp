#include "Common/Application/DisplayChangedEventFilter.h"
#include "WindowsStandIn/Messages.h"
#include "tests/fixtures/TestSupport.h"

#include <gtest/gtest.h>

using Korvel::DisplayCalibration::Common::Application::DisplayChangedEventFilter;
using TestSupport::LogCapture;

namespace {

// Only Windows' display-change message of the stand-in's event type counts; every message goes on.
TEST(DisplayChangedEventFilterTest, ActsOnDisplayChangeMessagesOnly)
{
    const struct {
        const char* eventType;
        UINT message;
        int aligned;
    } cases[] = {
        {"windows_generic_MSG", WM_DISPLAYCHANGE, 1},
        {"windows_generic_MSG", 24, 0},  // WM_SHOWWINDOW
        {"windows_generic_MSG", WM_POWERBROADCAST, 0},
        {"xcb_generic_event_t", WM_DISPLAYCHANGE, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.eventType) + " " + std::to_string(c.message));
        const LogCapture log("DisplayChangedEventFilter");
        DisplayChangedEventFilter filter;
        filter.SetLogLevel(Korvel::DisplayCalibration::Common::Logging::DebugLevel);
        int aligned = 0;
        QObject::connect(&filter, &DisplayChangedEventFilter::alignProfiles, [&aligned] { ++aligned; });
        MSG msg{};
        msg.message = c.message;
        qintptr result = 0;
        EXPECT_FALSE(filter.nativeEventFilter(c.eventType, &msg, &result));
        EXPECT_FALSE(filter.nativeEventFilter(c.eventType, nullptr, &result));
        EXPECT_EQ(aligned, c.aligned);
        ASSERT_EQ(log.Lines().size(), size_t(c.aligned));
        if (c.aligned != 0) {
            EXPECT_EQ(log.Lines()[0].message, "Received display change message (ID: 126)");
        }
    }
}

}  // namespace
