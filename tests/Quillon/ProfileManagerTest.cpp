// ProfileManager on a temporary machine with its real services and Tessaly: the download's checks,
// the installation branches, and one failure text per way a run can fail.
#include "Common/Application/Constants.h"
#include "Common/Application/Paths.h"
#include "Common/Windows/RegistryParser.h"
#include "Quillon/ProfileManager.h"
#include "WindowsStandIn/CertificateStore.h"
#include "WindowsStandIn/ColorSystem.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Registry.h"
#include "WindowsStandIn/StateFile.h"
#include "tests/Quillon/QuillonFixtures.h"
#include "tests/fixtures/ProfileServer.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>

#include <gtest/gtest.h>

#include <functional>

namespace Common = Korvel::DisplayCalibration::Common;
using QuillonTest::Archives;
using QuillonTest::InstalledProfiles;
using QuillonTest::JournalEvents;

namespace {

const QString Restore = QStringLiteral(
    "Failed to restore the ICC profiles customized for your display. Quillon cannot work properly without the ICC "
    "profile customized for your display.");
const QString NotRestored = QStringLiteral("Failed to restore the ICC profiles customized for your display.<br>Reason: ");
const QString Missing = Restore + "<br>Profiles are missing from the downloaded archive.<br>Downloaded archive is "
                                  "missing the following profiles: ";
const QString NotExtracted = Restore + "<br>Failed to extract the profiles.<br>Reason: ";
// What a six-kind archive with panel information and HDR installs: its files and the HDR copy of "Native".
const QStringList PanelFiles = {"KVL_4A1C_AdobeRGB.icm", "KVL_4A1C_DCIP3.icm",      "KVL_4A1C_Default.icm",
                                "KVL_4A1C_Native.icm",   "KVL_4A1C_Native_HDR.icm", "KVL_4A1C_REC709.icm",
                                "KVL_4A1C_sRGB.icm"};

QString DefaultProfile(const QString& subtype = QStringLiteral("RGB_WORKING_SPACE"))
{
    const QJsonObject defaults = WinSim::ColorSystemState().value("defaults").toObject().value("currentUser").toObject();
    return defaults.begin() == defaults.end() ? QString() : defaults.begin()->toObject().value(subtype).toString();
}

QString AdvancedColorDefault()
{
    return WinSim::ColorSystemState()
        .value("displayAssociations").toObject().value("currentUser").toObject().value("0:58123:0").toObject()
        .value("defaults").toObject().value("EXTENDED_DISPLAY_COLOR_MODE").toString();
}

class ProfileManagerTest : public testing::Test {
protected:
    void SetUp() override
    {
        services = std::make_unique<QuillonTest::Services>();
        manager = QuillonTest::MakeProfileManager(*services);
        QObject::connect(manager.get(), &ProfileManager::ProfilesInstalledSuccessfully, [this] { ++succeeded; });
        QObject::connect(manager.get(), &ProfileManager::ProfilesInstallationFailed,
                         [this](const QString& reason) { failures << reason; });
    }

    static void UsePerUserList()
    {
        const TestSupport::ProcessResult result = TestSupport::RunWinsim({"colour", "per-user", "on"});
        ASSERT_EQ(result.exitCode, 0) << result.err;
    }

    static bool PerUserListOn()
    {
        const QJsonObject switches = WinSim::ColorSystemState().value("usePerUserProfiles").toObject();
        return !switches.isEmpty() && switches.begin()->toBool();
    }

