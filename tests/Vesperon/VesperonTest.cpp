// The update checker stand-in: what it accepts, what it journals, and injected failures.
#include "Vesperon/Vesperon.h"

#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/StateFile.h"
#include "tests/fixtures/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using TestSupport::TemporaryMachine;

const char* const Feed = "https://downloads.example.test/downloads/autoupdate/KorvelTintwise/Vantrel/"
                         "KorvelTintwise_win64_appcast.xml";

VesperonParameters GoodRecord()
{
    VesperonParameters record{};
    record.size = sizeof(VesperonParameters);
    record.feedUrl = Feed;
    record.firstText = "";
    record.secondText = "";
    return record;
}

// The details of the journal's events `event`, in order.
QStringList Journalled(const QString& event)
{
    QStringList details;
    for (const QString& line : WinSim::ReadJournal()) {
        if (line.section(' ', 2, 2) == event) {
            details << line.section(' ', 3);
        }
    }
    return details;
}

TEST(Vesperon, AcceptsTheRecordAndJournalsFeedAndStatus)
{
    TemporaryMachine machine;
    const VesperonParameters record = GoodRecord();
    EXPECT_EQ(VesperonInitialize(&record), 0);
    EXPECT_EQ(Journalled("vesperon-initialize"), QStringList{QString::fromUtf8(Feed) + " 0"});
}

TEST(Vesperon, RefusesBadRecords)
{
    TemporaryMachine machine;
    const std::string tooLong(3000, 'a');
    const char invalidUtf8[] = "https://x.test/\xc3\x28.xml";
    const QString feed = QString::fromUtf8(Feed);
    // The feed is journalled only from a record of the right size that holds a readable one.
    const struct {
        const char* name;
        std::function<void(VesperonParameters&)> spoil;
        QString journalled;
    } cases[] = {
        {"size of the 32-bit layout", [](VesperonParameters& r) { r.size = 52; }, "- 87"},
        {"size zero", [](VesperonParameters& r) { r.size = 0; }, "- 87"},
        {"no feed", [](VesperonParameters& r) { r.feedUrl = nullptr; }, "- 87"},
        {"empty feed", [](VesperonParameters& r) { r.feedUrl = ""; }, "- 87"},
        {"feed not UTF-8", [&](VesperonParameters& r) { r.feedUrl = invalidUtf8; }, "- 87"},
        {"feed without end", [&](VesperonParameters& r) { r.feedUrl = tooLong.c_str(); }, "- 87"},
        {"a reserved number set", [](VesperonParameters& r) { r.reserved[7] = 1; }, feed + " 87"},
        {"the flags set", [](VesperonParameters& r) { r.reservedFlags = -1; }, feed + " 87"},
        {"first text missing", [](VesperonParameters& r) { r.firstText = nullptr; }, feed + " 87"},
        {"second text not empty", [](VesperonParameters& r) { r.secondText = "x"; }, feed + " 87"},
    };
    QStringList expected;
    for (const auto& item : cases) {
        VesperonParameters record = GoodRecord();
        item.spoil(record);
        EXPECT_EQ(VesperonInitialize(&record), 87) << item.name;
        expected << item.journalled;
    }
    EXPECT_EQ(VesperonInitialize(nullptr), 87);
    expected << "- 87";
    EXPECT_EQ(Journalled("vesperon-initialize"), expected);
}

TEST(Vesperon, InjectedFailureIsTheStatusOfAGoodRecordOnly)
{
    TemporaryMachine machine;
    WinSim::SetInjectedFailure(QStringLiteral("VesperonInitialize"), 1460);
    VesperonParameters record = GoodRecord();
    EXPECT_EQ(VesperonInitialize(&record), 1460);
    record.secondText = "x";
    EXPECT_EQ(VesperonInitialize(&record), 87);
    EXPECT_EQ(Journalled("vesperon-initialize"),
              (QStringList{QString::fromUtf8(Feed) + " 1460", QString::fromUtf8(Feed) + " 87"}));
}

TEST(Vesperon, ChecksJournalTheirModeOnly)
{
    TemporaryMachine machine;
    EXPECT_EQ(VesperonCheckForUpdates(0), 0);
    EXPECT_EQ(VesperonCheckForUpdates(1), 0);
    EXPECT_EQ(Journalled("vesperon-check"), (QStringList{"0", "1"}));
    EXPECT_TRUE(Journalled("vesperon-initialize").isEmpty());
}

TEST(Vesperon, WithoutAMachineNothingFails)
{
    // The test environment points WINSIM_MACHINE at a folder that does not exist.
    const VesperonParameters record = GoodRecord();
    EXPECT_EQ(VesperonInitialize(&record), 0);
    EXPECT_EQ(VesperonCheckForUpdates(1), 0);
}

}  // namespace
