// ProfileHelper's in-process operations on a temporary machine: activation over the machine's
// adapters, state reads, brightness metadata and the clean-ups of the colour directory.
#include "tests/Common/Profile/ProfileHelperFixture.h"

#include "Common/Profile/ProfileHelper.h"
#include "WindowsStandIn/ColorSystem.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Registry.h"
#include "WindowsStandIn/StateFile.h"
#include "Spectrine/Base.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <lcms2.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

using namespace Korvel::DisplayCalibration::Common::Profile;
using Korvel::DisplayCalibration::Common::Exception::OsErrorException;

namespace {

const QString DebianSrgb = QStringLiteral("/usr/share/color/icc/colord/sRGB.icc");
const QString DebianAdobe = QStringLiteral("/usr/share/color/icc/colord/AdobeRGB1998.icc");

QJsonObject AdapterEntry(const char* description, qint64 low, bool software = false, qint64 high = 0)
{
    return QJsonObject{{"description", description},
                       {"luid", QJsonObject{{"low", low}, {"high", high}}},
                       {"software", software}};
}

// An sRGB profile made with LittleCMS whose 'meta' dictionary holds `name` = `value`.
void WriteProfileWithMetadata(const QString& path, const wchar_t* name, const wchar_t* value)
{
    cmsHPROFILE profile = cmsCreate_sRGBProfile();
    ASSERT_NE(profile, nullptr);
    cmsHANDLE dictionary = cmsDictAlloc(nullptr);
    ASSERT_TRUE(cmsDictAddEntry(dictionary, name, value, nullptr, nullptr));
    ASSERT_TRUE(cmsWriteTag(profile, cmsSigMetaTag, dictionary));
    ASSERT_TRUE(cmsSaveProfileToFile(profile, QFile::encodeName(path).constData()));
    cmsDictFree(dictionary);
    cmsCloseProfile(profile);
}

class ProfileHelperTest : public ProfileHelperMachine {
protected:
    QTemporaryDir files;
    QString colour = WinSim::ColorDirectory();

    void Install(const QString& source, const QString& name)
    {
        QFile::remove(colour + "/" + name);
        ASSERT_TRUE(QFile::copy(source, colour + "/" + name));
    }

    QStringList Installed() const { return QDir(colour).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase); }
};

struct ActivationCase {
    const char* name;
    QJsonArray adapters;
    QJsonObject faults;
    std::optional<qint64> activatedOn;  // the LUID low part whose default is set; none: failure
    const char* failure = "";           // how the failure's text continues after "Failed to activate KV_HDR10.icm"
};

void PrintTo(const ActivationCase& c, std::ostream* stream)
{
    *stream << c.name;
}

class Hdr10Activation : public ProfileHelperTest, public testing::WithParamInterface<ActivationCase> {};

TEST_P(Hdr10Activation, UsesFirstAdapterThatAcceptsBothCalls)
{
    const ActivationCase& c = GetParam();
    WinSim::SetDescriptionValue(QStringLiteral("adapters"), c.adapters);
    for (const QString& call : c.faults.keys()) {
        WinSim::SetInjectedFailure(call.section('@', 0, 0), DWORD(c.faults[call].toInteger()), call.section('@', 1));
    }
    Install(DebianAdobe, QStringLiteral("KV_HDR10.icm"));
    ProfileHelper helper;

    if (!c.activatedOn) {
        try {
            helper.ActivateProfile(QStringLiteral("KV_HDR10.icm"), true);
            FAIL() << "no exception";
        } catch (const ActivateProfileException& error) {
            EXPECT_TRUE(QString::fromUtf8(error.what()).startsWith("Failed to activate KV_HDR10.icm profile" +
                                                                   QString::fromUtf8(c.failure) + ".\n"))
                << error.what();
        }
        EXPECT_THROW(helper.ReadActiveProfile(true), ReadActiveProfileException);
        return;
    }
    helper.ActivateProfile(QStringLiteral("KV_HDR10.icm"), true);
    // The default is set (ordinal 232) on exactly one adapter.
    const QStringList defaults = WinSim::ReadJournal().filter(" colour-display-default ");
    ASSERT_EQ(defaults.size(), 1);
    EXPECT_TRUE(defaults[0].contains(" 0:" + QString::number(*c.activatedOn) + ":0 EXTENDED_DISPLAY_COLOR_MODE "))
        << defaults[0];
    EXPECT_EQ(helper.ReadActiveProfile(true), QStringLiteral("KV_HDR10.icm"));
    EXPECT_EQ(helper.ReadActiveHdrProfile(true), QStringLiteral("KV_HDR10.icm"));
    EXPECT_THROW(helper.ReadActiveHdrProfile(false), ReadActiveProfileException);
}

