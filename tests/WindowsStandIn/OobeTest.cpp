#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Oobe.h"
#include "WindowsStandIn/StateFile.h"
#include "tests/fixtures/TestSupport.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using TestSupport::RunWinsim;
using TestSupport::TemporaryMachine;

namespace {

// What a callback saw: on which thread it ran, and whether it ran.
struct Calls {
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
    std::thread::id thread;

    static void Callback(PVOID context)
    {
        auto* calls = static_cast<Calls*>(context);
        std::lock_guard lock(calls->mutex);
        ++calls->count;
        calls->thread = std::this_thread::get_id();
        calls->changed.notify_all();
    }

    bool WaitForCall()
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(20), [this] { return count > 0; });
    }
};

QString Delivered(int count)
{
    return "delivered to " + QString::number(count) + (count == 1 ? " program" : " programs");
}

TEST(OobeTest, WinsimFinishesOobeAndCallsBackOnAThreadOfTheStandIn)
{
    const TemporaryMachine machine;
    WinSim::SetDescriptionValue("oobe.completed", false);
    Calls pending;
    Calls unregistered;
    PVOID pendingHandle = nullptr;
    PVOID unregisteredHandle = nullptr;
    ASSERT_TRUE(RegisterWaitUntilOOBECompleted(&Calls::Callback, &pending, &pendingHandle));
    ASSERT_TRUE(RegisterWaitUntilOOBECompleted(&Calls::Callback, &unregistered, &unregisteredHandle));
    ASSERT_NE(pendingHandle, nullptr);
    EXPECT_TRUE(UnregisterWaitUntilOOBECompleted(unregisteredHandle));

    const auto sent = RunWinsim({"event", "oobe-complete"});
    ASSERT_EQ(sent.exitCode, 0) << sent.err;
    EXPECT_EQ(sent.out.trimmed(), Delivered(1));
    ASSERT_TRUE(pending.WaitForCall());
    EXPECT_NE(pending.thread, std::this_thread::get_id());
    EXPECT_TRUE(UnregisterWaitUntilOOBECompleted(pendingHandle));
    EXPECT_EQ(pending.count, 1);
    EXPECT_EQ(unregistered.count, 0);
    EXPECT_TRUE(WinSim::DescriptionValue("oobe.completed").toBool());
    EXPECT_EQ(RunWinsim({"event", "oobe-complete"}).out.trimmed(), Delivered(0));
}

// A symbolic link at the waits folder or in it is never written through: the wait is made in the
// machine, and the completion wakes only the waiting program's FIFO.
TEST(OobeTest, LinksAtTheWaitsAreNotFollowed)
{
    const struct {
        const char* name;
        QString link;    // below the machine
        QString target;  // in the outside folder ("" for the folder itself)
    } cases[] = {
        {"folder", "oobe-waits", ""},
        {"wait", "oobe-waits/1-1", "kept.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TemporaryMachine machine;
        WinSim::SetDescriptionValue("oobe.completed", false);
        const TestSupport::OutsideFolder outside;
        const auto before = outside.Contents();
        const QString link = machine.Path() + "/" + c.link;
        TestSupport::PlantLink(c.target.isEmpty() ? outside.Path() : outside.FilePath(c.target), link);

        Calls calls;
        PVOID handle = nullptr;
        ASSERT_TRUE(RegisterWaitUntilOOBECompleted(&Calls::Callback, &calls, &handle));
        EXPECT_EQ(outside.Contents(), before);
        EXPECT_EQ(RunWinsim({"event", "oobe-complete"}).out.trimmed(), Delivered(1));
        EXPECT_TRUE(calls.WaitForCall());
        EXPECT_TRUE(UnregisterWaitUntilOOBECompleted(handle));
        EXPECT_EQ(outside.Contents(), before);
        EXPECT_FALSE(QFileInfo(machine.Path() + "/oobe-waits").isSymLink());
    }
}

TEST(OobeTest, RegistrationFailures)
{
    const struct {
        const char* name;
        bool completed;
        DWORD injected;
        bool withCallback;
        DWORD error;
    } cases[] = {
        {"finished", true, 0, true, ERROR_INVALID_STATE},
        {"injected failure while pending", false, ERROR_ACCESS_DENIED, true, ERROR_ACCESS_DENIED},
        {"injected failure wins over finished", true, ERROR_NOT_SUPPORTED, true, ERROR_NOT_SUPPORTED},
        {"no callback", false, 0, false, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TemporaryMachine machine;
        WinSim::SetDescriptionValue("oobe.completed", c.completed);
        if (c.injected != 0) {
            ASSERT_EQ(RunWinsim({"fail", "RegisterWaitUntilOOBECompleted", QString::number(c.injected)}).exitCode, 0);
        }
        Calls calls;
        PVOID handle = nullptr;
        EXPECT_FALSE(RegisterWaitUntilOOBECompleted(c.withCallback ? &Calls::Callback : nullptr, &calls, &handle));
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(handle, nullptr);
        EXPECT_EQ(RunWinsim({"event", "oobe-complete"}).out.trimmed(), Delivered(0));
        EXPECT_EQ(calls.count, 0);
    }
    EXPECT_FALSE(UnregisterWaitUntilOOBECompleted(nullptr));
}

}  // namespace
