// The controller's start-up operations on a simulated machine: the machine-wide panel information,
// which installed files belong to the panel, the expected and unwanted names, the set's time window,
// profile descriptions and the two addresses.
#include "Common/Settings/LogConfiguration.h"
#include "WindowsStandIn/ColorSystem.h"
#include "tests/KorvelTintwise/ControllerFixtures.h"
#include "tests/fixtures/TrayMachine.h"

#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace {

using namespace TintwiseTest;
using TestSupport::TrayMachine;

const QString PanelKey = QStringLiteral("HKLM\\SOFTWARE\\Korvel Inc\\Korvel Tintwise\\PanelInfo");
const QString DebianSrgb = QStringLiteral("/usr/share/color/icc/sRGB.icc");

// Writes the panel values as Tessaly stores them: encrypted, except the names in `plain`.
void WritePanelValues(const std::map<QString, QString>& values, const QStringList& plain = {})
{
    for (const auto& [name, value] : values) {
        const QString stored = plain.contains(name) ? value : TrayMachine::Encrypt(value);
        ASSERT_EQ(TestSupport::RunWinsim({"reg", "set", PanelKey, name, stored}).exitCode, 0);
    }
}

const std::map<QString, QString> CompleteValues{{"DefaultProfileColorSpace", "sRGB"},
                                                {"DefaultProfileGamma", "2.2"},
                                                {"HdrSupported", "0"},
                                                {"RequiredProfiles", "\"sRGB\", \"AdobeRGB\""},
                                                {"ProfileFormat", "KVL_4A1C_{ProfileName}.icm"}};

std::map<QString, QString> With(std::map<QString, QString> values, const QString& name, const QString& value)
{
    if (value.isNull()) {
        values.erase(name);
    } else {
        values[name] = value;
    }
    return values;
}

struct PanelCase {
    const char* name;
    std::map<QString, QString> values;
    QStringList plain;
    int state;
    std::optional<QStringList> required;  // none: the default record's
    bool hdr;
    QStringList requiredHdr10;
};

void PrintTo(const PanelCase& panel, std::ostream* stream)
{
    *stream << panel.name;
}

// The required list as the record sorts it.
const QStringList Both{"AdobeRGB", "sRGB"};

const PanelCase PanelCases[] = {
    {"Complete", CompleteValues, {}, 3, Both, false, {}},
    {"NoValues", {}, {}, 0, {}, false, {}},
    // Nothing is read: the record keeps its defaults.
    {"RequiredProfilesMissing", With(CompleteValues, "RequiredProfiles", QString()), {}, 2, std::nullopt, false, {}},
    {"FormatMissing", With(CompleteValues, "ProfileFormat", QString()), {}, 2, Both, false, {}},
    {"HdrSupportedTwo", With(CompleteValues, "HdrSupported", "2"), {}, 2, Both, true, {}},
    {"UnknownColourSpace", With(CompleteValues, "DefaultProfileColorSpace", "Rec2020"), {}, 2, Both,
     false, {}},
    {"EmptyListEntry", With(CompleteValues, "RequiredProfiles", "sRGB,,AdobeRGB"), {}, 2, QStringList{"", "AdobeRGB", "sRGB"},
     false, {}},
    {"NotEncrypted", CompleteValues, {"DefaultProfileGamma"}, 2, Both, false, {}},
    {"Hdr10Listed",
     With(With(CompleteValues, "Hdr10Supported", "1"), "RequiredProfilesHdr10", "Korvel_HDR10"),
     {}, 3, Both, false, {"Korvel_HDR10"}},
    {"Hdr10Unknown",
     With(With(CompleteValues, "Hdr10Supported", "1"), "RequiredProfilesHdr10", "HDR_Vivid"),
     {}, 2, Both, false, {"HDR_Vivid"}},
    {"Hdr10Off", With(With(CompleteValues, "Hdr10Supported", "0"), "RequiredProfilesHdr10", "HDR_Vivid"), {}, 3,
     Both, false, {}},
};

class PanelInfoTest : public ControllerTest, public testing::WithParamInterface<PanelCase> {};