const QJsonArray TwoAdapters{AdapterEntry("First", 100), AdapterEntry("Second", 200)};

INSTANTIATE_TEST_SUITE_P(
    Cases, Hdr10Activation,
    testing::Values(
        ActivationCase{"NoAdapter", QJsonArray{}, {}, std::nullopt, " - no suitable adapter found"},
        ActivationCase{"SoftwareAdapterOnly", QJsonArray{AdapterEntry("Basic Render Driver", 300, true)}, {},
                       std::nullopt, " - no suitable adapter found"},
        ActivationCase{"NoFactory6", TwoAdapters, QJsonObject{{"IDXGIFactory6", 1}}, std::nullopt,
                       " - no suitable adapter found"},
        ActivationCase{"LuidLowPartZeroIsSkipped", QJsonArray{AdapterEntry("Zero", 0, false, 7)}, {}, std::nullopt},
        ActivationCase{"FirstAdapterAccepts", TwoAdapters, {}, 100},
        ActivationCase{"FirstRefusesAssociation", TwoAdapters,
                       QJsonObject{{"ColorProfileAddDisplayAssociation@100", 5}}, 200},
        ActivationCase{"FirstRefusesDefault", TwoAdapters,
                       QJsonObject{{"ColorProfileSetDisplayDefaultAssociation@100", 5}}, 200},
        ActivationCase{"SoftwareAdapterBeforeHardware",
                       QJsonArray{AdapterEntry("Basic Render Driver", 300, true), AdapterEntry("Hardware", 400)}, {},
                       400},
        ActivationCase{"EveryAdapterRefuses", TwoAdapters, QJsonObject{{"ColorProfileAddDisplayAssociation", 5}},
                       std::nullopt}),
    [](const testing::TestParamInfo<ActivationCase>& info) { return std::string(info.param.name); });

TEST_F(ProfileHelperTest, SdrActivationSetsCurrentUserDefault)
{
    Install(DebianSrgb, QStringLiteral("KV_sRGB.icm"));
    ProfileHelper helper;
    EXPECT_THROW(helper.ReadActiveProfile(false), ReadActiveProfileException);

    helper.ActivateProfile(QStringLiteral("KV_sRGB.icm"), false);
    EXPECT_EQ(helper.ReadActiveProfile(false), QStringLiteral("KV_sRGB.icm"));
    const QJsonObject defaults = WinSim::ColorSystemState()["defaults"].toObject()["currentUser"].toObject();
    EXPECT_EQ(defaults[helper.GetDeviceId()].toObject()["RGB_WORKING_SPACE"].toString(), QStringLiteral("KV_sRGB.icm"));

    // A profile that is not installed cannot become the default.
    EXPECT_THROW(helper.ActivateProfile(QStringLiteral("missing.icm"), false), ActivateProfileException);
    EXPECT_EQ(helper.ReadActiveProfile(false), QStringLiteral("KV_sRGB.icm"));
}

TEST_F(ProfileHelperTest, AdvancedColourAssociationIsRemovedOnEveryAdapter)
{
    WinSim::SetDescriptionValue(QStringLiteral("adapters"), TwoAdapters);
    Install(DebianAdobe, QStringLiteral("KV_HDR10.icm"));
    ProfileHelper helper;
    helper.ActivateProfile(QStringLiteral("KV_HDR10.icm"), true);
    helper.RemoveAdvancedColorAssociation(QStringLiteral("KV_HDR10.icm"));
    EXPECT_THROW(helper.ReadActiveProfile(true), ReadActiveProfileException);

    // Without a hardware adapter the failure is one the callers' handlers catch.
    WinSim::SetDescriptionValue(QStringLiteral("adapters"), QJsonArray{});
    try {
        helper.RemoveAdvancedColorAssociation(QStringLiteral("KV_HDR10.icm"));
        FAIL() << "no exception";
    } catch (const OsErrorException& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).startsWith("Failed to disassociate KV_HDR10.icmerror : "))
            << error.what();
    }
}

TEST_F(ProfileHelperTest, UserProfileListAndCalibrationState)
{
    ProfileHelper helper;
    EXPECT_FALSE(helper.IsUserProfileListEnabled());
    helper.EnableUserProfileList();
    EXPECT_TRUE(helper.IsUserProfileListEnabled());
    helper.DisableUserProfileList();
    EXPECT_FALSE(helper.IsUserProfileListEnabled());
    EXPECT_FALSE(helper.GetColorCalibrationState());
}

