// The display's default profiles read before an update and put back after it, and their record on a
// temporary machine with the real profile helper: what cannot be read is never put back, and what a
// killed update left recorded is put back once, unless its update still runs.
#include "tests/Common/Profile/ProfileHelperFixture.h"

#include "Common/Profile/DefaultProfiles.h"
#include "Common/Profile/ProfileHelper.h"
#include "WindowsStandIn/ColorSystem.h"
#include "WindowsStandIn/StateFile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace Korvel::DisplayCalibration::Common::Profile;
using Outcome = LeftDefaultProfiles::Outcome;

namespace {

const QString Picked = QStringLiteral("KV_Picked.icm");
const QString Native = QStringLiteral("KV_Native.icm");
const QString NativeHdr = QStringLiteral("KV_NativeHdr.icm");
const QString Srgb = QStringLiteral("sRGB Color Space Profile.icm");

class DefaultProfilesTest : public ProfileHelperMachine {
protected:
    // The user's pick is the SDR default and, with `advancedColor`, the native profile the
    // advanced-colour one.
    void SetUp() override
    {
        ProfileHelperMachine::SetUp();
        const QString colour = WinSim::ColorDirectory();
        ASSERT_TRUE(QFile::copy("/usr/share/color/icc/colord/sRGB.icc", colour + "/" + Picked));
        ASSERT_TRUE(QFile::copy("/usr/share/color/icc/colord/AdobeRGB1998.icc", colour + "/" + Native));
        ASSERT_TRUE(QFile::copy("/usr/share/color/icc/colord/AppleRGB.icc", colour + "/" + NativeHdr));
        helper = std::make_unique<ProfileHelper>();
        helper->ActivateProfile(Picked, false);
    }

    // The SDR and advanced-colour defaults; "" for none.
    QStringList Defaults() const
    {
        QStringList defaults;
        for (const bool advancedColor : {false, true}) {
            try {
                defaults << helper->ReadActiveProfile(advancedColor);
            } catch (const ReadActiveProfileException&) {
                defaults << QString();
            }
        }
        return defaults;
    }

    static void WriteRecord(const QByteArray& content)
    {
        TestSupport::WriteFile(DefaultProfilesRecord::Path(), content);
    }

