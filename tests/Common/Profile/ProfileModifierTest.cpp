#include "Common/Profile/ProfileModifier.h"

#include "Common/Profile/ProfileHelperExceptions.h"
#include "WindowsStandIn/StateFile.h"
#include "tests/Common/Profile/ProfileHelperFixture.h"
#include "tests/fixtures/MeasuredProfiles.h"

#include <QDir>
#include <QJsonArray>
#include <QFile>
#include <QTemporaryDir>

#include <lcms2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace Korvel::DisplayCalibration::Common::Profile;
using Korvel::DisplayCalibration::Common::Logging::TraceLevel;
namespace Engine = Korvel::DisplayCalibration::Common::Spectrine;
using TestSupport::ReadFile;

namespace {

const QString ColordProfiles = QStringLiteral("/usr/share/color/icc/colord");
const QString FreeProfiles = QStringLiteral("/usr/share/color/icc");

Engine::UniString Utf8(const QString& text)
{
    return Engine::UniString(KVUniStringCreateFromUtf8(text.toUtf8().constData()));
}

int Count(const TestSupport::LogCapture& log, const std::string& text)
{
    const auto lines = log.Lines();
    return int(std::count_if(lines.begin(), lines.end(), [&](const auto& line) { return line.message == text; }));
}

bool Logged(const TestSupport::LogCapture& log, const std::string& text)
{
    return Count(log, text) > 0;
}

QString MetaValue(const QString& path, const char* name)
{
    const Engine::Profile profile(KVProfileFromPathCreate(Utf8(path).Get(), nullptr));
    const Engine::UniString value(KVProfileGetMetaDataValueForName(profile.Get(), Utf8(name).Get(), nullptr));
    return QString::fromUtf8(KVUniStringToUtf8(value.Get()));
}

// What the measurement data of a profile holds.
struct StoredData {
    explicit StoredData(const QString& path)
    {
        KVStatus status = 0;
        const Engine::UniString text(KVProfileGetCxfDataBuffer(Utf8(path).Get(), &status));
        this->text = QString::fromUtf8(KVUniStringToUtf8(text.Get()));
        const Engine::Cxf3Stream stream(KVCxf3OpenStream(&status));
        KVColorRef* measuredColors = nullptr;
        KVColorRef* targetColors = nullptr;
        KVProfileDisplayParamsRef read = nullptr;
        KVDisplayDataWithFlareUnmarshalFromCxf3(stream.Get(), text.Get(), &measuredColors, &targetColors, &count, nullptr,
                                                nullptr, nullptr, nullptr, nullptr, nullptr, &read, nullptr, &status);
        measured.Reset(measuredColors, count);
        target.Reset(targetColors, count);
        params.Reset(read);
    }
    std::array<double, 3> Measured(int i) const
    {
        std::array<double, 3> xyz{};
        KVColorGetCoordinates(measured.Get()[i], xyz.data(), nullptr);
        return xyz;
    }
    QString text;
    std::int32_t count = 0;
    Engine::Chart measured;
    Engine::Chart target;
    Engine::ProfileParams params;
};

// Every tag's raw bytes, for comparing two profiles beyond their headers.
QMap<cmsTagSignature, QByteArray> Tags(const QString& path)
{
    QMap<cmsTagSignature, QByteArray> tags;
    cmsHPROFILE profile = cmsOpenProfileFromFile(QFile::encodeName(path).constData(), "r");
    for (cmsInt32Number i = 0; profile != nullptr && i < cmsGetTagCount(profile); ++i) {
        const cmsTagSignature tag = cmsGetTagSignature(profile, cmsUInt32Number(i));
        QByteArray raw(int(cmsReadRawTag(profile, tag, nullptr, 0)), '\0');
        cmsReadRawTag(profile, tag, raw.data(), cmsUInt32Number(raw.size()));
        tags.insert(tag, raw);
    }
    if (profile != nullptr) {
        cmsCloseProfile(profile);
    }
    return tags;
}

ColorantMatrix LittleCmsColorants(const QString& path)
{
    ColorantMatrix matrix{};
    cmsHPROFILE profile = cmsOpenProfileFromFile(QFile::encodeName(path).constData(), "r");
    const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
    for (int i = 0; i < 3; ++i) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[i]));
        matrix[i] = {xyz->X, xyz->Y, xyz->Z};
    }
    cmsCloseProfile(profile);
    return matrix;
}