TEST_P(PanelInfoTest, ReadsTheMachineWidePanelValues)
{
    const PanelCase& panel = GetParam();
    WritePanelValues(panel.values, panel.plain);
    const auto controller = MakeController();
    EXPECT_EQ(controller->ReadPanelInfo(), panel.state);
    EXPECT_EQ(controller->GetPanelInfo().IsHdrSupported(), panel.hdr);
    if (panel.state != 0) {
        EXPECT_EQ(controller->GetPanelInfo().GetRequiredProfiles(),
                  panel.required.value_or(Korvel::DisplayCalibration::Common::Profile::PanelInfo().GetRequiredProfiles()));
        EXPECT_EQ(controller->GetPanelInfo().GetRequiredProfilesHdr10(), panel.requiredHdr10);
    }
}

INSTANTIATE_TEST_SUITE_P(Values, PanelInfoTest, testing::ValuesIn(PanelCases),
                         [](const testing::TestParamInfo<PanelCase>& info) { return std::string(info.param.name); });

// A colour directory with these files: generated profiles carrying the brightness metadata the
// system writes, and Debian's sRGB profile under other names (no metadata).
class ColourDirectoryTest : public ControllerTest {
protected:
    void AddSystemProfile(const QString& key, const QString& fileName)
    {
        if (!generated.isValid() || !QFileInfo::exists(generated.filePath("KVL_4A1C_sRGB.icm"))) {
            MakeProfileSet(generated.path(), {"--format", "KVL_4A1C_{ProfileName}.icm", "--profiles",
                                              "sRGB,AdobeRGB,DCIP3,P3,Native", "--brightness", "60"});
        }
        ASSERT_TRUE(QFile::copy(generated.filePath("KVL_4A1C_" + key + ".icm"), ColourPath(fileName)));
    }
    void AddForeignProfile(const QString& fileName) { ASSERT_TRUE(QFile::copy(DebianSrgb, ColourPath(fileName))); }
    QString ColourPath(const QString& fileName) { return WinSim::ColorDirectory() + "/" + fileName; }

    QTemporaryDir generated;
};

TEST_F(ColourDirectoryTest, KeepsThePanelsFilesAndForeignNativeOnes)
{
    WritePanelValues(With(CompleteValues, "RequiredProfiles", "sRGB,Native"));
    AddForeignProfile("KVL_4A1C_Native.icm");
    AddForeignProfile("KVL_4A1C_Native_HDR.icm");
    AddForeignProfile("KVL_4A1C_Korvel_HDR10.icm");
    AddSystemProfile("sRGB", "KVL_4A1C_sRGB.icm");
    AddSystemProfile("DCIP3", "KVL_4A1C_DCIP3.icm");    // the system's, but not expected
    AddSystemProfile("AdobeRGB", "KVL_4A1C_SRGB.icm");  // differs from an expected name in case
    AddForeignProfile("Vendor_Native_Look.icm");
    AddForeignProfile("Vendor_Look.icm");
    AddForeignProfile("Vendor_native.ICM");
    const auto controller = MakeController();
    controller->ReadPanelInfo();
    controller->CreateProfileNames();
    ASSERT_EQ(controller->GetExpectedProfileNames(), QStringList({"KVL_4A1C_sRGB.icm", "KVL_4A1C_Native.icm"}));
    QStringList kept = controller->ObtainProfilesFromColorDirectory();
    kept.sort();
    EXPECT_EQ(kept, QStringList({"KVL_4A1C_Korvel_HDR10.icm", "KVL_4A1C_Native.icm", "KVL_4A1C_Native_HDR.icm",
                                 "KVL_4A1C_sRGB.icm", "Vendor_Native_Look.icm"}));
}

struct NamesCase {
    const char* name;
    QString format;
    QString required;
    bool hdr;
    QStringList expected;
    QString prefix;
};

void PrintTo(const NamesCase& names, std::ostream* stream)
{
    *stream << names.name;
}