    std::unique_ptr<ProfileHelper> helper;
};

struct PutBackCase {
    const char* name;
    bool advancedColorBefore;
    const char* unreadable;  // the default-reading call that fails while the update reads them
    bool updateSetsAdvancedColor;
    QJsonObject recorded;
    QStringList after;
    DefaultProfiles::PutBackResult result;
};

void PrintTo(const PutBackCase& c, std::ostream* stream)
{
    *stream << c.name;
}

class DefaultsPutBack : public DefaultProfilesTest, public testing::WithParamInterface<PutBackCase> {};

// An update records the defaults, switches to sRGB (and, in some cases, to another advanced-colour
// default) and fails: only what was read is put back, and the record goes with the update.
TEST_P(DefaultsPutBack, OnlyWhatWasRead)
{
    const PutBackCase& c = GetParam();
    if (c.advancedColorBefore) {
        helper->ActivateProfile(Native, true);
    }
    {
        if (c.unreadable != nullptr) {
            WinSim::SetInjectedFailure(c.unreadable, ERROR_ACCESS_DENIED);
        }
        const DefaultProfilesRecord record(*helper);
        if (c.unreadable != nullptr) {
            WinSim::SetInjectedFailure(c.unreadable, 0);
        }
        ASSERT_TRUE(record.Recorded()) << record.Failure().toStdString();
        EXPECT_EQ(QJsonDocument::fromJson(TestSupport::ReadFile(DefaultProfilesRecord::Path())).object(), c.recorded);

        helper->ActivateSrgbProfile();
        if (c.updateSetsAdvancedColor) {
            helper->ActivateProfile(NativeHdr, true);
        }
        QString failure;
        EXPECT_EQ(record.Previous().PutBack(*helper, failure), c.result) << failure.toStdString();
        EXPECT_EQ(Defaults(), c.after);
    }
    EXPECT_FALSE(QFileInfo::exists(DefaultProfilesRecord::Path()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DefaultsPutBack,
    testing::Values(
        PutBackCase{"BothRead", true, nullptr, true, QJsonObject{{"sdr", Picked}, {"advancedColor", Native}},
                    {Picked, Native}, DefaultProfiles::PutBackResult::PreviousInUse},
        // None is known: the advanced-colour default the update made goes again.
        PutBackCase{"NoAdvancedColorDefault", false, nullptr, true, QJsonObject{{"sdr", Picked}, {"advancedColor", ""}},
                    {Picked, ""}, DefaultProfiles::PutBackResult::PreviousInUse},
        // Unknown is not none: the advanced-colour default that exists stays.
        PutBackCase{"AdvancedColorUnreadable", true, "ColorProfileGetDisplayDefault", false,
                    QJsonObject{{"sdr", Picked}}, {Picked, Native}, DefaultProfiles::PutBackResult::PreviousInUse},
        PutBackCase{"AdvancedColorUnreadableUpdateChangedIt", true, "ColorProfileGetDisplayDefault", true,
                    QJsonObject{{"sdr", Picked}}, {Picked, NativeHdr}, DefaultProfiles::PutBackResult::PreviousInUse},
        PutBackCase{"SdrUnreadable", true, "WcsGetDefaultColorProfile", true, QJsonObject{{"advancedColor", Native}},
                    {Srgb, Native}, DefaultProfiles::PutBackResult::NoSdrProfile}),
    [](const testing::TestParamInfo<PutBackCase>& info) { return std::string(info.param.name); });

struct LeftRecordCase {
    const char* name;
    QByteArray content;
    Outcome outcome;
    QStringList after;  // empty: the defaults stay as the killed update left them
};

void PrintTo(const LeftRecordCase& c, std::ostream* stream)
{
    *stream << c.name;
}

class LeftRecord : public DefaultProfilesTest, public testing::WithParamInterface<LeftRecordCase> {};

// A killed update left its record and the display on sRGB with another advanced-colour default: a
// start puts back what the record holds, and removes it however it reads.
TEST_P(LeftRecord, IsPutBackOnceOrRemoved)
{
    const LeftRecordCase& c = GetParam();
    helper->ActivateSrgbProfile();
    helper->ActivateProfile(NativeHdr, true);
    const QStringList left = Defaults();
    WriteRecord(c.content);

    const LeftDefaultProfiles found = DefaultProfilesRecord::PutBackLeftRecord(*helper);
    EXPECT_EQ(found.outcome, c.outcome) << found.Description().toStdString();
    EXPECT_EQ(Defaults(), c.after.isEmpty() ? left : c.after);
    EXPECT_FALSE(QFileInfo::exists(DefaultProfilesRecord::Path()));
    EXPECT_EQ(DefaultProfilesRecord::PutBackLeftRecord(*helper).outcome, Outcome::None);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LeftRecord,
    testing::Values(
        LeftRecordCase{"Both", R"({"sdr": "KV_Picked.icm", "advancedColor": "KV_Native.icm"})", Outcome::PutBack,
                       {Picked, Native}},
        LeftRecordCase{"SdrOnly", R"({"sdr": "KV_Picked.icm"})", Outcome::PutBack, {Picked, NativeHdr}},
        LeftRecordCase{"NoneKnown", "{}", Outcome::PutBack, {}},
        // A profile that is no longer installed cannot come back; the record goes all the same.
        LeftRecordCase{"ProfileGone", R"({"sdr": "KV_Gone.icm"})", Outcome::NotPutBack, {}},
        LeftRecordCase{"CutShort", R"({"sdr": "KV_Pic)", Outcome::Unreadable, {}},
        LeftRecordCase{"Empty", "", Outcome::Unreadable, {}},
        LeftRecordCase{"NotAPlainFileName", R"({"sdr": "../KV_Picked.icm"})", Outcome::Unreadable, {}},
        LeftRecordCase{"NotAText", R"({"sdr": 7})", Outcome::Unreadable, {}},
        LeftRecordCase{"UnknownKey", R"({"sdr": "KV_Picked.icm", "hdr": "KV_Native.icm"})", Outcome::Unreadable,
                       {}}),
    [](const testing::TestParamInfo<LeftRecordCase>& info) { return std::string(info.param.name); });

TEST_F(DefaultProfilesTest, RecordThatIsALinkIsRemovedAndItsTargetKept)
{
    helper->ActivateSrgbProfile();
    QTemporaryDir elsewhere;
    const QByteArray content = R"({"sdr": "KV_Picked.icm"})";
    const QString target = elsewhere.filePath("record.json");
    TestSupport::WriteFile(target, content);
    ASSERT_TRUE(QFile::link(target, DefaultProfilesRecord::Path()));

    EXPECT_EQ(DefaultProfilesRecord::PutBackLeftRecord(*helper).outcome, Outcome::Unreadable);
    EXPECT_EQ(Defaults()[0], Srgb);
    EXPECT_FALSE(QFileInfo(DefaultProfilesRecord::Path()).isSymLink());
    EXPECT_EQ(TestSupport::ReadFile(target), content);
}

// While an update runs (its record object alive, as in another program) a start leaves its record
// alone; the update's own end removes it.
TEST_F(DefaultProfilesTest, RecordOfARunningUpdateIsLeftAlone)
{
    {
        const DefaultProfilesRecord running(*helper);
        ASSERT_TRUE(running.Recorded());
        helper->ActivateSrgbProfile();
        EXPECT_EQ(DefaultProfilesRecord::PutBackLeftRecord(*helper).outcome, Outcome::UpdateRunning);
        EXPECT_EQ(Defaults()[0], Srgb);
        EXPECT_TRUE(QFileInfo::exists(DefaultProfilesRecord::Path()));

        // A second update meanwhile records nothing and leaves the first one's record.
        const DefaultProfilesRecord second(*helper);
        EXPECT_FALSE(second.Recorded());
        EXPECT_EQ(second.Previous().Sdr(), Srgb);
    }
    EXPECT_FALSE(QFileInfo::exists(DefaultProfilesRecord::Path()));
}

// An update that finds a killed one's record puts it back before it reads the defaults it records.
TEST_F(DefaultProfilesTest, UpdatePutsBackALeftRecordFirst)
{
    helper->ActivateSrgbProfile();
    WriteRecord(R"({"sdr": "KV_Picked.icm", "advancedColor": ""})");
    const DefaultProfilesRecord record(*helper);
    EXPECT_EQ(record.Left().outcome, Outcome::PutBack);
    EXPECT_EQ(record.Previous().Sdr(), Picked);
    EXPECT_EQ(QJsonDocument::fromJson(TestSupport::ReadFile(DefaultProfilesRecord::Path())).object(),
              (QJsonObject{{"sdr", Picked}, {"advancedColor", ""}}));
}

}  // namespace