class ProfileModifierTest : public ProfileHelperMachine {
public:
    QTemporaryDir folder;
    TestSupport::Panel panel;

    // A factory-like profile: measurements of the panel, power-law parameters, "Brightness" 80.
    QString Factory(const QString& name, std::vector<TestSupport::MeasuredPatch> patches = {})
    {
        if (patches.empty()) {
            patches = TestSupport::PanelPatches(panel);
        }
        const QString path = folder.filePath(name);
        EXPECT_EQ(TestSupport::WriteMeasuredProfile(path, patches, panel, {{"Brightness", "80"}}), KVSuccess);
        return path;
    }
    QString Copy(const QString& source, const QString& name)
    {
        const QString path = folder.filePath(name);
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(source, path));
        QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        return path;
    }
};

constexpr double D65[2] = {0.3127, 0.3290};

TEST_F(ProfileModifierTest, RebuildAsBt1886KeepsBrightnessAndTheMeasurementsAsRead)
{
    panel.luminance = 262.5;
    // Built by the engine from the panel's patches, and by LittleCMS in the test-set maker.
    const QString made = folder.filePath("makeicc.icm");
    const TestSupport::ProcessResult maker =
        TestSupport::Run(TestSupport::BinaryPath("makeicc"), {made, "--primaries", "0.64,0.33,0.30,0.60,0.15,0.06",
                                                             "--luminance", "262.5", "--brightness", "80", "--measurements"});
    ASSERT_EQ(maker.exitCode, 0) << maker.err;
    for (const QString& source : {Factory("engine.icm"), made}) {
        SCOPED_TRACE(source);
        const QString path = Copy(source, "KVL_4A1C_REC709.icm");
        const StoredData factory(path);
        ProfileModifier modifier;
        int gammaType = -7;
        ASSERT_TRUE(modifier.ReadMeasurementsFromProfile(path, &gammaType));
        EXPECT_EQ(gammaType, KVGammaTypeStandard);

        const TestSupport::LogCapture log("ProfileModifier");
        ASSERT_TRUE(modifier.BuildAndSaveProfile(path, D65, 249.9, -2.0));
        const std::string name = path.toStdString();
        EXPECT_TRUE(Logged(log, "Setting Luminosity: 249..."));
        EXPECT_TRUE(Logged(log, "Successfully added Brightness attribute: 80"));
        EXPECT_EQ(Count(log, "Successfully set Gamma REC709 for " + name + " profile"), 1);
        EXPECT_TRUE(Logged(log, "[KVDisplayBackLightScaleMeasuremmentsForWhitePoint] WhitePoint [Y: 249.9, x: 0.3127, y: 0.329]"));
        EXPECT_TRUE(Logged(log, "Saving profile '" + name + "' to file '" + name + "' succeeded"));
        EXPECT_TRUE(Logged(log, "Successfully saved profile: " + name));

        EXPECT_TRUE(modifier.ReadMeasurementsFromProfile(path, &gammaType));
        EXPECT_EQ(gammaType, KVGammaTypeBt1886);
        EXPECT_EQ(MetaValue(path, "Brightness"), "80");
        EXPECT_EQ(MetaValue(path, "CreatorApp"), "QalloProfiler");
        KVStatus status = -1;
        double* white = KVProfileGetWhiteXYZ(Utf8(path).Get(), &status);
        ASSERT_EQ(status, KVSuccess);
        EXPECT_DOUBLE_EQ(white[1], 249.0);
        KVFree(white);

        const StoredData rebuilt(path);
        EXPECT_EQ(KVProfileDisplayParamsGetProfileType(rebuilt.params.Get(), nullptr), KVProfileTypeMatrix);
        EXPECT_TRUE(rebuilt.text.contains("Korvel Tintwise") && rebuilt.text.contains("2.56.0")) << rebuilt.text;
        ASSERT_EQ(rebuilt.count, factory.count);
        for (int i = 0; i < factory.count; ++i) {
            EXPECT_EQ(rebuilt.Measured(i), factory.Measured(i)) << i;
        }

        // The stored measurements are unscaled, so a second rebuild makes the same profile.
        const auto first = Tags(path);
        ASSERT_TRUE(modifier.BuildAndSaveProfile(path, D65, 249.9, -2.0));
        EXPECT_EQ(Tags(path), first);
        // The panel's white at 249 cd/m²: LittleCMS's relative colorimetry gives the D50 white.
        cmsHPROFILE profile = cmsOpenProfileFromFile(QFile::encodeName(path).constData(), "r");
        ASSERT_NE(profile, nullptr);
        const auto* red = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, cmsSigRedColorantTag));
        EXPECT_NEAR(red->X, 0.4360747, 0.0005);
        EXPECT_NEAR(red->Y, 0.2225045, 0.0005);
        cmsCloseProfile(profile);
    }
}

