#include "Common/Application/Paths.h"
#include "Common/Logging/Loggable.h"
#include "Common/Profile/ProfileHelper.h"
#include "Common/Spectrine/Resource.h"
#include "Gui/TrayMenu.h"
#include "ProfileData/ImageTransformer.h"
#include "ProfileData/ProfileDataObtainer.h"
#include "ProfileData/ProfileTable.h"
#include "WindowsStandIn/ColorSystem.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/StateFile.h"
#include "tests/KorvelTintwise/TintwiseFixtures.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

using namespace TintwiseTest;
using TestSupport::ReadFile;
using Korvel::DisplayCalibration::Common::Logging::TraceLevel;
using Korvel::DisplayCalibration::Common::Logging::WarnLevel;
using Korvel::DisplayCalibration::Common::Profile::PanelInfo;
using Korvel::DisplayCalibration::Common::Profile::ProfileHelper;
using Korvel::DisplayCalibration::Common::Settings::ProfilesFilter;
using Korvel::DisplayCalibration::Common::Spectrine::UniString;
using Chromaticity = ProfileData::Chromaticity;

const QString Format = QStringLiteral("KVL_4A1C_{ProfileName}.icm");
const QString DebianSrgb = QStringLiteral("/usr/share/color/icc/sRGB.icc");
const QString ColordSrgb = QStringLiteral("/usr/share/color/icc/colord/sRGB.icc");

UniString Path(const QString& path)
{
    return UniString(KVUniStringCreateFromUtf8(path.toUtf8().constData()));
}

// A simulated machine with the profile helper, a tray menu with a recording notifier, and an obtainer.
class ObtainerMachine : public testing::Test {
public:
    TestSupport::TemporaryMachine machine;
    RecordingNotifierFactory notifiers;
    FakeBiosTools bios;
    FakeLogConfiguration configuration;
    std::unique_ptr<ProfileHelper> helper;
    std::unique_ptr<TrayMenu> trayMenu;
    QString colorDirectory;

    void SetUp() override
    {
        Application();
        WinSim::SetDescriptionValue(QStringLiteral("time.waitScale"), 0);
        helper = std::make_unique<ProfileHelper>();
        trayMenu = std::make_unique<TrayMenu>(&notifiers, nullptr);
        colorDirectory = helper->ColorDirectory();
    }

    std::unique_ptr<ProfileDataObtainer> Obtainer(const PanelInfo& panel = PanelInfo())
    {
        auto obtainer = std::make_unique<ProfileDataObtainer>(&configuration, &bios, trayMenu.get(), helper.get(),
                                                              panel, Format);
        obtainer->SetLogLevel(TraceLevel);
        return obtainer;
    }

    // A profile made by makeicc in the colour directory.
    QString Make(const QString& name, const QStringList& options)
    {
        const QString path = colorDirectory + "/" + name;
        const TestSupport::ProcessResult result =
            TestSupport::Run(TestSupport::BinaryPath("makeicc"),
                             QStringList{path, "--primaries", "0.68,0.32,0.265,0.69,0.15,0.06"} + options);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return path;
    }
};

std::vector<std::string> Messages(const TestSupport::LogCapture& log, int level)
{
    std::vector<std::string> messages;
    for (const auto& line : log.Lines()) {
        if (line.level == level) {
            messages.push_back(line.message);
        }
    }
    return messages;
}