const NamesCase NamesCases[] = {
    {"PrefixPlaceholderExtension", "A_B_{ProfileName}.icm", "sRGB,AdobeRGB", true,
     {"A_B_AdobeRGB.icm", "A_B_sRGB.icm", "A_B_Native_HDR.icm"}, "A_B_"},
    {"NoHdr", "A_B_{ProfileName}.icm", "DCIP3", false, {"A_B_DCIP3.icm"}, "A_B_"},
    {"PlaceholderTwice", "{ProfileName}_X_{ProfileName}.ICM", "sRGB", false, {"{ProfileName}_X_sRGB.icm"},
     "{ProfileName}_X_"},
    {"NoPlaceholder", "KVL_Fixed.icm", "sRGB", true, {"KVL_Fixed.icmsRGB.icm", "KVL_Fixed.icmNative_HDR.icm"},
     "KVL_Fixed.icm"},
};

class ProfileNamesTest : public ControllerTest, public testing::WithParamInterface<NamesCase> {};

TEST_P(ProfileNamesTest, FollowTheResolvedFormat)
{
    const NamesCase& names = GetParam();
    WritePanelValues(With(With(CompleteValues, "RequiredProfiles", names.required), "HdrSupported",
                          names.hdr ? "1" : "0"));
    logConfiguration.format = names.format;
    const auto controller = MakeController();
    ASSERT_EQ(controller->ReadPanelInfo(), 3);
    controller->CreateProfileNames();
    EXPECT_EQ(controller->GetExpectedProfileNames(), names.expected);
    EXPECT_EQ(controller->GetProfileFileNamePrefix(), names.prefix);
}

INSTANTIATE_TEST_SUITE_P(Formats, ProfileNamesTest, testing::ValuesIn(NamesCases),
                         [](const testing::TestParamInfo<NamesCase>& info) { return std::string(info.param.name); });

TEST_F(ColourDirectoryTest, UnwantedAreThePanelsFilesNoWantedNameAccountsFor)
{
    WritePanelValues(With(CompleteValues, "RequiredProfiles", "sRGB,Native"));
    AddForeignProfile("KVL_4A1C_Native.icm");
    AddForeignProfile("KVL_4A1C_Native_HDR.icm");
    AddForeignProfile("KVL_4A1C_NativeWide.icm");
    AddForeignProfile("KVL_4A1C_native.icm");
    AddSystemProfile("sRGB", "KVL_4A1C_sRGB.icm");
    const auto controller = MakeController();
    controller->ReadPanelInfo();
    controller->CreateProfileNames();
    // A name that differs from a file's only in case does not account for it; Native_HDR files are
    // never unwanted; a foreign file without "Native" is no file of the panel.
    controller->ExtractUnwantedProfiles({"sRGB", "Native", "nativewide"});
    QStringList unwanted = controller->GetUnwantedProfileNames();
    unwanted.sort();
    EXPECT_EQ(unwanted, QStringList({"KVL_4A1C_NativeWide.icm"}));
    // Each pass appends: emptying the list is the caller's.
    controller->ExtractUnwantedProfiles({"sRGB"});
    unwanted = controller->GetUnwantedProfileNames();
    unwanted.sort();
    EXPECT_EQ(unwanted, QStringList({"KVL_4A1C_Native.icm", "KVL_4A1C_NativeWide.icm", "KVL_4A1C_NativeWide.icm"}));
}

