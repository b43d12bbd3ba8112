#include "Spectrine/Spectrine.h"
#include "tests/Spectrine/EngineHandles.h"
#include "tests/fixtures/MeasuredProfiles.h"
#include "tests/fixtures/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <lcms2.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

using EngineTest::Chart;
using EngineTest::Params;
using EngineTest::String;
using EngineTest::Text;
using Object = EngineTest::Owner<KVDisplayProfileObject, KVDisplayProfileObjectRefRelease>;
using TestSupport::MeasuredPatch;
using TestSupport::Panel;
using TestSupport::Transicc;

// Patches of the default panel: sRGB primaries, D65 at 250 cd/m², black 0.25 cd/m².
struct Patches {
    explicit Patches(const std::vector<MeasuredPatch>& patches = TestSupport::PanelPatches(Panel()))
        : count(std::int32_t(patches.size()))
    {
        targets.colors = TestSupport::MakeChart(patches, true);
        targets.count = count;
        measured.colors = TestSupport::MakeChart(patches, false);
        measured.count = count;
    }
    std::int32_t count;
    Chart targets;
    Chart measured;
};

Params MakeParams(const std::function<void(KVProfileDisplayParamsRef)>& curve)
{
    Params params(KVProfileDisplayParamsCreate(nullptr));
    curve(params.get());
    KVProfileDisplayParamsSetTargetLuminosity(params.get(), 249, nullptr);
    const EngineTest::Map map(KVNameValueMapCreate(nullptr));
    KVNameValueMapAddValue(map.get(), Text("CreatorApp").get(), Text("QalloProfiler").get(), nullptr);
    KVNameValueMapAddValue(map.get(), Text("Brightness").get(), Text("80").get(), nullptr);
    KVProfileDisplayParamsSetDictTagMap(params.get(), map.get(), nullptr);
    return params;
}

QString MetaValue(const QString& path, const char* name)
{
    const EngineTest::Owner<KVProfile, KVProfileRelease> profile(KVProfileFromPathCreate(Text(path).get(), nullptr));
    const String value(KVProfileGetMetaDataValueForName(profile.get(), Text(name).get(), nullptr));
    return EngineTest::Utf8(value.get());
}

// BT.1886 (ITU-R BT.1886, annex 1) relative to white.
double Bt1886(double v, double black, double white)
{
    const double root = std::pow(white, 1 / 2.4) - std::pow(black, 1 / 2.4);
    const double a = std::pow(root, 2.4);
    const double b = std::pow(black, 1 / 2.4) / root;
    return a * std::pow(std::max(v + b, 0.0), 2.4) / white;
}

// JND index of a luminance, DICOM PS3.14 (B-2).
double JndIndex(double luminance)
{
    const double x = std::log10(luminance);
    return 71.498068 + 94.593053 * x + 41.912053 * x * x + 9.8247004 * std::pow(x, 3) + 0.28175407 * std::pow(x, 4) -
           1.1878455 * std::pow(x, 5) - 0.18014349 * std::pow(x, 6) + 0.14710899 * std::pow(x, 7) -
           0.017046845 * std::pow(x, 8);
}