TEST_F(ProfileHelperTest, StateCallFailuresRaiseTheirExceptions)
{
    ProfileHelper helper;
    for (const char* call : {"WcsGetUsePerUserProfiles", "WcsSetUsePerUserProfiles", "WcsGetCalibrationManagementState"}) {
        WinSim::SetInjectedFailure(call, ERROR_ACCESS_DENIED);
    }
    // A setting that cannot be read is no setting switched off.
    EXPECT_THROW(helper.IsUserProfileListEnabled(), ReadUserProfileListException);
    EXPECT_THROW(helper.EnableUserProfileList(), EnableUserProfileListException);
    EXPECT_THROW(helper.DisableUserProfileList(), DisableUserProfileListException);
    EXPECT_THROW(helper.GetColorCalibrationState(), GetColorCalibrationException);
}

TEST_F(ProfileHelperTest, DeviceIdFallsBackToStoredValue)
{
    EXPECT_TRUE(ProfileHelper().GetDeviceId().startsWith("MONITOR\\")) << ProfileHelper().GetDeviceId();

    WinSim::SetInjectedFailure("EnumDisplayDevicesW", 31);
    EXPECT_THROW(ProfileHelper(), GetDeviceIdException);
    ASSERT_EQ(WinSim::Registry::SetValue(
                  QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel Inc\\KorvelTintwise\\PanelInfo"),
                  QStringLiteral("DisplayDeviceId"), WinSim::Registry::Value{REG_SZ, QStringLiteral("MONITOR\\Stored")},
                  WinSim::Registry::Access::Unchecked),
              ERROR_SUCCESS);
    EXPECT_EQ(ProfileHelper().GetDeviceId(), QStringLiteral("MONITOR\\Stored"));

    WinSim::SetInjectedFailure("GetColorDirectoryA", 5);
    EXPECT_THROW(ProfileHelper(), GetColorDirectoryPathException);
}

struct BrightnessCase {
    const char* name;
    const wchar_t* key;    // null: a copy of `debian`
    const wchar_t* value;
    std::optional<int> brightness;  // none: ReadProfileBrightnessException
    bool hasMetadata;
    const char* debian = nullptr;
};

void PrintTo(const BrightnessCase& c, std::ostream* stream)
{
    *stream << c.name;
}

class Brightness : public ProfileHelperTest, public testing::WithParamInterface<BrightnessCase> {};