TEST_F(ObtainerMachine, ReadersOfProfilesWithoutMeasurements)
{
    const auto obtainer = Obtainer();
    for (const QString& profile : {DebianSrgb, ColordSrgb, QString("/usr/share/color/icc/colord/AdobeRGB1998.icc")}) {
        SCOPED_TRACE(profile.toStdString());
        const UniString path = Path(profile);
        const TestSupport::LogCapture log("ProfileDataObtainer");
        EXPECT_EQ(obtainer->FetchGamma(path.Get()), 0.0);
        EXPECT_EQ(obtainer->FetchWhitePoint(path.Get()), Chromaticity(0, 0));
        EXPECT_EQ(obtainer->FetchRgbPrimaries(path.Get()), (QList<Chromaticity>{{0, 0}, {0, 0}, {0, 0}}));
        EXPECT_EQ(obtainer->FetchProfileType(profile), -1);
        EXPECT_EQ(obtainer->FetchLuminance(path.Get()), 0.0) << "no 'lumi': no luminance";
        EXPECT_EQ(Messages(log, TraceLevel),
                  (std::vector<std::string>{"Fetching gamma from color profile...",
                                            "Fetching white point from color profile...",
                                            "Fetching RGB primaries from color profile...", "FetchProfileType start...",
                                            "Fetching luminance from color profile..."}));
        EXPECT_EQ(Messages(log, WarnLevel),
                  (std::vector<std::string>{
                      "Failure to allocate CxF data buffer. Setting following gamma value: 0.",
                      "Failure to allocate CxF data buffer. Setting following white point value: (0, 0).",
                      "Failure to allocate CxF data buffer.", "Failure to allocate CxF data buffer.",
                      "Failure to get hit target luminosity. Error code: 5"}));
    }
    EXPECT_EQ(ProfileDataObtainer::GammaToString(obtainer->FetchGamma(Path(DebianSrgb).Get())), "N/A");

    // A path that does not fit the engine's 255 characters is refused, not cut.
    const QString deep = colorDirectory + "/" + QString(260, 'a') + ".icm";
    QFile::copy(Make("long.icm", {"--measurements"}), deep);
    EXPECT_EQ(obtainer->FetchProfileType(colorDirectory + "/long.icm"), 1);
    EXPECT_EQ(obtainer->FetchProfileType(deep), -1);
}

TEST_F(ObtainerMachine, ReadersOfGeneratedProfiles)
{
    const auto obtainer = Obtainer();
    const struct {
        const char* name;
        QStringList options;
        QString gammaText;
        Chromaticity white;
        double luminance;
        int type;
    } cases[] = {
        {"power law", {"--gamma", "2.2", "--luminance", "250.456"}, "2.2", {0.3127, 0.3290}, 250.456, 1},
        {"power law 2.6, DCI white", {"--gamma", "2.6", "--white", "0.314,0.351", "--luminance", "48"}, "2.6",
         {0.314, 0.351}, 48, 1},
        {"custom curve", {"--gamma", "srgb", "--measured-gamma", "custom:2.4,0.9479,0.0521,0.0774,0.04045"}, "2.4",
         {0.3127, 0.3290}, 0, 1},
        {"sRGB curve, MHC2", {"--gamma", "srgb", "--mhc2", "--luminance", "300"}, "sRGB", {0.3127, 0.3290}, 300, 4},
        {"BT.1886", {"--gamma", "rec709", "--profile-type", "0"}, "BT1886", {0.3127, 0.3290}, 0, 0},
        {"DICOM", {"--measured-gamma", "dicom", "--profile-type", "3"}, "Native", {0.3127, 0.3290}, 0, 3},
        {"no curve recorded", {"--measured-gamma", "none"}, "Native", {0.3127, 0.3290}, 0, 1},
        {"D50 illuminant", {"--measured-white", "d50", "--luminance", "120"}, "2.2", {0.3457, 0.3585}, 120, 1},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = Make(QStringLiteral("generated%1.icm").arg(n++), c.options + QStringList{"--measurements"});
        const UniString path = Path(file);
        EXPECT_EQ(ProfileDataObtainer::GammaToString(obtainer->FetchGamma(path.Get())), c.gammaText);
        const Chromaticity white = obtainer->FetchWhitePoint(path.Get());
        EXPECT_NEAR(white.first, c.white.first, 1e-12);
        EXPECT_NEAR(white.second, c.white.second, 1e-12);
        EXPECT_NEAR(obtainer->FetchLuminance(path.Get()), c.luminance, 1e-3);
        EXPECT_EQ(obtainer->FetchProfileType(file), c.type);
        const QList<Chromaticity> primaries = obtainer->FetchRgbPrimaries(path.Get());
        const QList<Chromaticity> expected = {{0.68, 0.32}, {0.265, 0.69}, {0.15, 0.06}};
        ASSERT_EQ(primaries.size(), 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(primaries[i].first, expected[i].first, 1e-12);
            EXPECT_NEAR(primaries[i].second, expected[i].second, 1e-12);
        }
    }

    const struct {
        double gamma;
        const char* text;
    } texts[] = {{1.0, "Native"}, {0.0, "N/A"}, {-1.0, "sRGB"}, {-2.0, "BT1886"}, {2.2, "2.2"}, {2.24, "2.2"},
                 {-3.0, "-3.0"}, {1.8, "1.8"}};
    for (const auto& t : texts) {
        EXPECT_EQ(ProfileDataObtainer::GammaToString(t.gamma), t.text) << t.gamma;
    }
    EXPECT_STREQ(ProfileDataObtainer::ProfileTypeToString(4), "PROFILE_TYPE_MATRIX_TRC_MHC2");
    EXPECT_STREQ(ProfileDataObtainer::ProfileTypeToString(0), "PROFILE_TYPE_TABLE");
    EXPECT_STREQ(ProfileDataObtainer::ProfileTypeToString(-1), "PROFILE_TYPE_UNNKOWN");
    EXPECT_STREQ(ProfileDataObtainer::ProfileTypeToString(5), "PROFILE_TYPE_UNNKOWN");
}

