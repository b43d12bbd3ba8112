#include "Common/Application/OobeCompletedDetection.h"
#include "Common/Application/Paths.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Time.h"
#include "tests/fixtures/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using Korvel::DisplayCalibration::Common::LogDirectory;
using Korvel::DisplayCalibration::Common::Application::OobeCompletedDetection;
using TestSupport::LogCapture;
using TestSupport::OpenSsl;
using TestSupport::ReadFile;
using TestSupport::RunWinsim;
using TestSupport::TemporaryMachine;

namespace {

const QString UserKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\Korvel Inc\\Korvel Tintwise");
const QStringList AesArguments = {"-aes-256-cbc", "-K", TestSupport::AesKeyHex, "-iv", TestSupport::AesIvHex, "-a", "-A"};

QString CountFile()
{
    return LogDirectory() + "/OobeTime.log";
}

// The countdown file as the openssl command encrypts `plain`.
void WriteCount(const QString& plain)
{
    OpenSsl openssl;
    TestSupport::WriteFile(CountFile(), openssl(QStringList{"enc"} + AesArguments, plain.toUtf8()));
}

// "R,S,W" made of the current clock readings.
QString CountNow(qint64 remaining, qint64 secondsAgo = 0)
{
    return QStringLiteral("%1,%2,%3")
        .arg(remaining)
        .arg(WinSim::MonotonicNanoseconds() - secondsAgo * 1000000000)
        .arg(WinSim::WallClockSeconds() - secondsAgo);
}

// The file's fields as the openssl command decrypts them.
QStringList ReadCount()
{
    OpenSsl openssl;
    return QString::fromUtf8(openssl(QStringList{"enc", "-d"} + AesArguments, ReadFile(CountFile()))).split(',');
}

void Winsim(const QStringList& arguments)
{
    const auto result = RunWinsim(arguments);
    ASSERT_EQ(result.exitCode, 0) << arguments.join(' ') << ": " << result.err;
}

// Runs the event loop until `done` holds or a Patience of `milliseconds` ends.
bool RunEventsUntil(const std::function<bool()>& done, int milliseconds = 10000)
{
    const TestSupport::Patience patience(milliseconds);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || patience.Expired()) {
            loop.quit();
        }
    });
    poll.start(10);
    if (!done()) {
        loop.exec();
    }
    return done();
}

