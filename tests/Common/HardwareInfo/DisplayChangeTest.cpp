#include "WindowsStandIn/Machine.h"
#include "tests/fixtures/TestSupport.h"

#include <QDeadlineTimer>
#include <QProcess>

#include <gtest/gtest.h>

using TestSupport::BinaryPath;
using TestSupport::RunWinsim;
using TestSupport::TemporaryMachine;

namespace {

// The next line of a running program, or empty after 20 s.
QString NextLine(QProcess& process)
{
    const QDeadlineTimer deadline(20000);
    while (!process.canReadLine() && !deadline.hasExpired()) {
        process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
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
    ASSERT_TRUE(watcher.waitForFinished(20000));
    EXPECT_EQ(watcher.exitCode(), 0);
}

}  // namespace