TEST_F(ObtainerMachine, EveryEngineFailureIsLogged)
{
    const auto obtainer = Obtainer();
    const QString file = Make("generated.icm", {"--gamma", "2.2", "--luminance", "300", "--measurements"});
    const UniString path = Path(file);
    enum Reader { Gamma, White, Primaries, Type, Luminance };
    const struct {
        const char* function;
        Reader reader;
        std::vector<std::string> warnings;
    } cases[] = {
        {"KVProfileGetCxfDataBuffer", Gamma, {"Failure to allocate CxF data buffer. Setting following gamma value: 0."}},
        {"KVCxf3OpenStream", Gamma, {"Failure to open CxF open stream."}},
        {"KVCxf3ProcessFileParamsCreate", White, {"Failure to process CxF parameters."}},
        {"KVDataUnmarshalFromCxf3",
         Type,
         {"Failure to unmarshal from CxF:", "  Error:  KVDataUnmarshalFromCxf3 failed", "  Status: 4"}},
        {"KVProfileDisplayParamsGetGammaType", Gamma, {"Failure to obtain gamma type from profile. Error code: 4"}},
        {"KVProfileDisplayParamsGetGamma", Gamma, {"Failure to obtain gamma from profile. Error code: 4, errorMsg: "}},
        {"KVProfileDisplayParamsGetWhitePointType", White, {"Failed to obtain white point type. Error code: 4"}},
        {"KVProfileDisplayParamsGetWhiteYxy", White, {"Failure to obtain white point Yxy. Error code: 4"}},
        {"KVProfileDisplayParamsGetProfileType", Type, {"Failed to obtain profile type. Error code: 4"}},
        {"KVColorGetCoordinates",
         Primaries,
         {"Failed to get target color i: 0. Status: 4 Number of coordinates: 0", "Failed to find RGB primaries!"}},
        {"KVConvertColor", Primaries, {"Failed to convert measurement color. Status: 4", "Failed to find RGB primaries!"}},
        {"KVProfileGetWhiteXYZ", Luminance, {"Failure to get hit target luminosity. Error code: 4"}},
        {"KVCxf3CloseStream", Gamma, {"Failure to close profile stream handle."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.function);
        WinSim::SetInjectedFailure(QString::fromLatin1(c.function), 4);
        const TestSupport::LogCapture log("ProfileDataObtainer");
        switch (c.reader) {
        case Gamma:
            // A failed close leaves the value read.
            EXPECT_EQ(obtainer->FetchGamma(path.Get()), c.function == std::string("KVCxf3CloseStream") ? 2.2 : 0.0);
            break;
        case White:
            EXPECT_EQ(obtainer->FetchWhitePoint(path.Get()), Chromaticity(0, 0));
            break;
        case Primaries:
            EXPECT_EQ(obtainer->FetchRgbPrimaries(path.Get()), (QList<Chromaticity>{{0, 0}, {0, 0}, {0, 0}}));
            break;
        case Type:
            EXPECT_EQ(obtainer->FetchProfileType(file), -1);
            break;
        case Luminance:
            EXPECT_EQ(obtainer->FetchLuminance(path.Get()), 0.0);
            break;
        }
        EXPECT_EQ(Messages(log, WarnLevel), c.warnings);
        WinSim::SetInjectedFailure(QString::fromLatin1(c.function), 0);
    }
}

TEST_F(ObtainerMachine, BuildsTheListOfAGeneratedFactorySet)
{
    MakeProfileSet(colorDirectory, {"--format", Format, "--profiles", "sRGB,AdobeRGB,DCIP3,DisplayP3,P3,Default,Native",
                                    "--color-space", "DCIP3", "--luminance", "250", "--brightness", "70",
                                    "--brightness", "sRGB=85", "--mhc2", "DCIP3"});
    QFile::remove(colorDirectory + "/KVL_4A1C_AdobeRGB.icm");
    ASSERT_TRUE(QFile::copy(colorDirectory + "/KVL_4A1C_sRGB.icm", colorDirectory + "/KVL_4A1C_Korvel_HDR10.icm"));
    configuration.filters = {ProfilesFilter("OtherModel", {"sRGB"}),
                             ProfilesFilter("21kv0012us", {"sRGB", "AdobeRGB", "DCIP3", "P3", "Default", "Native",
                                                           "Korvel_HDR10", "DICOM_Dim"})};
    PanelInfo panel;
    panel.SetDefaultProfileColorSpace("DCIP3");
    panel.SetRequiredProfiles({"sRGB", "AdobeRGB", "DCIP3", "DisplayP3", "Default", "Native"});
    panel.SetRequiredProfilesHdr10({"Korvel_HDR10"});
    const auto obtainer = Obtainer(panel);

    // The table: every key, "P3" showing what "DisplayP3" shows from its own file.
    const QVector<ProfileData>& table = ProfileTable::Entries();
    ASSERT_EQ(table.size(), ProfileTable::Size);
    EXPECT_EQ(table[10].GetName(), "P3");
    EXPECT_EQ(table[10].GetFullPath(), colorDirectory + "/KVL_4A1C_P3.icm");
    EXPECT_EQ(table[10].GetDescription(), table[4].GetDescription());
    EXPECT_EQ(table[10].GetColorSpaceType(), 3);
    EXPECT_EQ(table[7].GetColorSpaceType(), 2) << "Default takes the panel's default colour space";
    EXPECT_TRUE(table[7].GetDescription().contains("as DCIP3 but"));
    EXPECT_EQ(table[0].GetBrightnessLevel(), 0);
    EXPECT_EQ(table[0].GetFileName(), "");

    ASSERT_TRUE(obtainer->BuildProfileDataList());
    obtainer->RefreshBrightnessLevels();
    const ProfileDataList list = obtainer->GetProfileDataList();
    QStringList keys;
    for (const auto& data : list) {
        keys << data->GetName();
    }
    // DisplayP3 is not in the filter; the required lists come sorted, Default and Native last.
    EXPECT_EQ(keys, (QStringList{"AdobeRGB", "DCIP3", "sRGB", "Default", "Native", "Korvel_HDR10"}));
    const struct {
        const char* key;
        const char* gamma;
        const char* luminance;
        int brightness;
        Chromaticity white;
    } expected[] = {
        {"AdobeRGB", "N/A", "N/A", 100, {0, 0}},
        {"DCIP3", "2.6", "250.00", 70, {0.314, 0.351}},
        {"sRGB", "sRGB", "250.00", 85, {0.3127, 0.329}},
        {"Korvel_HDR10", "PQ (SMPTE ST 2084)", "100% HDR Brightness", 85, {0.3127, 0.329}},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.key);
        const auto data = *std::find_if(list.begin(), list.end(), [&](const auto& d) { return d->GetName() == e.key; });
        EXPECT_EQ(data->GetGammaText(), e.gamma);
        EXPECT_EQ(data->GetLuminanceText(), e.luminance);
        EXPECT_EQ(data->GetBrightnessLevel(), e.brightness);
        EXPECT_NEAR(data->GetWhitePoint().first, e.white.first, 1e-9);
        EXPECT_NEAR(data->GetWhitePoint().second, e.white.second, 1e-9);
        EXPECT_EQ(data->GetFileName(), Format.arg(0).replace("{ProfileName}", e.key));
    }
    // Measured primaries from the quality report written beside the profile.
    const auto dciP3 = list[1];
    EXPECT_NEAR(dciP3->GetRedPrimary().first, 0.68, 1e-4);
    EXPECT_EQ(FindProfileDataByName(list, "Native"), colorDirectory + "/KVL_4A1C_Native.icm");
    EXPECT_EQ(FindProfileDataByName(list, "native"), "");

    // The tray menu offers the list.
    QStringList names;
    for (const auto& data : list) {
        names << data->GetDisplayName();
    }
    trayMenu->SetProfileNames(names);
    QStringList entries;
    for (QAction* action : trayMenu->Menu()->actions()) {
        if (action->isCheckable()) {
            entries << action->text();
        }
    }
    EXPECT_EQ(entries, (QStringList{"Adobe RGB", "DCI-P3", "sRGB", "Default", "Not calibrated", "HDR 10 (calibrated)"}));

    // One warning for the filtered name that nothing listed holds ("P3" is in "DCIP3").
    ASSERT_EQ(notifiers.shown.size(), 1u);
    EXPECT_EQ(notifiers.shown[0].kind, "warning");
    EXPECT_EQ(notifiers.shown[0].text,
              "[WARNING] DICOM_Dim profile is listed in profiles filter, but it is missing from color directory.");
    EXPECT_EQ(notifiers.shown[0].msecs, 1000);

    // Previews: one per profile; the stock photograph for Native; HDR shows the DCI-P3 preview.
    obtainer->RefreshPreviewImages();
    const QString images = Korvel::DisplayCalibration::Common::ApplicationDataDirectory() + "/images";
    EXPECT_EQ(ReadFile(images + "/TransformedPreview_Native.jpeg"), ReadFile(":/images/Preview.jpeg"));
    EXPECT_EQ(ReadFile(images + "/TransformedPreview_AdobeRGB.jpeg"), ReadFile(":/images/Preview.jpeg"))
        << "a missing profile gives the stock photograph";
    EXPECT_NE(ReadFile(images + "/TransformedPreview_sRGB.jpeg"), ReadFile(":/images/Preview.jpeg"));
    // The previews are the files as they were read: their later removal changes nothing.
    ASSERT_TRUE(QDir(images).removeRecursively());
    for (const auto& data : list) {
        SCOPED_TRACE(data->GetName().toStdString());
        EXPECT_FALSE(data->GetPreviewImage().isNull());
        // 512 x 600 fits 408 x 600 at its own aspect ratio.
        EXPECT_EQ(data->GetScaledPreviewImage().size(), QSize(408, 478));
    }
    EXPECT_EQ(list[5]->GetPreviewImage().toImage(), list[1]->GetPreviewImage().toImage());
}