    TestSupport::TemporaryMachine machine;
    Archives archives;
    std::unique_ptr<QuillonTest::Services> services;
    std::unique_ptr<ProfileManager> manager;
    int succeeded = 0;
    QStringList failures;
};

TEST_F(ProfileManagerTest, UnknownSerialEndsWithTheDownloadsReason)
{
    TestSupport::ProfileServer server;
    ASSERT_TRUE(server.Started());
    server.ConfigureMachine();
    WinSim::ApplyTrustedRootCertificates();
    manager->SetDownloadUrl(manager->BuildDownloadUrl("8S0123456789AAAABBBB123"));
    manager->StartDownload();
    TestSupport::RunEventsUntil([this] { return succeeded + failures.size() > 0; }, 300);
    EXPECT_EQ(succeeded, 0);
    EXPECT_EQ(failures, QStringList{"Failed to download the ICC profiles customized for your display.<br>Failed to "
                                    "obtain profile archive URL."});
    ASSERT_EQ(server.Requests().size(), 1);
    EXPECT_EQ(server.Requests()[0]["path"].toString(), "/v3/ColorCalibration/GetFileBySn?sn=8S0123456789AAAABBBB123");
}

// Without "PanelInfo.xml": the six kinds are required, "Native_HDR" is made and activated, and the
// machine's panel values go in the same elevated run.
TEST_F(ProfileManagerTest, ArchiveWithoutPanelInfoRemovesThePanelValues)
{
    const QString key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel Inc\\Korvel Tintwise\\PanelInfo";
    for (const char* name : {"HdrSupported", "DefaultProfileColorSpace", "DefaultProfileGamma", "RequiredProfiles"}) {
        ASSERT_EQ(WinSim::Registry::SetValue(key, name, WinSim::Registry::Value{REG_SZ, QStringLiteral("c3RhbGU=")},
                                             WinSim::Registry::Access::Unchecked),
                  ERROR_SUCCESS);
    }
    ASSERT_EQ(Common::Windows::RegistryParser().CheckValues("PanelInfo", {"HdrSupported"}), 3);
    const QByteArray archive = archives.Make({"--profiles", QuillonTest::SixKinds, "--no-panel-info"});
    UsePerUserList();
    manager->OnArchiveDownloadFinished(archive);

    EXPECT_EQ(failures, QStringList());
    EXPECT_EQ(succeeded, 1);
    EXPECT_EQ(InstalledProfiles(), PanelFiles);
    EXPECT_EQ(Common::Windows::RegistryParser().CheckValues(
                  "PanelInfo", {"HdrSupported", "DefaultProfileColorSpace", "DefaultProfileGamma", "RequiredProfiles"}),
              0);
    const QStringList runs = JournalEvents({"run-elevated"});
    ASSERT_EQ(runs.size(), 1);
    EXPECT_TRUE(runs[0].contains("--remove-registry-key \"PanelInfo\"")) << runs[0];
    const QStringList defaults = JournalEvents({"colour-default"});
    ASSERT_FALSE(defaults.isEmpty());
    EXPECT_EQ(defaults.last(), "colour-default currentUser RGB_WORKING_SPACE KVL_4A1C_Default.icm");
    EXPECT_EQ(DefaultProfile(), "KVL_4A1C_Default.icm");
    EXPECT_EQ(AdvancedColorDefault(), "KVL_4A1C_Native_HDR.icm");
    EXPECT_EQ(JournalEvents({"message-box"}), QStringList()) << "the per-user list was on";
}

// With "PanelInfo.xml" and no HDR: every ".icm" is installed, the listed ones are activated in their
// order, "Default" last, and the panel values are written encrypted.
TEST_F(ProfileManagerTest, PanelInfoWithoutHdrWritesThePanelValues)
{
    const QString extra =
        archives.Write("KVL_4A1C_Extra.icm", TestSupport::ReadFile("/usr/share/color/icc/colord/AdobeRGB1998.icc"));
    const QByteArray archive = archives.Make({"--profiles", "sRGB,Default", "--add", extra});
    UsePerUserList();
    manager->OnArchiveDownloadFinished(archive);

    EXPECT_EQ(failures, QStringList());
    EXPECT_EQ(succeeded, 1);
    EXPECT_EQ(InstalledProfiles(), (QStringList{"KVL_4A1C_Default.icm", "KVL_4A1C_Extra.icm", "KVL_4A1C_sRGB.icm"}));
    EXPECT_FALSE(QFileInfo::exists(QDir(Common::ApplicationDataDirectory()).filePath("ReplacementProfiles/KVL_4A1C_Native_HDR.icm")));
    EXPECT_EQ(AdvancedColorDefault(), QString());
    EXPECT_EQ(JournalEvents({"colour-default"}),
              (QStringList{"colour-default currentUser RGB_WORKING_SPACE sRGB Color Space Profile.icm",
                           "colour-default currentUser RGB_WORKING_SPACE KVL_4A1C_sRGB.icm",
                           "colour-default currentUser RGB_WORKING_SPACE KVL_4A1C_Default.icm",
                           "colour-default currentUser RGB_WORKING_SPACE KVL_4A1C_Default.icm"}));
    const QJsonObject associations = WinSim::ColorSystemState().value("associations").toObject();
    EXPECT_FALSE(associations.value("currentUser").toObject().begin()->toArray().contains("sRGB Color Space Profile.icm"));

    EXPECT_EQ(QuillonTest::PanelValues(), (QMap<QString, QString>{{"HdrSupported", "0"},
                                                                  {"DefaultProfileColorSpace", "sRGB"},
                                                                  {"DefaultProfileGamma", "2.2"},
                                                                  {"RequiredProfiles", "\"sRGB, Default\""},
                                                                  {"ProfileFormat", "KVL_4A1C_"}}));
}

// A symbolic link at the working folder is removed as a link: the set is installed from the machine's
// own folder and the link's target stays as it was.
TEST_F(ProfileManagerTest, LinkAtTheWorkingFolderIsNotFollowed)
{
    const TestSupport::OutsideFolder outside;
    const auto before = outside.Contents();
    const QString working = QDir(Common::ApplicationDataDirectory()).filePath("ReplacementProfiles");
    TestSupport::PlantLink(outside.Path(), working);
    const QByteArray archive = archives.Make({"--profiles", "sRGB,Default"});
    UsePerUserList();
    manager->OnArchiveDownloadFinished(archive);

    EXPECT_EQ(failures, QStringList());
    EXPECT_EQ(succeeded, 1);
    EXPECT_EQ(InstalledProfiles(), (QStringList{"KVL_4A1C_Default.icm", "KVL_4A1C_sRGB.icm"}));
    EXPECT_EQ(outside.Contents(), before);
    EXPECT_FALSE(QFileInfo(working).isSymLink());
}

struct FailureCase {
    const char* name;
    std::function<QByteArray(Archives&)> download;
    std::function<void(Archives&)> prepare;
    QString answer;       // queued for the box that shows; empty: none may show
    QString text;         // the failure; "text...": it begins so
    bool installed;       // the archive's profiles are installed (else the colour directory stays as it was)
    bool saved = true;    // the working folder keeps the download
};

void PrintTo(const FailureCase& c, std::ostream* stream)
{
    *stream << c.name;
}

class ProfileManagerFailure : public ProfileManagerTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(ProfileManagerFailure, EndsWithItsOneText)
{
    const FailureCase& c = GetParam();
    const QByteArray download = c.download(archives);
    ASSERT_FALSE(download.isEmpty());
    if (c.prepare) {
        c.prepare(archives);
    }
    if (!c.answer.isEmpty()) {
        QuillonTest::QueueAnswer(c.answer);
    }
    QMap<QString, QByteArray> before;
    for (const QString& name : InstalledProfiles()) {
        before.insert(name, TestSupport::ReadFile(WinSim::ColorDirectory() + "/" + name));
    }
    manager->OnArchiveDownloadFinished(download);

