#include "Spectrine/Spectrine.h"
#include "WindowsStandIn/StateFile.h"
#include "tests/fixtures/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <lcms2.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace {

struct ColorDeleter {
    void operator()(KVColor* color) const { KVColorRelease(color); }
};
using Color = std::unique_ptr<KVColor, ColorDeleter>;

Color Make(double a, double b, double c, std::int32_t space, KVStatus* status = nullptr)
{
    const double coordinates[] = {a, b, c};
    return Color(KVColorCreate(coordinates, 3, space, 0, status));
}

TEST(SpectrineColorsTest, CreationRefusesWhatIsNoColour)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    const double good[] = {1, 2, 3};
    const double bad[] = {1, nan, 3};
    const double endless[] = {infinity, 2, 3};
    const struct {
        const char* name;
        const double* coordinates;
        std::int32_t count, space, reserved;
    } cases[] = {
        {"no coordinates", nullptr, 3, KVColorSpaceXYZ, 0},
        {"two coordinates", good, 2, KVColorSpaceXYZ, 0},
        {"four coordinates", good, 4, KVColorSpaceXYZ, 0},
        {"unknown space 2", good, 3, 2, 0},
        {"unknown space -1", good, 3, -1, 0},
        {"reserved not 0", good, 3, KVColorSpaceRGB, 1},
        {"NaN", bad, 3, KVColorSpaceYxy, 0},
        {"infinity", endless, 3, KVColorSpaceYxy, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        KVStatus status = KVSuccess;
        EXPECT_EQ(KVColorCreate(c.coordinates, c.count, c.space, c.reserved, &status), nullptr);
        EXPECT_EQ(status, KVErrorInvalidArgument);
    }

    KVStatus status = -1;
    const Color color = Make(255, 0, 128, KVColorSpaceRGB, &status);
    ASSERT_EQ(status, KVSuccess);
    EXPECT_EQ(KVColorGetNumberOfCoordinates(color.get(), &status), 3);
    double read[3] = {};
    EXPECT_EQ(KVColorGetCoordinates(color.get(), read, &status), 3);
    EXPECT_EQ(read[0], 255);
    EXPECT_EQ(read[2], 128);

    const double changed[] = {1, 2, 3};
    KVColorSetCoordinates(color.get(), changed, &status);
    EXPECT_EQ(status, KVSuccess);
    KVColorSetCoordinates(color.get(), bad, &status);
    EXPECT_EQ(status, KVErrorInvalidArgument);
    KVColorGetCoordinates(color.get(), read, &status);
    EXPECT_EQ(read[1], 2) << "a refused change leaves the colour as it was";

    EXPECT_EQ(KVColorGetCoordinates(nullptr, read, &status), 0);
    EXPECT_EQ(status, KVErrorInvalidArgument);
    EXPECT_EQ(KVColorGetNumberOfCoordinates(nullptr, &status), 0);
    EXPECT_EQ(status, KVErrorInvalidArgument);
    KVColorRelease(nullptr);
    KVReleaseChart(nullptr, 3);
}

