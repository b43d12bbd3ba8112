#include "WindowsStandIn/Machine.h"
#include "tests/fixtures/TestSupport.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>

using TestSupport::BinaryPath;
using TestSupport::RunWinsim;
using TestSupport::TemporaryMachine;

namespace {

// The next line of a running program, or empty after a Patience.
QString NextLine(QProcess& process)
{
    const TestSupport::Patience patience;
    while (!process.canReadLine() && !patience.Expired() && process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(std::min(patience.RemainingMs(), 1000));
    }
    return process.canReadLine() ? QString::fromUtf8(process.readLine()).trimmed() : QString();
}

void Winsim(const QStringList& arguments)
{
    const auto result = RunWinsim(arguments);
    ASSERT_EQ(result.exitCode, 0) << result.err;
}

TEST(DisplayChangeTest, RunningProgramSeesTheChangedMachineAfterADisplayChange)
{
    const TemporaryMachine machine;
    QProcess watcher;
    watcher.start(BinaryPath("displaywatcher"), {});
    EXPECT_EQ(NextLine(watcher), "panel=KVL4A1C available=1 duplicate=0 dds=0 hdr=0 bits=8 brightness=60")
        << watcher.readAllStandardError().toStdString();
    ASSERT_EQ(NextLine(watcher), "ready");

    Winsim({"set", "topology", "clone"});
    Winsim({"set", "displays.0.hdr.enabled", "true"});
    Winsim({"set", "displays.0.bitsPerColor", "10"});
    Winsim({"set", "displays.0.brightness.current", "30"});
    Winsim({"set", "gpu.ddsMode", "2"});  // no GPU driver on this machine: not seen
    Winsim({"event", "display-change"});
    EXPECT_EQ(NextLine(watcher), "panel=KVL4A1C available=0 duplicate=1 dds=0 hdr=1 bits=10 brightness=30");

    Winsim({"set", "topology", "external"});
    Winsim({"set", "displays.0.hdr.enabled", "false"});
    Winsim({"event", "display-change"});
    EXPECT_EQ(NextLine(watcher), "panel=KVL4A1C available=0 duplicate=0 dds=0 hdr=0 bits=10 brightness=30");

    watcher.closeWriteChannel();
    ASSERT_TRUE(TestSupport::WaitForFinished(watcher));
    EXPECT_EQ(watcher.exitCode(), 0);
}

}  // namespace