    EXPECT_EQ(succeeded, 0);
    ASSERT_EQ(failures.size(), 1);
    if (c.text.endsWith("...")) {
        EXPECT_TRUE(failures[0].startsWith(c.text.chopped(3))) << failures[0];
    } else {
        EXPECT_EQ(failures[0], c.text);
    }
    EXPECT_EQ(JournalEvents({"message-box"}).size(), c.answer.isEmpty() ? 0 : 1);
    if (c.installed) {
        EXPECT_EQ(InstalledProfiles(), PanelFiles);
    } else {
        EXPECT_EQ(InstalledProfiles(), before.keys());
        for (auto file = before.cbegin(); file != before.cend(); ++file) {
            EXPECT_EQ(TestSupport::ReadFile(WinSim::ColorDirectory() + "/" + file.key()), file.value()) << file.key();
        }
    }
    EXPECT_EQ(JournalEvents({"run-elevated"}).size(), c.installed ? 1 : 0);
    EXPECT_FALSE(PerUserListOn());
    if (c.saved) {
        EXPECT_EQ(TestSupport::ReadFile(manager->GetArchivePath()), download);
    } else {
        EXPECT_FALSE(QFileInfo::exists(manager->GetArchivePath()));
    }
}

QByteArray PanelArchive(Archives& archives)
{
    return archives.Make({"--profiles", QuillonTest::SixKinds, "--hdr"});
}

// A panel information of its own beside the given profiles.
QByteArray WithPanelInfo(Archives& archives, const QString& profiles, const QString& colorSpace, bool hdr,
                         const QString& listed, const QStringList& more = {})
{
    const QString info = archives.PanelInfo(colorSpace, "2.2", hdr, listed);
    return archives.Make(QStringList{"--profiles", profiles, "--no-panel-info", "--add", info} + more);
}

// The archive signed with a key of its own (openssl genrsa).
QByteArray SignedWithAnotherKey(Archives& archives)
{
    const QByteArray signedArchive = PanelArchive(archives);
    const QString key = archives.Path("other.pem");
    const TestSupport::ProcessResult made = TestSupport::Run("openssl", {"genrsa", "-out", key, "2048"});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    const QString resigned = archives.Write("resigned.zip", signedArchive.chopped(512));
    const TestSupport::ProcessResult signedAgain =
        TestSupport::Run(TestSupport::BinaryPath("signarchive"), {"--key", key, resigned});
    EXPECT_EQ(signedAgain.exitCode, 0) << signedAgain.err;
    return TestSupport::ReadFile(resigned);
}

QByteArray SignedSingleByte(Archives& archives)
{
    const QString path = archives.Write("one.bin", "P");
    const TestSupport::ProcessResult signedByte = TestSupport::Run(TestSupport::BinaryPath("signarchive"), {path});
    EXPECT_EQ(signedByte.exitCode, 0) << signedByte.err;
    return TestSupport::ReadFile(path);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileManagerFailure,
    testing::Values(
        FailureCase{"ExactlyTheSignatureSize", [](Archives&) { return QByteArray(512, 'Z'); }, {}, {},
                    NotRestored + "Profile archive does not have valid digital signature", false, false},
        FailureCase{"FlippedByte",
                    [](Archives& archives) {
                        QByteArray archive = PanelArchive(archives);
                        archive[100] = char(archive[100] ^ 0x01);
                        return archive;
                    },
                    {}, {}, NotRestored + "Profile archive does not have valid digital signature", false, false},
        // The decrypter's own text stays out of the box.
        FailureCase{"AnotherKey", SignedWithAnotherKey, {}, {},
                    NotRestored + "Profile archive does not have valid digital signature", false, false},
        // The signature holds: the 513 bytes are kept, and are no archive.
        FailureCase{"ValidSignatureOverOneByte", SignedSingleByte, {}, {}, NotExtracted + "...", false},
        FailureCase{"NoDefaultAndNative",
                    [](Archives& archives) {
                        return archives.Make({"--profiles", "sRGB,AdobeRGB,REC709,DCIP3", "--no-panel-info"});
                    },
                    {}, {}, Missing + "Default, Native.", false},
        // "KVL_4A1C_Default_old.icm" holds "Default", but "KVL_4A1C_Default.icm" is what gets activated.
        FailureCase{"ListedNameOnlyWithinAnotherName",
                    [](Archives& archives) {
                        const QString other = archives.Write("KVL_4A1C_Default_old.icm",
                                                             TestSupport::ReadFile("/usr/share/color/icc/sRGB.icc"));
                        return WithPanelInfo(archives, "sRGB", "sRGB", false, "sRGB,Default", {"--add", other});
                    },
                    {}, {}, Missing + "Default.", false},
        // With HDR, "Native" is copied to "Native_HDR" and activated last but one.
        FailureCase{"HdrWithoutNative",
                    [](Archives& archives) { return WithPanelInfo(archives, "sRGB,Default", "sRGB", true, "sRGB,Default"); },
                    {}, {}, Missing + "Native.", false},
        FailureCase{"ColourSpaceXyz",
                    [](Archives& archives) { return WithPanelInfo(archives, "sRGB,Default", "XYZ", false, "sRGB,Default"); },
                    {}, {}, NotExtracted + "Downloaded archive contains invalid Panel Info data!", false},
        FailureCase{"FileWhereTheWorkingFolderGoes", PanelArchive,
                    [](Archives&) {
                        TestSupport::WriteFile(Common::ApplicationDataDirectory() + "/ReplacementProfiles", "in the way");
                    },
                    {}, Restore + "<br>Failed to save the profile archive.<br>Reason :Failed to create directory", false, false},
        // A refused prompt leaves the profiles installed before as they were.
        FailureCase{"ElevationRefused", PanelArchive,
                    [](Archives&) {
                        TestSupport::WriteFile(WinSim::ColorDirectory() + "/KVL_4A1C_Native.icm",
                                               TestSupport::ReadFile("/usr/share/color/icc/sRGB.icc"));
                        WinSim::SetDescriptionValue("elevation.prompt", QStringLiteral("refuse"));
                    },
                    {}, NotRestored + "Administrator privileges not granted by user....", false},
        FailureCase{"PerUserSwitchFails", PanelArchive,
                    [](Archives&) { WinSim::SetInjectedFailure("WcsSetUsePerUserProfiles", ERROR_ACCESS_DENIED); },
                    "OK", "Failed to enable \"Use my settings for this device\" option.<br> Reason: Access is denied....",
                    true},
        // Only "OK" switches the list on; the run then ends with the reason instead of without a word.
        FailureCase{"QuestionClosed", PanelArchive, {}, "--close",
                    "The ICC profiles cannot be applied if \"Use my settings for this device\" option is disabled.",
                    true}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

}  // namespace