TEST(SpectrineDisplayProfilesTest, BuiltProfilesCarryWhatTheParametersAndPatchesSay)
{
    const double black = 0.25;
    const double white = 250;
    const struct {
        const char* name;
        std::function<void(KVProfileDisplayParamsRef)> curve;
        std::function<double(double)> expected;
        double tolerance;
        int version;
    } cases[] = {
        {"power 2.2", [](auto p) { KVProfileDisplayParamsSetGamma(p, 2.2, nullptr); },
         [](double v) { return std::pow(v, 2.2); }, 1e-4, 4},
        {"sRGB", [](auto p) { KVProfileDisplayParamsSetSRGBGamma(p, nullptr); },
         [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }, 1e-4, 4},
        {"custom", [](auto p) { KVProfileDisplayParamsSetCustomGamma(p, 2.0, 0.9, 0.1, 0.2, 0.05, nullptr); },
         [](double v) { return v >= 0.05 ? std::pow(0.9 * v + 0.1, 2.0) : 0.2 * v; }, 1e-4, 4},
        {"BT.1886 from the measured black", [](auto p) { KVProfileDisplayParamsSetBT1886_EOTF(p, nullptr); },
         [=](double v) { return Bt1886(v, black, white); }, 1e-4, 4},
        {"BT.1886 from the contrast ratio", [](auto p) {
             KVProfileDisplayParamsSetBT1886_EOTF(p, nullptr);
             KVProfileDisplayParamsSetContrastRatio(p, 500, nullptr);
         },
         [=](double v) { return Bt1886(v, white / 500, white); }, 1e-4, 4},
        {"version 2", [](auto p) {
             KVProfileDisplayParamsSetGamma(p, 1.8, nullptr);
             KVProfileDisplayParamsSetProfileVersion(p, 2, nullptr);
         },
         [](double v) { return std::pow(v, 1.8); }, 2e-3, 2},  // a gamma of u8Fixed8
    };
    const Patches patches;
    QTemporaryDir folder;
    const QString path = folder.filePath("KVL_4A1C_REC709.icm");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Params params = MakeParams(c.curve);
        KVStatus status = -1;
        const Object object(KVDisplayProfileObjectRefCreate(params.get(), &status));
        ASSERT_EQ(status, KVSuccess);
        ASSERT_EQ(KVDiplayProfileObjectSetPatches(object.get(), patches.targets.colors, patches.measured.colors,
                                                  patches.count),
                  KVSuccess);
        ASSERT_EQ(KVDiplayProfileObjectBuildProfile(object.get()), KVSuccess);
        const QString measurement = QStringLiteral("<CxF>%1</CxF>").arg(c.name);
        ASSERT_EQ(KVDisplayProfileObjectSaveProfile(object.get(), Text(measurement).get(), Text(path).get()), KVSuccess);

        cmsHPROFILE profile = cmsOpenProfileFromFile(QFile::encodeName(path).constData(), "r");
        ASSERT_NE(profile, nullptr);
        EXPECT_EQ(cmsGetEncodedICCversion(profile) >> 24, cmsUInt32Number(c.version));
        EXPECT_EQ(cmsGetDeviceClass(profile), cmsSigDisplayClass);
        EXPECT_EQ(cmsGetColorSpace(profile), cmsSigRgbData);
        // The panel's primaries are sRGB's: LittleCMS's published Bradford-adapted colorants.
        const double colorants[3][3] = {
            {0.4360747, 0.2225045, 0.0139322}, {0.3850649, 0.7168786, 0.0971045}, {0.1430804, 0.0606169, 0.7141733}};
        const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
        for (int i = 0; i < 3; ++i) {
            const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[i]));
            ASSERT_NE(xyz, nullptr);
            EXPECT_NEAR(xyz->X, colorants[i][0], 0.0005);
            EXPECT_NEAR(xyz->Y, colorants[i][1], 0.0005);
            EXPECT_NEAR(xyz->Z, colorants[i][2], 0.0005);
        }
        const auto* luminance = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, cmsSigLuminanceTag));
        ASSERT_NE(luminance, nullptr);
        EXPECT_DOUBLE_EQ(luminance->Y, 249);
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, cmsSigRedTRCTag));
        ASSERT_NE(curve, nullptr);
        for (const double v : {0.0, 0.02, 0.1, 0.25, 0.5, 0.75, 1.0}) {
            EXPECT_NEAR(cmsEvalToneCurveFloat(curve, cmsFloat32Number(v)), c.expected(v), c.tolerance) << v;
        }
        wchar_t description[256] = {};
        cmsGetProfileInfo(profile, cmsInfoDescription, "en", "US", description, sizeof description);
        EXPECT_EQ(QString::fromWCharArray(description), "KVL_4A1C_REC709");
        cmsCloseProfile(profile);

        EXPECT_EQ(MetaValue(path, "Brightness"), "80");
        EXPECT_EQ(MetaValue(path, "CreatorApp"), "QalloProfiler");
        const String stored(KVProfileGetCxfDataBuffer(Text(path).get(), &status));
        EXPECT_EQ(status, KVSuccess);
        EXPECT_EQ(EngineTest::Utf8(stored.get()), measurement);
        // Peers read the profile: white is the D50 of the PCS.
        const QList<double> xyz = Transicc(path, "255 255 255");
        ASSERT_EQ(xyz.size(), 3);
        EXPECT_NEAR(xyz[0], 96.42, 0.05);
        EXPECT_NEAR(xyz[1], 100.0, 0.05);
        EXPECT_NEAR(xyz[2], 82.49, 0.05);
        if (c.version == 2) {
            const TestSupport::ProcessResult dump = TestSupport::Run("iccdump", {"-v3", path});
            EXPECT_EQ(dump.exitCode, 0) << dump.out << dump.err;
            EXPECT_FALSE(dump.out.contains("Error") || dump.err.contains("Error"));
        }
    }
}