TEST_F(ObtainerMachine, NamesTheTableDoesNotKnow)
{
    PanelInfo panel;
    panel.SetRequiredProfiles({"sRGB", "Unknown"});
    const auto obtainer = Obtainer(panel);
    EXPECT_FALSE(obtainer->BuildProfileDataList());
    EXPECT_THROW(obtainer->ReadBrightnessLevels(), std::invalid_argument);
    EXPECT_TRUE(notifiers.shown.empty());

    // Without a matching filter every required profile is listed, files or not, with brightness 100.
    PanelInfo known;
    known.SetRequiredProfiles({"sRGB", "DICOM_Dim"});
    const auto other = Obtainer(known);
    ASSERT_TRUE(other->BuildProfileDataList());
    EXPECT_EQ(other->ReadBrightnessLevels(), (QList<int>{100, 100}));
    EXPECT_EQ(other->GetProfileDataList().size(), 2);
    EXPECT_EQ(other->GetProfileDataList()[0]->GetGammaText(), "N/A");
    EXPECT_TRUE(notifiers.shown.empty());

    bios.model = QString();
    EXPECT_THROW(Obtainer(known), std::runtime_error) << "a failed model-name read leaves the constructor";
}

// A symbolic link at the previews' folder, or at a preview in it, is not followed: the previews are
// made in the machine and the link's target stays as it was.
TEST_F(ObtainerMachine, LinksAtThePreviewsAreNotFollowed)
{
    const QString images = Korvel::DisplayCalibration::Common::ApplicationDataDirectory() + "/images";
    const struct {
        const char* name;
        QString link;
        QString target;  // in the outside folder ("" for the folder itself)
    } cases[] = {
        {"folder", images, ""},
        {"source picture", images + "/Preview.jpeg", "kept.txt"},
        {"preview", images + "/TransformedPreview_sRGB.jpeg", "kept.txt"},
    };
    Make("KVL_4A1C_sRGB.icm", {"--gamma", "2.2"});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TestSupport::OutsideFolder outside;
        const auto before = outside.Contents();
        QFile::remove(images);
        QDir(images).removeRecursively();
        QDir().mkpath(images);
        TestSupport::PlantLink(c.target.isEmpty() ? outside.Path() : outside.FilePath(c.target), c.link);

        auto obtainer = Obtainer();
        obtainer->BuildProfileDataList();
        obtainer->RefreshPreviewImages();
        EXPECT_EQ(outside.Contents(), before);
        EXPECT_FALSE(QFileInfo(c.link).isSymLink());
        EXPECT_EQ(ReadFile(images + "/Preview.jpeg"), ReadFile(":/images/Preview.jpeg"));
    }
}