TEST_F(ProfileModifierTest, ConfigurationFollowsPathLuminanceAndGamma)
{
    const QString factory = Factory("factory.icm");
    const struct {
        const char* name;
        double luminance;
        double gamma;
        std::vector<std::string> logged;  // "%1" stands for the path
        std::vector<std::string> absent;
    } cases[] = {
        {"KVL_4A1C_DICOM_Office.icm", 249.9, -3.0,
         {"Setting Minimum Luminance: 0...", "Successfully set DICOM EOTF for%1 profile", "Setting Luminosity: 249...",
          "Successfully set Gamma DICOM for %1 profile"},
         {"Setting Contrast Ratio: 0..."}},
        {"KVL_4A1C_dicom.icm", 100, 2.2,
         {"Setting Contrast Ratio: 0...", "Setting Gamma: 2.2 for %1 profile...", "Successfully set Gamma 2.2 for %1 profile",
          "Setting Luminosity: 100..."},
         {"Setting Minimum Luminance: 0..."}},
        {"KVL_4A1C_Native.icm", 80.99, 0.0,
         {"Successfully set Gamma REC709 for %1 profile", "Setting Luminosity: 80..."},
         {"Set BT1886 EOTF for %1 profile in progress...", "Successfully set sRGB Gamma for %1 profile"}},
        {"KVL_4A1C_sRGB.icm", 120, -1.0, {"Successfully set sRGB Gamma for %1 profile"}, {}},
        {"KVL_4A1C_REC709.icm", 120, -2.0,
         {"Set BT1886 EOTF for %1 profile in progress...", "Successfully set BT1886 EOTF for %1 profile"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = Copy(factory, c.name);
        const auto text = [&](const std::string& pattern) {
            return QString::fromStdString(pattern).replace("%1", path).toStdString();
        };
        ProfileModifier modifier;
        const TestSupport::LogCapture log("ProfileModifier");
        modifier.RecreateConfiguration(path, c.luminance, c.gamma);
        for (const std::string& line : c.logged) {
            EXPECT_EQ(Count(log, text(line)), 1) << text(line);
        }
        for (const std::string& line : c.absent) {
            EXPECT_FALSE(Logged(log, text(line))) << text(line);
        }
        EXPECT_TRUE(Logged(log, "Successfully recreated configuration for profile: " + path.toStdString()));
        for (const auto& line : log.Lines()) {
            EXPECT_EQ(line.message.find("Failed"), std::string::npos) << line.message;
        }
    }
}

TEST_F(ProfileModifierTest, FailedRebuildsLeaveTheFileAsItWas)
{
    const QString factory = Factory("factory.icm");
    auto five = TestSupport::PanelPatches(panel);
    five.resize(5);  // white, black, red, green, blue
    auto four = five;
    four.erase(four.begin() + 1);
    const QString fiveColours = Factory("five.icm", five);
    const QString fourColours = Factory("four.icm", four);

    ProfileModifier modifier;
    int gammaType = 77;
    {
        const TestSupport::LogCapture log("ProfileModifier");
        EXPECT_FALSE(modifier.ReadMeasurementsFromProfile(fourColours, &gammaType));
        EXPECT_TRUE(Logged(log, "Failed to KVDisplayDataWithFlareUnmarshalFromCxf3. Number of colors is lower than 5."));
        EXPECT_FALSE(modifier.ReadMeasurementsFromProfile(ColordProfiles + "/sRGB.icc", &gammaType));
        EXPECT_TRUE(Logged(log, "Failed to obtain CxF data buffer."));
        EXPECT_EQ(gammaType, 77);
        EXPECT_TRUE(modifier.ReadMeasurementsFromProfile(fiveColours, &gammaType));
        EXPECT_EQ(gammaType, KVGammaTypeStandard);
    }

    const struct {
        const char* name;
        QString source;
        const char* injected;  // engine call made to fail
        std::string logged;    // "%1" stands for the path
    } cases[] = {
        {"no measurement data", ColordProfiles + "/sRGB.icc", nullptr, "Failed to get CxF data buffers"},
        {"four colours", fourColours, nullptr,
         "Failed to KVDisplayDataWithFlareUnmarshalFromCxf3. Number of colors is lower than 5."},
        {"unreadable measurements", factory, "KVDisplayDataWithFlareUnmarshalFromCxf3",
         "Failed to KVDisplayDataWithFlareUnmarshalFromCxf3"},
        {"failed scaling", factory, "KVDisplayBackLightScaleMeasuremmentsForWhitePoint",
         "Failed to KVDisplayBackLightScaleMeasuremmentsForWhitePoint"},
        {"failed build", factory, "KVDiplayProfileObjectBuildProfile", "Failed to build profile: %1"},
        {"no measurement text", factory, "KVCxf3WriteStream", "Failed to write CxF stream"},
        {"no parameters in the text", factory, "KVCxf3AddProfileParams", "Failed to add CxF parameters"},
        {"no colours in the text", factory, "KVCxf3AddColors", "Failed to add measured CxF colors"},
        {"failed save", factory, "KVDisplayProfileObjectSaveProfile", "Failed to save %1profile"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = Copy(c.source, "KVL_4A1C_REC709.icm");
        const QByteArray before = ReadFile(path);
        if (c.injected != nullptr) {
            WinSim::SetInjectedFailure(c.injected, KVErrorInvalidData);
        }
        const TestSupport::LogCapture log("ProfileModifier");
        EXPECT_FALSE(modifier.BuildAndSaveProfile(path, D65, 200, -2.0));
        if (c.injected != nullptr) {
            WinSim::SetInjectedFailure(c.injected, 0);
        }
        EXPECT_TRUE(Logged(log, QString::fromStdString(c.logged).replace("%1", path).toStdString())) << c.logged;
        EXPECT_FALSE(Logged(log, "Successfully saved profile: " + path.toStdString()));
        EXPECT_EQ(ReadFile(path), before);
    }
    // The same modifier rebuilds once nothing fails.
    EXPECT_TRUE(modifier.BuildAndSaveProfile(Copy(factory, "KVL_4A1C_REC709.icm"), D65, 200, -2.0));
}

TEST_F(ProfileModifierTest, DisplayLookupFailureReachesTheCaller)
{
    const QString path = Factory("KVL_4A1C_REC709.icm");
    const QByteArray before = ReadFile(path);
    WinSim::SetDescriptionValue("displays", QJsonArray());
    ProfileModifier modifier;
    EXPECT_THROW(modifier.BuildAndSaveProfile(path, D65, 200, -2.0), GetDeviceIdException);
    EXPECT_EQ(ReadFile(path), before);
}

TEST_F(ProfileModifierTest, ColorantTagsChangeOnlyBeyondTheThreshold)
{
    const QString path = Copy(ColordProfiles + "/sRGB.icc", "sRGB.icc");
    ProfileModifier modifier;
    ColorantMatrix stored{};
    ASSERT_TRUE(modifier.GetRgbXyzTagValues(path, stored));
    EXPECT_EQ(stored, LittleCmsColorants(path));

    const struct {
        const char* name;
        int row, column;
        double delta;
        bool changed;
    } cases[] = {
        {"0.005 in X of red", 0, 0, 0.005, false},
        {"-0.005 in Z of blue", 2, 2, -0.005, false},
        {"0.0051 in Y of green", 1, 1, 0.0051, true},
        {"-0.0051 in X of red", 0, 0, -0.0051, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ColorantMatrix before = LittleCmsColorants(path);
        ColorantMatrix wanted = before;
        wanted[c.row][c.column] += c.delta;
        // The other coordinates of the row move a little: all three are written when one is.
        wanted[c.row][(c.column + 1) % 3] += 0.001;
        const TestSupport::LogCapture log("ProfileModifier");
        bool changed = !c.changed;
        ASSERT_TRUE(modifier.EditRgbXyzTagsInFile(path, path, wanted, &changed));
        EXPECT_EQ(changed, c.changed);
        const ColorantMatrix after = LittleCmsColorants(path);
        for (int row = 0; row < 3; ++row) {
            for (int column = 0; column < 3; ++column) {
                const double expected = c.changed && row == c.row ? wanted[row][column] : before[row][column];
                EXPECT_NEAR(after[row][column], expected, 1.0 / 65536) << row << column;
            }
        }
        EXPECT_EQ(Logged(log, "No significant change in new and old values, hence no change is required"), true);
        if (c.changed) {
            char old[128], next[128];
            std::snprintf(old, sizeof old, "Changes are required, old tag values: [%f,%f,%f]", before[c.row][0],
                          before[c.row][1], before[c.row][2]);
            std::snprintf(next, sizeof next, "new tag values: [%f,%f,%f]", wanted[c.row][0], wanted[c.row][1],
                          wanted[c.row][2]);
            EXPECT_TRUE(Logged(log, old)) << old;
            EXPECT_TRUE(Logged(log, next)) << next;
        }
    }
    // The same values again: saved over itself, nothing to change.
    bool changed = true;
    EXPECT_TRUE(modifier.EditRgbXyzTags(path, LittleCmsColorants(path)));
    EXPECT_TRUE(modifier.EditRgbXyzTagsInFile(path, path, LittleCmsColorants(path), &changed));
    EXPECT_FALSE(changed);
}

TEST_F(ProfileModifierTest, StandardChromaticitiesIntoAnotherFile)
{
    ProfileModifier modifier;
    modifier.SetLogLevel(TraceLevel);
    const TestSupport::LogCapture log("ProfileModifier");
    ColorantMatrix p3{};
    ASSERT_TRUE(modifier.getChromaticity(3, p3));
    // P3's red has a Z of -0.001 at D50: clamped to 0.
    EXPECT_NEAR(p3[0][0], 0.515121, 0.0005);
    EXPECT_EQ(p3[0][2], 0.0);
    EXPECT_NEAR(p3[2][2], 0.784073, 0.0005);
    EXPECT_TRUE(Logged(log, "getChromaticity numCoord : 3"));
    EXPECT_TRUE(Logged(log, "getChromaticity colorSpace : 3"));
    EXPECT_TRUE(Logged(log, "coordinates 02 0"));

    ColorantMatrix srgb{};
    ASSERT_TRUE(modifier.getChromaticity(1, srgb));
    EXPECT_NEAR(srgb[0][0], 0.4360, 0.0001);
    EXPECT_NEAR(srgb[0][1], 0.2225, 0.0001);
    EXPECT_NEAR(srgb[0][2], 0.0139, 0.0001);

    const QString source = Copy(ColordProfiles + "/AdobeRGB1998.icc", "KVL_4A1C_sRGB.icm");
    const QByteArray original = ReadFile(source);
    const QString destination = folder.filePath("corrected.icm");
    bool changed = false;
    ASSERT_TRUE(modifier.EditRgbXyzTagsInFile(source, destination, srgb, &changed));
    EXPECT_TRUE(changed);
    EXPECT_EQ(ReadFile(source), original);
    const ColorantMatrix written = LittleCmsColorants(destination);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            EXPECT_NEAR(written[row][column], srgb[row][column], 1.0 / 65536);
        }
    }
    // Another profile's colorants copy exactly.
    ColorantMatrix copied{};
    ASSERT_TRUE(modifier.GetRgbXyzTagValues(destination, copied));
    EXPECT_EQ(copied, written);
}

TEST_F(ProfileModifierTest, ResaveWritesTheSourceAsTheEngineSavesIt)
{
    ProfileModifier modifier;
    for (const QString& original : {FreeProfiles + "/sRGB.icc", ColordProfiles + "/Rec709.icc"}) {
        SCOPED_TRACE(original);
        const QString source = Copy(original, "source.icm");
        const TestSupport::LogCapture log("ProfileModifier");
        EXPECT_TRUE(modifier.ResaveProfile(source, folder.filePath("copy.icm")));
        EXPECT_TRUE(modifier.ResaveProfile(source, source));
        EXPECT_TRUE(Logged(log, "No significant change in new and old values, hence no change is required"));
        for (const QString& written : {folder.filePath("copy.icm"), source}) {
            EXPECT_EQ(Tags(written), Tags(original));
        }
    }
}

TEST_F(ProfileModifierTest, ColorantOperationsReportWhatTheyCouldNotDo)
{
    const QString gray = Copy(FreeProfiles + "/Gray.icc", "Gray.icc");
    const QString valid = Copy(ColordProfiles + "/sRGB.icc", "valid.icc");
    // A path the engine's 255-character buffer cannot hold, to a file that exists.
    QString deep = folder.path();
    while (deep.size() < 250) {
        deep += "/" + QString(40, 'd');
    }
    ASSERT_TRUE(QDir().mkpath(deep));
    const QString longPath = deep + "/long.icc";
    ASSERT_TRUE(QFile::copy(valid, longPath));
    const QString missing = folder.filePath("missing.icc");

    const ColorantMatrix untouched = {{{9, 9, 9}, {9, 9, 9}, {9, 9, 9}}};
    const ColorantMatrix target = LittleCmsColorants(ColordProfiles + "/AdobeRGB1998.icc");
    ProfileModifier modifier;
    for (const QString& path : {gray, longPath, missing}) {
        SCOPED_TRACE(path.right(40));
        const QByteArray before = ReadFile(path);
        ColorantMatrix matrix = untouched;
        EXPECT_FALSE(modifier.GetRgbXyzTagValues(path, matrix));
        EXPECT_EQ(matrix, untouched);
        bool changed = true;
        EXPECT_FALSE(modifier.EditRgbXyzTagsInFile(path, folder.filePath("out.icc"), target, &changed));
        EXPECT_FALSE(changed);
        EXPECT_FALSE(modifier.EditRgbXyzTags(path, target));
        EXPECT_FALSE(modifier.ResaveProfile(path, folder.filePath("out.icc")));
        EXPECT_FALSE(QFile::exists(folder.filePath("out.icc")));
        EXPECT_EQ(ReadFile(path), before);
    }
    // A destination too long for the buffer is not written either.
    EXPECT_FALSE(modifier.ResaveProfile(valid, deep + "/out.icc"));
    EXPECT_FALSE(QFile::exists(deep + "/out.icc"));

    ColorantMatrix matrix = untouched;
    EXPECT_FALSE(modifier.getChromaticity(2, matrix));
    EXPECT_EQ(matrix, untouched);

    // A failing save leaves the source byte for byte.
    const QByteArray before = ReadFile(valid);
    WinSim::SetInjectedFailure("KVEditableICCProfileSaveToPath", KVErrorFileWrite);
    const TestSupport::LogCapture log("ProfileModifier");
    EXPECT_FALSE(modifier.EditRgbXyzTags(valid, target));
    EXPECT_TRUE(Logged(log, "KVEditableICCProfileSaveToPath failed..."));
    EXPECT_FALSE(modifier.ResaveProfile(valid, valid));
    WinSim::SetInjectedFailure("KVEditableICCProfileSaveToPath", 0);
    EXPECT_EQ(ReadFile(valid), before);
    WinSim::SetInjectedFailure("KVEditableICCProfileGetXYZTagValues", KVErrorInvalidData);
    bool changed = true;
    EXPECT_FALSE(modifier.EditRgbXyzTagsInFile(valid, valid, target, &changed));
    EXPECT_TRUE(Logged(log, "KVEditableICCProfileGetXYZTagValues failed..."));
    EXPECT_TRUE(Logged(log, "editRgbXyzTag failed..."));
    WinSim::SetInjectedFailure("KVEditableICCProfileGetXYZTagValues", 0);
    EXPECT_EQ(ReadFile(valid), before);
}

TEST(ProfileModifierFactoryTest, MakesAModifier)
{
    ProfileModifierFactory factory;
    const std::unique_ptr<IProfileModifier> modifier(factory.Create());
    EXPECT_NE(dynamic_cast<ProfileModifier*>(modifier.get()), nullptr);
}

}  // namespace