TEST(SpectrineDisplayProfilesTest, DicomCurveTakesEqualJndSteps)
{
    const Params params = MakeParams([](auto p) {
        KVProfileDisplayParamsSetDICOM_EOTF(p, nullptr);
        KVProfileDisplayParamsSetBlackLuminance(p, 0.5, nullptr);
    });
    const Patches patches;
    const Object object(KVDisplayProfileObjectRefCreate(params.get(), nullptr));
    ASSERT_EQ(KVDiplayProfileObjectSetPatches(object.get(), patches.targets.colors, patches.measured.colors, patches.count),
              KVSuccess);
    ASSERT_EQ(KVDiplayProfileObjectBuildProfile(object.get()), KVSuccess);
    QTemporaryDir folder;
    const QString path = folder.filePath("KVL_4A1C_DICOM_Office.icm");
    ASSERT_EQ(KVDisplayProfileObjectSaveProfile(object.get(), Text("<CxF/>").get(), Text(path).get()), KVSuccess);

    cmsHPROFILE profile = cmsOpenProfileFromFile(QFile::encodeName(path).constData(), "r");
    ASSERT_NE(profile, nullptr);
    const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, cmsSigGreenTRCTag));
    ASSERT_NE(curve, nullptr);
    const double white = 250;
    const double low = JndIndex(0.5);
    const double high = JndIndex(white);
    EXPECT_NEAR(cmsEvalToneCurveFloat(curve, 0) * white, 0.5, 0.01);
    EXPECT_NEAR(cmsEvalToneCurveFloat(curve, 1), 1.0, 1e-6);
    for (const double v : {0.1, 0.25, 0.5, 0.75, 0.9}) {
        const double luminance = cmsEvalToneCurveFloat(curve, cmsFloat32Number(v)) * white;
        EXPECT_NEAR(JndIndex(luminance), low + v * (high - low), 0.5) << v;
    }
    cmsCloseProfile(profile);
}