TEST_P(Brightness, ReadFromMetadata)
{
    const BrightnessCase& c = GetParam();
    const QString path = files.filePath("profile.icm");
    if (c.key == nullptr) {
        ASSERT_TRUE(QFile::copy(QString::fromUtf8(c.debian), path));
    } else {
        WriteProfileWithMetadata(path, c.key, c.value);
    }
    ProfileHelper helper;
    EXPECT_EQ(helper.HasBrightnessMetadata(path), c.hasMetadata);
    if (c.brightness) {
        EXPECT_EQ(helper.ReadProfileBrightness(path), *c.brightness);
    } else {
        EXPECT_THROW(helper.ReadProfileBrightness(path), ReadProfileBrightnessException);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Brightness,
    testing::Values(BrightnessCase{"NoMetadataTag", nullptr, nullptr, 100, false, "/usr/share/color/icc/sRGB.icc"},
                    BrightnessCase{"MetadataWithoutBrightness", nullptr, nullptr, 100, false,
                                   "/usr/share/color/icc/colord/sRGB.icc"},
                    BrightnessCase{"Whole", L"Brightness", L"75", 75, true},
                    BrightnessCase{"FractionTruncated", L"Brightness", L"75.9", 75, true},
                    BrightnessCase{"NegativeFractionTowardZero", L"Brightness", L"-2.5", -2, true},
                    BrightnessCase{"NotANumber", L"Brightness", L"bright", std::nullopt, true},
                    BrightnessCase{"OutOfRange", L"Brightness", L"1e20", std::nullopt, true},
                    BrightnessCase{"OtherNameOnly", L"Luminance", L"75", 100, false}),
    [](const testing::TestParamInfo<BrightnessCase>& info) { return std::string(info.param.name); });

// A file that is no profile (cut short, or no ICC profile at all) carries nothing of ours; a
// profile whose metadata cannot be read is a failed read, not a profile without metadata.
TEST_F(ProfileHelperTest, UnreadableMetadataIsAFailedRead)
{
    const QString path = files.filePath("profile.icm");
    WriteProfileWithMetadata(path, L"Brightness", L"75");
    QFile source(DebianSrgb);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    QFile cut(files.filePath("cut.icm"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(source.read(200));
    cut.close();
    ProfileHelper helper;
    EXPECT_FALSE(helper.HasBrightnessMetadata(cut.fileName()));
    EXPECT_EQ(helper.ReadProfileBrightness(cut.fileName()), 100);
    for (const char* call : {"KVIsTagInProfile", "KVProfileFromPathCreate", "KVProfileGetMetaDataValueForName"}) {
        WinSim::SetInjectedFailure(call, KVErrorFileRead);
        EXPECT_THROW(helper.HasBrightnessMetadata(path), ReadProfileBrightnessException) << call;
        EXPECT_THROW(helper.ReadProfileBrightness(path), ReadProfileBrightnessException) << call;
        WinSim::SetInjectedFailure(call, 0);
    }
    EXPECT_EQ(helper.ReadProfileBrightness(path), 75);
}

TEST_F(ProfileHelperTest, HdrInFileNameCountsAsMetadataButNotInFolders)
{
    ProfileHelper helper;
    QDir().mkpath(files.filePath("hdr"));
    ASSERT_TRUE(QFile::copy(DebianSrgb, files.filePath("hdr/plain.icm")));
    ASSERT_TRUE(QFile::copy(DebianSrgb, files.filePath("panel_hdr.icm")));
    ASSERT_TRUE(QFile::copy(DebianSrgb, files.filePath("PANEL_HDR.icm")));
    EXPECT_FALSE(helper.HasBrightnessMetadata(files.filePath("hdr/plain.icm")));
    EXPECT_TRUE(helper.HasBrightnessMetadata(files.filePath("panel_hdr.icm")));
    EXPECT_FALSE(helper.HasBrightnessMetadata(files.filePath("PANEL_HDR.icm")));
}

// Windows' own profile, as every machine has it: activated, then taken from the user's associations again.
TEST_F(ProfileHelperTest, SrgbProfileIsActivatedAndDisassociated)
{
    ProfileHelper helper;
    helper.ActivateSrgbProfile();
    EXPECT_EQ(helper.ReadActiveProfile(false), "sRGB Color Space Profile.icm");
    helper.EnableUserProfileList();
    helper.DisassociateSrgbProfile();
    const QJsonObject associations =
        WinSim::ColorSystemState().value("associations").toObject().value("currentUser").toObject();
    EXPECT_EQ(associations[helper.GetDeviceId()].toArray(), QJsonArray());
}

TEST_F(ProfileHelperTest, CleanUpsRemoveOnlyTheSystemsOwnProfiles)
{
    WriteProfileWithMetadata(colour + "/KV_sRGB.icm", L"Brightness", L"80");
    for (const char* name : {"sRGB Color Space Profile.icm", "KV_Native.icm", "KV_Native_HDR.icm",
                             "KV_NO_MHC2_DCIP3.ICM", "MyNativeSpace.icm", "vendor_hdr.icm", "KV_HDR10_P3.icm",
                             "HDR10Plus.icm", "notes.txt"}) {
        Install(DebianSrgb, QString::fromLatin1(name));
    }
    ProfileHelper helper;
    const QStringList before = Installed();
    // The colour directory is the system's: without elevation nothing goes.
    helper.RemoveInstalledSdrProfiles();
    helper.RemoveInstalledHdr10Profiles();
    EXPECT_EQ(Installed(), before);

    const TestSupport::ScopedEnvironment elevated(WinSim::ElevationVariable, "1");
    helper.RemoveInstalledSdrProfiles();
    EXPECT_EQ(Installed(), (QStringList{"HDR10Plus.icm", "KV_HDR10_P3.icm", "MyNativeSpace.icm", "notes.txt",
                                        "sRGB Color Space Profile.icm", "vendor_hdr.icm"}));
    helper.RemoveInstalledHdr10Profiles();
    EXPECT_EQ(Installed(), (QStringList{"HDR10Plus.icm", "MyNativeSpace.icm", "notes.txt",
                                        "sRGB Color Space Profile.icm", "vendor_hdr.icm"}));
    EXPECT_TRUE(helper.IsProfileInstalled(QStringLiteral("vendor_hdr.icm")));
    EXPECT_FALSE(helper.IsProfileInstalled(QStringLiteral("KV_HDR10_P3.icm")));
}

}  // namespace

// The display default of the standard colour mode (ordinal 234) and the user's SDR default of the
// display are one setting.
TEST_F(ProfileHelperTest, StandardModeDefaultIsTheUsersSdrDefault)
{
    Install(DebianSrgb, QStringLiteral("KV_sRGB.icm"));
    ProfileHelper helper;
    EXPECT_THROW(helper.ReadActiveHdrProfile(false), ReadActiveProfileException);
    helper.ActivateProfile(QStringLiteral("KV_sRGB.icm"), false);
    EXPECT_EQ(helper.ReadActiveHdrProfile(false), QStringLiteral("KV_sRGB.icm"));
    EXPECT_THROW(helper.ReadActiveHdrProfile(true), ReadActiveProfileException);
}