bool Logged(const LogCapture& capture, const std::string& text)
{
    for (const auto& line : capture.Lines()) {
        if (line.message.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

class OobeCompletedDetectionTest : public testing::Test {
protected:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QCoreApplication>(argc, argv);
        QCoreApplication::setOrganizationName("Korvel Inc");
        QCoreApplication::setApplicationName("Korvel Tintwise");
    }

    std::unique_ptr<QCoreApplication> application;
};

// One step of the countdown from a given file and clock history.
TEST_F(OobeCompletedDetectionTest, OneStepOfTheCountdown)
{
    const struct {
        const char* name;
        std::function<void()> prepare;
        std::optional<qint64> remaining;  // after the step; none: the wait completes, the file stays
        qint64 tolerance;                 // a second boundary crossed during the step
        std::vector<std::string> logged;
    } cases[] = {
        {"no file", [] {}, 10800, 0, {"Starting the OOBE timer for 3 hours"}},
        {"empty file", [] { TestSupport::WriteFile(CountFile(), {}); }, 10800, 0, {"Starting the OOBE timer for 3 hours"}},
        {"regular step", [] { WriteCount(CountNow(100)); }, 95, 0, {}},
        {"steps of the last second", [] { WriteCount(CountNow(4)); }, -1, 0, {}},
        {"used up", [] { WriteCount(CountNow(0)); }, std::nullopt, 0, {"OOBE was completed"}},
        {"overdrawn", [] { WriteCount(CountNow(-20)); }, std::nullopt, 0, {"OOBE was completed"}},
        {"remaining time not a number", [] { WriteCount("soon,1,2"); }, std::nullopt, 0, {"OOBE was completed"}},
        {"user ended the wait",
         [] {
             WriteCount(CountNow(5000));
             Winsim({"reg", "set", UserKey, "OOBE", "user_ended_oobe"});
         },
         std::nullopt, 0, {"OOBE was completed"}},
        {"another settings text",
         [] {
             WriteCount(CountNow(5000));
             Winsim({"reg", "set", UserKey, "OOBE", "user_ended_oobe "});
         },
         4995, 0, {}},
        {"wall clock one hour ahead while running",
         [] {
             WriteCount(CountNow(5000, 5));
             Winsim({"clock", "shift", "3600"});
         },
         4995, 1, {"A time or time zone change was detected", "Previous OOBE wait time: 5000 secs Current OOBE wait time: 499"}},
        {"wall clock one hour back while running",
         [] {
             WriteCount(CountNow(5000, 5));
             Winsim({"clock", "shift", "-3600"});
         },
         4995, 1, {"A time or time zone change was detected"}},
        {"program closed for 20 minutes",
         [] {
             WriteCount(CountNow(5000));
             Winsim({"clock", "advance", "1200"});
         },
         3800, 1, {"Application restart was detected", "Previous OOBE wait time: 5000 secs Current OOBE wait time: 3"}},
        {"machine off for 10 minutes",
         [] {
             WriteCount(CountNow(5000));
             Winsim({"clock", "reboot", "--after", "600"});
         },
         4400, 1, {"System restart was detected", "Previous OOBE wait time: 5000 secs Current OOBE wait time: 4"}},
        {"not encrypted",
         [] {
             TestSupport::WriteFile(CountFile(),
                                    TestSupport::Run("openssl", {"rand", "-base64", "48"}).out.toLatin1());
         },
         10795, 0, {"Decryption of OOBE file failed", "Re-starting the OOBE timer for 3 hours"}},
        {"not Base64", [] { TestSupport::WriteFile(CountFile(), "10000,1,2"); }, 10795, 0,
         {"Decryption of OOBE file failed", "Re-starting the OOBE timer for 3 hours"}},
        {"two fields", [] { WriteCount("5000,12"); }, 10795, 0,
         {"OOBE file holds fewer than three values", "Re-starting the OOBE timer for 3 hours"}},
        {"nothing encrypted", [] { WriteCount(""); }, 10795, 0, {"OOBE file holds fewer than three values"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TemporaryMachine machine;
        WinSim::SetDescriptionValue("oobe.completed", false);
        c.prepare();
        const QByteArray before = ReadFile(CountFile());
        const LogCapture log("OobeCompletedDetection");
        OobeCompletedDetection detection;
        int completions = 0;
        QObject::connect(&detection, &OobeCompletedDetection::OobeCompleted, [&completions] { ++completions; });

        const qint64 steadyBefore = WinSim::MonotonicNanoseconds();
        const qint64 wallBefore = WinSim::WallClockSeconds();
        detection.SaveRemainingOOBETime();
        const qint64 steadyAfter = WinSim::MonotonicNanoseconds();
        const qint64 wallAfter = WinSim::WallClockSeconds();

        for (const std::string& text : c.logged) {
            EXPECT_TRUE(Logged(log, text)) << text;
        }
        EXPECT_EQ(detection.IsCompleted(), !c.remaining.has_value());
        EXPECT_EQ(completions, c.remaining ? 0 : 1);
        if (!c.remaining) {
            EXPECT_EQ(ReadFile(CountFile()), before);
            continue;
        }
        const QStringList fields = ReadCount();
        ASSERT_EQ(fields.size(), 3) << fields.join(',');
        EXPECT_LE(fields[0].toLongLong(), *c.remaining);
        EXPECT_GE(fields[0].toLongLong(), *c.remaining - c.tolerance);
        EXPECT_GE(fields[1].toLongLong(), steadyBefore);
        EXPECT_LE(fields[1].toLongLong(), steadyAfter);
        EXPECT_GE(fields[2].toLongLong(), wallBefore);
        EXPECT_LE(fields[2].toLongLong(), wallAfter);
    }
}

TEST_F(OobeCompletedDetectionTest, UnreadableFileStopsTheCountdown)
{
    const TemporaryMachine machine;
    WinSim::SetDescriptionValue("time.waitScale", 0.01);
    ASSERT_TRUE(QDir().mkpath(CountFile() + "/x"));
    const LogCapture log("OobeCompletedDetection");
    OobeCompletedDetection detection;
    EXPECT_TRUE(Logged(log, "App start time could not be logged! File creation failed!"));
    EXPECT_TRUE(Logged(log, "Reading from OOBE file failed!"));
    EXPECT_TRUE(QFileInfo(CountFile()).isDir());
    EXPECT_FALSE(detection.IsCompleted());
}

TEST_F(OobeCompletedDetectionTest, CountingStartsWhenOobeIsOrBecomesFinished)
{
    const struct {
        const char* name;
        bool finished;
        const char* injected;
        std::vector<std::string> logged;
        bool counts;
    } cases[] = {
        {"already finished", true, nullptr,
         {"Failure to register OOBE completed callback. Error code: 5023; Description: The group or resource is not "
          "in the correct state to perform the requested operation.",
          "OOBE already finished. No need for registration of OOBE notification handler."},
         true},
        {"finished later", false, nullptr, {"Callback successfully registered. 3h timer will be started after OOBE completion."},
         true},
        {"registration fails", false, "5", {"Failure to register OOBE notification handler [err code: 5]"}, false},
        {"registration fails though finished", true, "1168",
         {"Error code: 1168; Description: Element not found.", "Failure to register OOBE notification handler [err code: 1168]"},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TemporaryMachine machine;
        WinSim::SetDescriptionValue("oobe.completed", c.finished);
        WinSim::SetDescriptionValue("time.waitScale", 0.01);
        if (c.injected != nullptr) {
            Winsim({"fail", "RegisterWaitUntilOOBECompleted", c.injected});
        }
        const LogCapture log("OobeCompletedDetection");
        OobeCompletedDetection detection;
        for (const std::string& text : c.logged) {
            EXPECT_TRUE(Logged(log, text)) << text;
        }
        EXPECT_EQ(QFileInfo::exists(CountFile()), c.finished && c.counts) << "one step runs at once";
        const auto completed = RunWinsim({"event", "oobe-complete"});
        EXPECT_EQ(completed.out.trimmed(),
                  c.finished || !c.counts ? "delivered to 0 programs" : "delivered to 1 program");
        if (!c.counts) {
            EXPECT_FALSE(RunEventsUntil([] { return QFileInfo::exists(CountFile()); }, 200));
            continue;
        }
        // The first step, then the timer's steps.
        EXPECT_TRUE(RunEventsUntil([] { return QFileInfo::exists(CountFile()); }));
        EXPECT_TRUE(RunEventsUntil([] { return ReadCount().value(0).toInt() <= 10790; })) << ReadCount().join(',');
        EXPECT_FALSE(detection.IsCompleted());
    }
}

// After the wait, every start completes in its first step, before anyone has connected; the timer
// started after that step completes once more, one step later, and that is what listeners hear.
TEST_F(OobeCompletedDetectionTest, ListenersHearTheSecondCompletionOneStepLater)
{
    const TemporaryMachine machine;
    WinSim::SetDescriptionValue("time.waitScale", 0.01);
    WriteCount(CountNow(0));
    OobeCompletedDetection detection;
    EXPECT_TRUE(detection.IsCompleted());
    int heard = 0;
    QObject::connect(&detection, &OobeCompletedDetection::OobeCompleted, [&heard] { ++heard; });
    EXPECT_TRUE(RunEventsUntil([&heard] { return heard == 1; }));
    EXPECT_FALSE(RunEventsUntil([&heard] { return heard > 1; }, 300));
}

TEST_F(OobeCompletedDetectionTest, UserEndedOobeIsInTheRegistryAtOnce)
{
    const TemporaryMachine machine;
    WinSim::SetDescriptionValue("oobe.completed", false);
    const LogCapture log("OobeCompletedDetection");
    OobeCompletedDetection().UserEndedOobe();
    EXPECT_EQ(RunWinsim({"reg", "get", UserKey, "OOBE"}).out.trimmed(), "user_ended_oobe");
    EXPECT_TRUE(Logged(log, "Registry Added: User ended OOBE timer by clicking the application"));

    // A key that refuses writes: the failure is logged, not reported as added.
    Winsim({"reg", "delete", UserKey, "OOBE"});
    Winsim({"reg", "readonly", UserKey, "on"});
    const LogCapture refused("OobeCompletedDetection");
    OobeCompletedDetection().UserEndedOobe();
    EXPECT_FALSE(Logged(refused, "Registry Added"));
    EXPECT_TRUE(Logged(refused, "Registry write failed"));
    EXPECT_NE(RunWinsim({"reg", "get", UserKey, "OOBE"}).exitCode, 0);
}

}  // namespace