TEST(SpectrineColorsTest, XyzAndYxyConvertAsLittleCms)
{
    // The colorants of a profile nobody here wrote.
    cmsHPROFILE profile = cmsOpenProfileFromFile("/usr/share/color/icc/colord/AdobeRGB1998.icc", "r");
    ASSERT_NE(profile, nullptr);
    for (const cmsTagSignature tag : {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag,
                                      cmsSigMediaWhitePointTag}) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tag));
        ASSERT_NE(xyz, nullptr);
        cmsCIExyY expected;
        cmsXYZ2xyY(&expected, xyz);
        KVStatus status = -1;
        const Color source = Make(xyz->X * 80, xyz->Y * 80, xyz->Z * 80, KVColorSpaceXYZ);
        const Color yxy(KVConvertColor(source.get(), KVColorSpaceYxy, &status));
        ASSERT_EQ(status, KVSuccess);
        double c[3] = {};
        ASSERT_EQ(KVColorGetCoordinates(yxy.get(), c, &status), 3);
        EXPECT_NEAR(c[0], xyz->Y * 80, 1e-12);
        EXPECT_NEAR(c[1], expected.x, 1e-12);
        EXPECT_NEAR(c[2], expected.y, 1e-12);

        const Color back(KVConvertColor(yxy.get(), KVColorSpaceXYZ, &status));
        ASSERT_EQ(status, KVSuccess);
        KVColorGetCoordinates(back.get(), c, &status);
        EXPECT_NEAR(c[0], xyz->X * 80, 1e-9);
        EXPECT_NEAR(c[2], xyz->Z * 80, 1e-9);
    }
    cmsCloseProfile(profile);

    const struct {
        const char* name;
        double coordinates[3];
        std::int32_t from, to;
        KVStatus status;
        double result[3];
    } cases[] = {
        {"black XYZ", {0, 0, 0}, KVColorSpaceXYZ, KVColorSpaceYxy, KVSuccess, {0, 0, 0}},
        {"black Yxy", {0, 0, 0}, KVColorSpaceYxy, KVColorSpaceXYZ, KVSuccess, {0, 0, 0}},
        {"Yxy with y 0", {5, 0.3, 0}, KVColorSpaceYxy, KVColorSpaceXYZ, KVErrorInvalidArgument, {}},
        {"same space", {255, 0, 0}, KVColorSpaceRGB, KVColorSpaceRGB, KVSuccess, {255, 0, 0}},
        {"device RGB", {255, 0, 0}, KVColorSpaceRGB, KVColorSpaceYxy, KVErrorUnsupported, {}},
        {"into RGB", {1, 1, 1}, KVColorSpaceXYZ, KVColorSpaceRGB, KVErrorUnsupported, {}},
        {"unknown space", {1, 1, 1}, KVColorSpaceXYZ, 3, KVErrorInvalidArgument, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Color source = Make(c.coordinates[0], c.coordinates[1], c.coordinates[2], c.from);
        KVStatus status = -1;
        const Color converted(KVConvertColor(source.get(), c.to, &status));
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(converted == nullptr, c.status != KVSuccess);
        if (converted != nullptr) {
            double result[3] = {};
            KVColorGetCoordinates(converted.get(), result, &status);
            EXPECT_EQ(result[0], c.result[0]);
            EXPECT_EQ(result[1], c.result[1]);
            EXPECT_EQ(result[2], c.result[2]);
        }
    }
}

TEST(SpectrineColorsTest, ColourTemperature)
{
    const auto xyz = [](double x, double y) { return std::array<double, 3>{x / y, 1.0, (1 - x - y) / y}; };
    const struct {
        const char* name;
        std::array<double, 3> xyz;
        KVStatus status;
        double kelvin;
    } cases[] = {
        {"D65", xyz(0.3127, 0.3290), KVSuccess, 6504},
        {"D50", xyz(0.3457, 0.3585), KVSuccess, 5003},
        {"illuminant A", xyz(0.44757, 0.40745), KVSuccess, 2856},
        {"D65 at 250 cd/m2", {0.3127 / 0.3290 * 250, 250, (1 - 0.3127 - 0.3290) / 0.3290 * 250}, KVSuccess, 6504},
        {"red primary", xyz(0.64, 0.33), KVErrorUnsupported, 0},
        {"black", {0, 0, 0}, KVErrorInvalidArgument, 0},
        {"negative Y", {-0.9, -1, -1}, KVErrorInvalidArgument, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        KVStatus status = -1;
        const double kelvin = KVGetColorTempFromXYZ(c.xyz[0], c.xyz[1], c.xyz[2], &status);
        EXPECT_EQ(status, c.status);
        EXPECT_NEAR(kelvin, c.kelvin, 5) << "published values of the illuminants";
    }
}

TEST(SpectrineColorsTest, MachineInjectsFailures)
{
    QTemporaryDir machine;
    const TestSupport::ScopedEnvironment chosen(WinSim::MachineVariable, QFile::encodeName(machine.path()).constData());
    WinSim::SetInjectedFailure(QStringLiteral("KVColorCreate"), 4);
    KVStatus status = KVSuccess;
    EXPECT_EQ(Make(1, 2, 3, KVColorSpaceXYZ, &status), nullptr);
    EXPECT_EQ(status, 4);
    WinSim::SetInjectedFailure(QStringLiteral("KVColorCreate"), 0);
    EXPECT_NE(Make(1, 2, 3, KVColorSpaceXYZ, &status), nullptr);
    EXPECT_EQ(status, KVSuccess);
}

}  // namespace