TEST(SpectrineDisplayProfilesTest, BuildAndSaveFailures)
{
    const auto withoutGreen = [] {
        auto patches = TestSupport::PanelPatches(Panel());
        patches.erase(patches.begin() + 3);  // white, black, red, green ...
        return patches;
    }();
    const struct {
        const char* name;
        std::function<void(KVProfileDisplayParamsRef)> setup;
        std::vector<MeasuredPatch> patches;
        KVStatus status;
    } builds[] = {
        {"no tone curve", [](auto) {}, TestSupport::PanelPatches(Panel()), KVErrorUnsupported},
        {"no green patch", [](auto p) { KVProfileDisplayParamsSetGamma(p, 2.2, nullptr); }, withoutGreen,
         KVErrorInvalidData},
        {"black above white", [](auto p) {
             KVProfileDisplayParamsSetBT1886_EOTF(p, nullptr);
             KVProfileDisplayParamsSetBlackLuminance(p, 300, nullptr);
         },
         TestSupport::PanelPatches(Panel()), KVErrorInvalidData},
    };
    QTemporaryDir folder;
    const QString path = folder.filePath("profile.icm");
    for (const auto& b : builds) {
        SCOPED_TRACE(b.name);
        const Params params = MakeParams(b.setup);
        const Patches patches(b.patches);
        const Object object(KVDisplayProfileObjectRefCreate(params.get(), nullptr));
        ASSERT_EQ(KVDiplayProfileObjectSetPatches(object.get(), patches.targets.colors, patches.measured.colors,
                                                  patches.count),
                  KVSuccess);
        EXPECT_EQ(KVDiplayProfileObjectBuildProfile(object.get()), b.status);
        EXPECT_EQ(KVDisplayProfileObjectSaveProfile(object.get(), Text("<CxF/>").get(), Text(path).get()),
                  KVErrorNotAvailable);
        EXPECT_FALSE(QFile::exists(path));
    }

    const Params params = MakeParams([](auto p) { KVProfileDisplayParamsSetGamma(p, 2.2, nullptr); });
    const Patches patches;
    const Object object(KVDisplayProfileObjectRefCreate(params.get(), nullptr));
    KVStatus status = KVSuccess;
    EXPECT_EQ(KVDisplayProfileObjectRefCreate(nullptr, &status), nullptr);
    EXPECT_EQ(status, KVErrorInvalidArgument);
    EXPECT_EQ(KVDiplayProfileObjectSetPatches(object.get(), nullptr, patches.measured.colors, 3), KVErrorInvalidArgument);
    EXPECT_EQ(KVDiplayProfileObjectSetPatches(object.get(), patches.targets.colors, patches.measured.colors, 0),
              KVErrorInvalidArgument);
    // Device RGB is no measurement.
    EXPECT_EQ(KVDiplayProfileObjectSetPatches(object.get(), patches.targets.colors, patches.targets.colors, 3),
              KVErrorInvalidArgument);
    EXPECT_EQ(KVDiplayProfileObjectBuildProfile(object.get()), KVErrorInvalidData);
    ASSERT_EQ(KVDiplayProfileObjectSetPatches(object.get(), patches.targets.colors, patches.measured.colors, patches.count),
              KVSuccess);
    ASSERT_EQ(KVDiplayProfileObjectBuildProfile(object.get()), KVSuccess);
    EXPECT_EQ(KVDisplayProfileObjectSaveProfile(object.get(), nullptr, Text(path).get()), KVErrorInvalidArgument);
    EXPECT_EQ(KVDisplayProfileObjectSaveProfile(object.get(), Text("").get(), Text(path).get()), KVErrorInvalidArgument);
    EXPECT_FALSE(QFile::exists(path));
    // A target that cannot be replaced stays as it was.
    QDir(folder.path()).mkdir("folder.icm");
    EXPECT_EQ(KVDisplayProfileObjectSaveProfile(object.get(), Text("<CxF/>").get(), Text(folder.filePath("folder.icm")).get()),
              KVErrorFileWrite);
    EXPECT_TRUE(QDir(folder.filePath("folder.icm")).isEmpty());
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    KVDisplayProfileObjectRefRelease(nullptr);
}

