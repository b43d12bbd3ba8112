#include "Common/HardwareInfo/PowerSettingsChangedEventFilter.h"
#include "WindowsStandIn/Machine.h"
#include "tests/fixtures/TestSupport.h"

#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>

using Korvel::DisplayCalibration::Common::HardwareInfo::PowerSettingsChangedEventFilter;
using TestSupport::BinaryPath;
using TestSupport::RunWinsim;
using TestSupport::TemporaryMachine;
using TestSupport::WaitForLine;

namespace {

TEST(PowerSettingsFilterTest, EmitsForPowerSettingBroadcastsOnly)
{
    const struct {
        const char* eventType;
        UINT message;
        WPARAM wParam;
        int emitted;
    } cases[] = {
        {"windows_generic_MSG", WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, 1},
        {"windows_generic_MSG", WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0},
        {"windows_generic_MSG", WM_DISPLAYCHANGE, PBT_POWERSETTINGCHANGE, 0},
        {"xcb_generic_event_t", WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.eventType + std::to_string(c.message) + "/" + std::to_string(c.wParam));
        PowerSettingsChangedEventFilter filter;
        QList<LPARAM> received;
        QObject::connect(&filter, &PowerSettingsChangedEventFilter::PowerSettingsChanged,
                         [&received](LPARAM lParam) { received << lParam; });
        MSG msg{};
        msg.message = c.message;
        msg.wParam = c.wParam;
        msg.lParam = 0x1234;
        qintptr result = 0;
        EXPECT_FALSE(filter.nativeEventFilter(c.eventType, &msg, &result));
        EXPECT_FALSE(filter.nativeEventFilter(c.eventType, &msg, &result));
        EXPECT_EQ(received.size(), 2 * c.emitted);
        for (const LPARAM lParam : received) {
            EXPECT_EQ(lParam, 0x1234);
        }
    }
}

TEST(PowerSettingsFilterTest, WinsimEventsReachRunningPrograms)
{
    const TemporaryMachine machine;
    QProcess watcher;
    watcher.start(BinaryPath("lidwatcher"), {});
    QStringList seen;
    ASSERT_TRUE(WaitForLine(watcher, "ready", seen)) << seen.join('|');

    const struct {
        const char* event;
        QString line;
    } events[] = {
        {"lid-close", "LidStateChanged(true)"},
        {"lid-open", "LidStateChanged(false)"},
        {"display-change", "WM_DISPLAYCHANGE 1920x1200"},
        {"lid-close", "LidStateChanged(true)"},
    };
    for (const auto& e : events) {
        SCOPED_TRACE(e.event);
        const auto sent = RunWinsim({"event", e.event});
        ASSERT_EQ(sent.exitCode, 0) << sent.err;
        EXPECT_EQ(sent.out.trimmed(), "delivered to 1 program");
        seen.clear();
        EXPECT_TRUE(WaitForLine(watcher, e.line, seen)) << seen.join('|');
        EXPECT_EQ(seen.size(), 1) << seen.join('|');
    }
    EXPECT_EQ(WinSim::DescriptionValue("lid").toString(), "closed");
    EXPECT_EQ(WinSim::ReadJournal().filter(" event lid-close delivered=1").size(), 2);

    watcher.closeWriteChannel();
    ASSERT_TRUE(TestSupport::WaitForFinished(watcher));
    EXPECT_EQ(watcher.exitCode(), 0);
    EXPECT_EQ(QDir(machine.Path() + "/listeners").entryList(QDir::Files), QStringList());
}

TEST(PowerSettingsFilterTest, EndedProgramsAreForgotten)
{
    const TemporaryMachine machine;
    QProcess watcher;
    watcher.start(BinaryPath("lidwatcher"), {});
    QStringList seen;
    ASSERT_TRUE(WaitForLine(watcher, "ready", seen));
    const QString listeners = machine.Path() + "/listeners";
    ASSERT_EQ(QDir(listeners).entryList(QDir::Files).size(), 1);
    const qint64 pid = watcher.processId();
    ::kill(pid_t(pid), SIGKILL);
    ASSERT_TRUE(TestSupport::WaitForFinished(watcher));
    // The dead program's id now held by a live process that never listened.
    ASSERT_TRUE(QFile::copy(listeners + "/" + QString::number(pid), listeners + "/" + QString::number(::getppid())));

    const auto sent = RunWinsim({"event", "lid-open"});
    EXPECT_EQ(sent.out.trimmed(), "delivered to 0 programs");
    EXPECT_EQ(QDir(machine.Path() + "/listeners").entryList(QDir::Files), QStringList());
    EXPECT_EQ(RunWinsim({"event", "lid-opened"}).exitCode, 2);
}

}  // namespace