TEST_F(ObtainerMachine, TransformerKeepsAnExistingPreviewUnlessForced)
{
    QTemporaryDir folder;
    const QString output = folder.filePath("TransformedPreview_sRGB.jpeg");
    const QString source = folder.filePath("Preview.jpeg");
    ASSERT_TRUE(CopyReplacing(":/images/Preview.jpeg", source));
    Make("KVL_4A1C_sRGB.icm", {"--gamma", "2.2"});
    QFile stale(output);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("half-written");
    stale.close();

    ImageTransformer kept("sRGB", "KVL_4A1C_sRGB.icm", folder.path(), colorDirectory, source, false);
    kept.start();
    kept.wait();
    EXPECT_EQ(ReadFile(output), "half-written");

    // Forced with an unusable profile: the stock photograph replaces what is there.
    ImageTransformer unusable("sRGB", "missing.icm", folder.path(), colorDirectory, source, true);
    unusable.start();
    unusable.wait();
    EXPECT_EQ(ReadFile(output), ReadFile(":/images/Preview.jpeg"));

    ImageTransformer transformed("sRGB", "KVL_4A1C_sRGB.icm", folder.path(), colorDirectory, source, true);
    transformed.start();
    transformed.wait();
    EXPECT_FALSE(QImage(output).isNull());
    EXPECT_NE(ReadFile(output), ReadFile(":/images/Preview.jpeg"));
}

}  // namespace