// Machines without panel values get them from the installed files in one elevated write, the
// profiles the configured filter leaves out removed; later checks write nothing more.
TEST_F(ColourDirectoryTest, MissingPanelValuesAreRebuiltOnce)
{
    AddForeignProfile("KVL_4A1C_Native.icm");
    AddForeignProfile("KVL_4A1C_NativeWide.icm");
    AddSystemProfile("sRGB", "KVL_4A1C_sRGB.icm");
    AddSystemProfile("AdobeRGB", "KVL_4A1C_AdobeRGB.icm");
    const QStringList files = QDir(WinSim::ColorDirectory()).entryList(QDir::Files);
    QStringList paths;
    for (const QString& file : files) {
        paths << ColourPath(file);
    }
    QTemporaryDir copies;
    QStringList sources;
    for (const QString& path : paths) {
        sources << copies.filePath(QFileInfo(path).fileName());
        ASSERT_TRUE(QFile::rename(path, sources.last()));
    }
    TrayMachine::Install(sources);
    const auto elevatedRuns = [] { return TestSupport::JournalEvents("run-elevated").size(); };
    const qsizetype before = elevatedRuns();

    // The shipped configuration, whose filter for this model leaves "NativeWide" out.
    QDir::setCurrent(TestSupport::BinaryPath(QString()));
    const std::unique_ptr<Korvel::DisplayCalibration::Common::HardwareInfo::IDisplayHelper> display(
        Korvel::DisplayCalibration::Common::HardwareInfo::DisplayHelperFactory().Create(QStringLiteral("KVL4A1C")));
    const std::unique_ptr<Korvel::DisplayCalibration::Common::Settings::ILogConfiguration> configured =
        std::make_unique<Korvel::DisplayCalibration::Common::Settings::LogConfiguration>(
            &bios, display.get(), TestSupport::BinaryPath(QString()));
    const auto controller = MakeController(configured.get());
    ASSERT_EQ(controller->ReadPanelInfo(), 0);
    EXPECT_TRUE(controller->AreAllProfilesInstalled(false));
    EXPECT_EQ(elevatedRuns(), before + 1);
    EXPECT_EQ(controller->GetPanelInfoState(), 3);
    EXPECT_EQ(controller->GetPanelInfo().GetDefaultProfileColorSpace(), QStringLiteral("AdobeRGB"));
    EXPECT_FALSE(QFileInfo::exists(ColourPath("KVL_4A1C_NativeWide.icm")));
    EXPECT_TRUE(controller->GetUnwantedProfileNames().isEmpty());

    EXPECT_TRUE(controller->AreAllProfilesInstalled(false));
    EXPECT_EQ(elevatedRuns(), before + 1);
}

struct WindowCase {
    const char* name;
    QDateTime first;
    QDateTime second;
    bool agree;
};

void PrintTo(const WindowCase& window, std::ostream* stream)
{
    *stream << window.name;
}

const QDate Day(2026, 3, 14);
const WindowCase WindowCases[] = {
    {"SameTime", QDateTime(Day, QTime(10, 0, 0)), QDateTime(Day, QTime(10, 0, 0)), true},
    {"SixtySecondsApart", QDateTime(Day, QTime(10, 0, 0)), QDateTime(Day, QTime(10, 1, 0)), true},
    {"SixtyOneSecondsApart", QDateTime(Day, QTime(10, 0, 0)), QDateTime(Day, QTime(10, 1, 1)), false},
    {"NewerFirst", QDateTime(Day, QTime(10, 1, 1)), QDateTime(Day, QTime(10, 0, 0)), false},
    {"AcrossMidnight", QDateTime(Day, QTime(23, 59, 50)), QDateTime(Day.addDays(1), QTime(0, 0, 20)), false},
};

class SetTimeWindowTest : public ControllerTest, public testing::WithParamInterface<WindowCase> {};

TEST_P(SetTimeWindowTest, ProfilesOfOneSetWereWrittenWithinAMinuteOfOneDay)
{
    const WindowCase& window = GetParam();
    const auto controller = MakeController();
    const QString directory = WinSim::ColorDirectory();
    int index = 0;
    for (const QDateTime& time : {window.first, window.second}) {
        QFile file(directory + QStringLiteral("/P%1.icm").arg(index++));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
    }
    EXPECT_EQ(controller->VerifyInstalledProfiles({"P0.icm", "P1.icm"}), window.agree);
    EXPECT_TRUE(controller->VerifyInstalledProfiles({"P0.icm"}));
    EXPECT_FALSE(controller->VerifyInstalledProfiles({"P0.icm", "Missing.icm", "P1.icm"}));
}

INSTANTIATE_TEST_SUITE_P(Times, SetTimeWindowTest, testing::ValuesIn(WindowCases),
                         [](const testing::TestParamInfo<WindowCase>& info) { return std::string(info.param.name); });