TEST(SpectrineDisplayProfilesTest, BackLightScalingScalesToTheWhiteLuminance)
{
    const Patches patches;
    const auto yxy = [](double Y, double x, double y) {
        const double coordinates[] = {Y, x, y};
        return EngineTest::Color(KVColorCreate(coordinates, 3, KVColorSpaceYxy, 0, nullptr));
    };
    const EngineTest::Color white = yxy(125, 0.3127, 0.3290);
    KVStatus status = -1;
    Chart scaled;
    scaled.colors = KVDisplayBackLightScaleMeasuremmentsForWhitePoint(white.get(), patches.targets.colors,
                                                                     patches.measured.colors, patches.count, &status);
    scaled.count = patches.count;
    ASSERT_EQ(status, KVSuccess);
    for (std::int32_t i = 0; i < patches.count; ++i) {
        double before[3], after[3];
        KVColorGetCoordinates(patches.measured.colors[i], before, nullptr);
        KVColorGetCoordinates(scaled.colors[i], after, nullptr);
        for (int j = 0; j < 3; ++j) {
            EXPECT_NEAR(after[j], before[j] * 0.5, 1e-9);
        }
    }
    // Measurements in Yxy keep their chromaticity.
    KVColorRef inYxy[1] = {KVConvertColor(patches.measured.colors[0], KVColorSpaceYxy, nullptr)};
    Chart single;
    single.colors = KVDisplayBackLightScaleMeasuremmentsForWhitePoint(white.get(), patches.targets.colors, inYxy, 1, &status);
    single.count = 1;
    ASSERT_EQ(status, KVSuccess);
    double before[3], after[3];
    KVColorGetCoordinates(inYxy[0], before, nullptr);
    KVColorGetCoordinates(single.colors[0], after, nullptr);
    EXPECT_NEAR(after[0], 125, 1e-9);
    EXPECT_DOUBLE_EQ(after[1], before[1]);
    EXPECT_DOUBLE_EQ(after[2], before[2]);
    KVColorRelease(inYxy[0]);

    const EngineTest::Color dark = yxy(0, 0.3127, 0.3290);
    const EngineTest::Color flat = yxy(100, 0.3127, 0);
    const double xyz[] = {95, 100, 108};
    const EngineTest::Color notYxy(KVColorCreate(xyz, 3, KVColorSpaceXYZ, 0, nullptr));
    const double nothing[] = {0, 0, 0};
    const EngineTest::Color unlit(KVColorCreate(nothing, 3, KVColorSpaceXYZ, 0, nullptr));
    const KVColorRef darkWhite[] = {unlit.get()};
    const struct {
        const char* name;
        KVColorRef white;
        const KVColorRef* targets;
        const KVColorRef* measured;
        std::int32_t count;
        KVStatus status;
    } failures[] = {
        {"no white", nullptr, patches.targets.colors, patches.measured.colors, patches.count, KVErrorInvalidArgument},
        {"white not Yxy", notYxy.get(), patches.targets.colors, patches.measured.colors, patches.count,
         KVErrorInvalidArgument},
        {"Y of 0", dark.get(), patches.targets.colors, patches.measured.colors, patches.count, KVErrorInvalidArgument},
        {"y of 0", flat.get(), patches.targets.colors, patches.measured.colors, patches.count, KVErrorInvalidArgument},
        {"no targets", white.get(), nullptr, patches.measured.colors, patches.count, KVErrorInvalidArgument},
        {"no measurements", white.get(), patches.targets.colors, nullptr, patches.count, KVErrorInvalidArgument},
        {"empty charts", white.get(), patches.targets.colors, patches.measured.colors, 0, KVErrorInvalidArgument},
        // The first patch is white; the second black.
        {"no white patch", white.get(), patches.targets.colors + 1, patches.measured.colors + 1, patches.count - 1,
         KVErrorInvalidData},
        {"white measured dark", white.get(), patches.targets.colors, darkWhite, 1,
         KVErrorInvalidArgument},
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(f.name);
        status = KVSuccess;
        EXPECT_EQ(KVDisplayBackLightScaleMeasuremmentsForWhitePoint(f.white, f.targets, f.measured, f.count, &status),
                  nullptr);
        EXPECT_EQ(status, f.status);
    }
}

}  // namespace