// Descriptions as third-party readers give them: argyll's iccdump for the version 2 profiles of
// icc-profiles-free, the en-US record of colord-data's version 4 profiles (their 'desc' tags list
// many languages).
TEST_F(ControllerTest, ReadsTheDescriptionsOfDebiansProfiles)
{
    const auto controller = MakeController();
    const std::pair<const char*, const char*> profiles[] = {
        {"/usr/share/color/icc/sRGB.icc", "sRGB"},
        {"/usr/share/color/icc/compatibleWithAdobeRGB1998.icc", "Compatible with Adobe RGB (1998)"},
        {"/usr/share/color/icc/Gray.icc", "Gray"},
        {"/usr/share/color/icc/colord/AdobeRGB1998.icc", "Compatible with Adobe RGB (1998)"},
        {"/usr/share/color/icc/colord/Crayons.icc", "Crayon Colors"},
        {"/usr/share/color/icc/colord/ProPhotoRGB.icc", "ProPhoto RGB"},
    };
    for (const auto& [path, description] : profiles) {
        EXPECT_EQ(controller->GetProfileDescription(QString::fromLatin1(path)), QString::fromUtf8(description)) << path;
    }
    TestSupport::LogCapture errors("MainWindow");
    EXPECT_TRUE(controller->GetProfileDescription(QStringLiteral("/usr/share/color/icc/FOGRA39L.ti3")).isEmpty());
    EXPECT_TRUE(controller->GetProfileDescription("/" + QString(300, 'a') + ".icm").isEmpty());
    EXPECT_EQ(errors.Lines().size(), 2u);
}

TEST_F(ControllerTest, ArchiveAddressIsPlainAndItsLogLineDecryptsWithThePrivateKey)
{
    WinSim::SetDescriptionValue(QStringLiteral("network.profileServer"), QStringLiteral("127.0.0.1:4443"));
    TestSupport::LogCapture log("MainWindow");
    const auto controller = MakeController();
    const QString expected =
        QStringLiteral("https://127.0.0.1:4443/v3/ColorCalibration/GetFileBySn?sn=1S21KV0012USPF4KVQ7T");
    EXPECT_EQ(controller->GetArchiveUrl(), expected);
    QString logged;
    for (const auto& line : log.Lines()) {
        if (line.message.rfind("Archive URL: ", 0) == 0) {
            logged = QString::fromStdString(line.message.substr(13));
        }
    }
    ASSERT_FALSE(logged.isEmpty());
    EXPECT_FALSE(logged.contains("PF4KVQ7T"));
    // One RSA-2048 block per piece of the text.
    const QByteArray encrypted = QByteArray::fromBase64(logged.toLatin1());
    ASSERT_EQ(encrypted.size() % 256, 0);
    TestSupport::OpenSsl openssl;
    QByteArray plain;
    for (qsizetype block = 0; block < encrypted.size(); block += 256) {
        plain += openssl({"pkeyutl", "-decrypt", "-inkey", TestSupport::TestPrivateKeyPath(), "-pkeyopt",
                          "rsa_padding_mode:pkcs1"},
                         encrypted.mid(block, 256));
    }
    EXPECT_EQ(QString::fromUtf8(plain), expected);
    // Two calls: one address, two different log texts.
    EXPECT_EQ(controller->CreateArchiveUrl(), expected);
}

TEST_F(ControllerTest, UpdateFeedFollowsTheBuildsArchitectureAndLogsOnlyItsFileName)
{
    TestSupport::LogCapture log("MainWindow");
    EXPECT_EQ(MainWindow::CreateDownloadUrl(),
              QStringLiteral("https://download.korvel.example/downloads/autoupdate/KorvelTintwise/Vantrel/"
                             "KorvelTintwise_win64_appcast.xml"));
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0].message, "Download URL: KorvelTintwise_win64_appcast.xml");
}

TEST_F(ControllerTest, NoBoxShowsOnceTheEventLoopIsAskedToEnd)
{
    MainWindow::ExitEventLoop(1);
    EXPECT_TRUE(MainWindow::IsExitPending());
    EXPECT_EQ(MainWindow::ShowMessageBox(QStringLiteral("Continue?"), QMessageBox::Question,
                                         QMessageBox::Yes | QMessageBox::No, QString()),
              int(QMessageBox::NoButton));
}

}  // namespace
