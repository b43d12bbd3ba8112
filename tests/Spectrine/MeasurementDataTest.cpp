#include "Spectrine/Internal.h"
#include "Spectrine/Spectrine.h"
#include "tests/Spectrine/EngineHandles.h"
#include "tests/fixtures/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <lcms2.h>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <vector>

namespace {

using namespace EngineTest;
using Triple = std::array<double, 3>;

const QString ColordProfiles = QStringLiteral("/usr/share/color/icc/colord");

// Targets and measured XYZ of a small display measurement: white, black, red, green, blue and a grey.
const std::vector<Triple> Targets = {{255, 255, 255}, {0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {128, 128, 128}};
const std::vector<Triple> Measured = {{237.6, 250.0, 272.3}, {0.19, 0.2, 0.22}, {103.1, 53.2, 4.8},
                                      {89.4, 178.8, 29.8}, {45.1, 18.0, 237.6}, {50.9, 53.5, 58.3}};

std::vector<KVColorRef> Colors(const std::vector<Triple>& values, std::int32_t space)
{
    std::vector<KVColorRef> colors;
    for (const Triple& value : values) {
        colors.push_back(KVColorCreate(value.data(), 3, space, 0, nullptr));
    }
    return colors;
}

void Release(std::vector<KVColorRef>& colors)
{
    for (KVColorRef color : colors) {
        KVColorRelease(color);
    }
}

std::vector<Triple> Read(const Chart& chart)
{
    std::vector<Triple> values;
    for (std::int32_t i = 0; i < chart.count; ++i) {
        Triple value{};
        EXPECT_EQ(KVColorGetCoordinates(chart.colors[i], value.data(), nullptr), 3);
        values.push_back(value);
    }
    return values;
}

// The measurement text of the sets, attributes and parameters, as the engine writes it.
QString Write(const std::vector<std::pair<QString, std::pair<std::vector<Triple>, std::int32_t>>>& sets,
              KVNameValueMapRef attributes, KVProfileDisplayParamsRef params)
{
    KVStatus status = -1;
    const Stream stream(KVCxf3OpenStream(&status));
    EXPECT_EQ(status, KVSuccess);
    for (const auto& [name, set] : sets) {
        std::vector<KVColorRef> colors = Colors(set.first, set.second);
        std::int32_t index = -1;
        KVCxf3AddColors(stream.get(), Text(name).get(), colors.data(), std::int32_t(colors.size()), params, &index,
                        &status);
        EXPECT_EQ(status, KVSuccess) << name;
        Release(colors);
    }
    if (attributes != nullptr) {
        KVCxf3AddCustomAttributes(stream.get(), attributes, &status);
        EXPECT_EQ(status, KVSuccess);
    }
    if (params != nullptr) {
        KVCxf3AddProfileParams(stream.get(), params, &status);
        EXPECT_EQ(status, KVSuccess);
    }
    const char* text = nullptr;
    std::size_t length = 0;
    KVCxf3WriteStream(stream.get(), &text, &length, &status);
    EXPECT_EQ(status, KVSuccess);
    return QString::fromUtf8(text, qsizetype(length));
}

QString WriteDisplayData(KVProfileDisplayParamsRef params, KVNameValueMapRef attributes = nullptr)
{
    return Write({{"Measurement", {Measured, KVColorSpaceXYZ}}, {"Target", {Targets, KVColorSpaceRGB}}}, attributes,
                 params);
}

struct Unmarshalled {
    Chart measured, targets;
    Params params;
    QString error;
    KVStatus status = -1;
};

void Unmarshal(const QString& text, Unmarshalled& out)
{
    const Stream stream(KVCxf3OpenStream(nullptr));
    const ProcessParams process(KVCxf3ProcessFileParamsCreate(nullptr));
    std::int32_t count = -1;
    KVProfileDisplayParamsRef params = nullptr;
    KVUniStringRef error = nullptr;
    KVDataUnmarshalFromCxf3(stream.get(), Text(text).get(), process.get(), &out.measured.colors, &out.targets.colors,
                            &count, &params, &error, &out.status);
    out.measured.count = out.targets.count = count;
    out.params.reset(params);
    ASSERT_NE(error, nullptr);
    out.error = Utf8(error);
    KVUniStringRelease(error);
}

TEST(SpectrineMeasurementDataTest, WrittenDataReadsBackWhole)
{
    const struct {
        const char* name;
        std::function<void(KVProfileDisplayParamsRef)> set;
        std::int32_t gammaType;
        double gamma;
        std::array<double, 5> custom;
        std::int32_t whiteType;
        Triple white;
    } cases[] = {
        {"power law, D65",
         [](KVProfileDisplayParamsRef p) {
             KVProfileDisplayParamsSetGamma(p, 2.2, nullptr);
             KVProfileDisplayParamsSetWhitePointCIEIlluminant(p, KVIlluminantD65, nullptr);
             KVProfileDisplayParamsSetTargetLuminosity(p, 249, nullptr);
         },
         KVGammaTypeStandard, 2.2, {}, KVWhitePointTypeCIEIlluminant, {249, 0.3127, 0.3290}},
        {"custom curve, native white",
         [](KVProfileDisplayParamsRef p) {
             KVProfileDisplayParamsSetCustomGamma(p, 2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045, nullptr);
             KVProfileDisplayParamsSetNativeWhitePoint(p, nullptr);
         },
         KVGammaTypeCustom, 0, {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045}, KVWhitePointTypeNative,
         {250.0, 237.6 / 759.9, 250.0 / 759.9}},
        {"BT.1886, D50",
         [](KVProfileDisplayParamsRef p) {
             KVProfileDisplayParamsSetBT1886_EOTF(p, nullptr);
             KVProfileDisplayParamsSetWhitePointCIEIlluminant(p, KVIlluminantD50, nullptr);
         },
         KVGammaTypeBt1886, 0, {}, KVWhitePointTypeCIEIlluminant, {0, 0.3457, 0.3585}},
        {"sRGB curve", [](KVProfileDisplayParamsRef p) { KVProfileDisplayParamsSetSRGBGamma(p, nullptr); },
         KVGammaTypeSrgb, 0, {}, KVWhitePointTypeNone, {}},
        {"DICOM curve", [](KVProfileDisplayParamsRef p) { KVProfileDisplayParamsSetDICOM_EOTF(p, nullptr); },
         KVGammaTypeDicom, 0, {}, KVWhitePointTypeNone, {}},
        {"nothing set", [](KVProfileDisplayParamsRef) {}, KVGammaTypeNone, 0, {}, KVWhitePointTypeNone, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Params written(KVProfileDisplayParamsCreate(nullptr));
        c.set(written.get());
        KVProfileDisplayParamsSetProfileType(written.get(), KVProfileTypeMatrixTrcMhc2, nullptr);
        KVProfileDisplayParamsSetContrastRatio(written.get(), 1500, nullptr);
        const Map attributes(KVNameValueMapCreate(nullptr));
        KVNameValueMapAddValue(attributes.get(), Text("AppName").get(), Text("Korvel Tintwise").get(), nullptr);
        KVNameValueMapAddValue(attributes.get(), Text("Note").get(), Text("<\"&'> äß").get(), nullptr);

        Unmarshalled read;
        Unmarshal(WriteDisplayData(written.get(), attributes.get()), read);
        ASSERT_EQ(read.status, KVSuccess) << read.error;
        EXPECT_EQ(read.error, "");
        EXPECT_EQ(Read(read.measured), Measured);
        EXPECT_EQ(Read(read.targets), Targets);

        KVStatus status = -1;
        KVProfileDisplayParamsRef p = read.params.get();
        EXPECT_EQ(KVProfileDisplayParamsGetGammaType(p, &status), c.gammaType);
        EXPECT_EQ(status, KVSuccess);
        const double gamma = KVProfileDisplayParamsGetGamma(p, &status);
        EXPECT_EQ(status, c.gammaType == KVGammaTypeStandard ? KVSuccess : KVErrorNotAvailable);
        EXPECT_EQ(gamma, c.gamma);
        std::array<double, 5> custom{};
        KVProfileDisplayParamsGetCustomGamma(p, &custom[0], &custom[1], &custom[2], &custom[3], &custom[4], &status);
        EXPECT_EQ(status, c.gammaType == KVGammaTypeCustom ? KVSuccess : KVErrorNotAvailable);
        EXPECT_EQ(custom, c.custom);
        EXPECT_EQ(KVProfileDisplayParamsGetWhitePointType(p, &status), c.whiteType);
        Triple white{};
        KVProfileDisplayParamsGetWhiteYxy(p, &white[0], &white[1], &white[2], &status);
        EXPECT_EQ(status, c.whiteType == KVWhitePointTypeNone ? KVErrorNotAvailable : KVSuccess);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_NEAR(white[i], c.white[i], 1e-12);
        }
        EXPECT_EQ(KVProfileDisplayParamsGetProfileType(p, &status), KVProfileTypeMatrixTrcMhc2);
        EXPECT_EQ(p->contrastRatio, 1500);
        const KVNameValueMapRef readAttributes = KVProfileDisplayParamsGetCustomAttributes(p, &status);
        ASSERT_NE(readAttributes, nullptr);
        EXPECT_EQ(readAttributes->entries, attributes->entries);
    }
}

TEST(SpectrineMeasurementDataTest, TextIsWellFormedXml)
{
    const Params params(KVProfileDisplayParamsCreate(nullptr));
    KVProfileDisplayParamsSetGamma(params.get(), 2.2, nullptr);
    const Map attributes(KVNameValueMapCreate(nullptr));
    KVNameValueMapAddValue(attributes.get(), Text("Note").get(), Text("<a & b> \"c\" 'd'").get(), nullptr);
    QTemporaryDir folder;
    QFile file(folder.filePath("data.xml"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(WriteDisplayData(params.get(), attributes.get()).toUtf8());
    file.close();
    const TestSupport::ProcessResult result = TestSupport::Run("xmllint", {"--noout", file.fileName()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
}

TEST(SpectrineMeasurementDataTest, DataThatDoesNotFitTogetherIsRefused)
{
    const QString measured = "<ObjectCollection Name=\"Measurement\"><Object Id=\"1\"><ColorCIEXYZ X=\"1\" Y=\"2\" "
                             "Z=\"3\"/></Object></ObjectCollection>";
    const QString target = "<ObjectCollection Name=\"Target\"><Object Id=\"1\"><ColorRGB R=\"255\" G=\"0\" "
                           "B=\"0\"/></Object></ObjectCollection>";
    const QString params = "<CustomResources><DisplayParameters/></CustomResources>";
    const auto document = [](const QString& resources, const QString& custom) {
        return "<?xml version=\"1.0\"?><CxF><Resources>" + resources + "</Resources>" + custom + "</CxF>";
    };
    const auto withParameter = [&](const QString& element) {
        return document(measured + target, "<CustomResources><DisplayParameters>" + element +
                                               "</DisplayParameters></CustomResources>");
    };
    const struct {
        const char* name;
        QString text;
        const char* error;
    } cases[] = {
        {"empty text", "", ""},
        {"no XML", "Measurement 1 2 3", ""},
        {"other root", "<Profile/>", "no CxF element"},
        {"unclosed element", document(measured + target, params).chopped(3), ""},
        {"no measured colours", document(target, params), "no colour set \"Measurement\""},
        {"no targets", document(measured, params), "no colour set \"Target\""},
        {"no parameters", document(measured + target, ""), "no display parameters"},
        {"sets of other sizes",
         document(measured + QString(target).replace("</ObjectCollection>",
                                            "<Object Id=\"2\"><ColorRGB R=\"0\" G=\"0\" B=\"0\"/></Object>"
                                            "</ObjectCollection>"),
                  params),
         "differ in size"},
        {"two sets of one name", document(measured + measured + target, params), "two colour sets Measurement"},
        {"mixed colour spaces",
         document(QString(measured).replace("</ObjectCollection>",
                                            "<Object Id=\"2\"><ColorRGB R=\"0\" G=\"0\" B=\"0\"/></Object>"
                                            "</ObjectCollection>") +
                      target,
                  params),
         "mixes colour spaces"},
        {"object without colour",
         document(QString(measured).replace("<ColorCIEXYZ X=\"1\" Y=\"2\" Z=\"3\"/>", "") + target, params),
         "Object without a colour"},
        {"unknown colour", document(QString(measured).replace("ColorCIEXYZ", "ColorLab") + target, params),
         "unknown colour ColorLab"},
        {"coordinate missing", document(QString(measured).replace(" Z=\"3\"", "") + target, params),
         "ColorCIEXYZ without Z"},
        {"coordinate no number", document(QString(measured).replace("\"3\"", "\"3,5\"") + target, params),
         "ColorCIEXYZ Z is no number"},
        {"coordinate not finite", document(QString(measured).replace("\"3\"", "\"inf\"") + target, params),
         "ColorCIEXYZ Z is no number"},
        {"unknown gamma type", withParameter("<ToneCurve GammaType=\"9\"/>"), "ToneCurve out of range"},
        {"power law of 0", withParameter("<ToneCurve GammaType=\"0\" Gamma=\"0\"/>"), "ToneCurve out of range"},
        {"power law without exponent", withParameter("<ToneCurve GammaType=\"0\"/>"), "ToneCurve without Gamma"},
        {"custom curve incomplete", withParameter("<ToneCurve GammaType=\"1\" Gamma=\"2.4\" A=\"1\" B=\"0\"/>"),
         "ToneCurve without C"},
        {"unknown illuminant", withParameter("<WhitePoint Type=\"0\" Illuminant=\"4\"/>"), "WhitePoint out of range"},
        {"unknown white type", withParameter("<WhitePoint Type=\"3\"/>"), "WhitePoint out of range"},
        {"negative luminance", withParameter("<TargetLuminosity Value=\"-1\"/>"), "TargetLuminosity out of range"},
        {"version 3", withParameter("<ProfileVersion Value=\"3\"/>"), "ProfileVersion out of range"},
        {"profile type 5", withParameter("<ProfileType Value=\"5\"/>"), "ProfileType out of range"},
        {"fractional patch sets", withParameter("<InitialPatchSets Value=\"2.5\"/>"),
         "InitialPatchSets Value is no whole number"},
        {"boolean spelled otherwise", withParameter("<HasInternalLUTs Value=\"yes\"/>"),
         "HasInternalLUTs out of range"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Unmarshalled read;
        Unmarshal(c.text, read);
        EXPECT_EQ(read.status, KVErrorInvalidData);
        EXPECT_TRUE(read.error.contains(QLatin1String(c.error))) << read.error;
        EXPECT_FALSE(read.error.isEmpty());
        EXPECT_EQ(read.measured.colors, nullptr);
        EXPECT_EQ(read.targets.colors, nullptr);
        EXPECT_EQ(read.measured.count, 0);
        EXPECT_EQ(read.params, nullptr);
    }

    // What is unknown is skipped; what is not set stays unset.
    Unmarshalled read;
    Unmarshal(document("<Note/>" + measured + "<ObjectCollection Name=\"Spare\"/>" + target,
                       "<CustomResources><DisplayParameters><Future Value=\"1\"/></DisplayParameters>"
                       "</CustomResources><Extra/>"),
              read);
    ASSERT_EQ(read.status, KVSuccess) << read.error;
    EXPECT_EQ(read.measured.count, 1);
    EXPECT_EQ(KVProfileDisplayParamsGetGammaType(read.params.get(), nullptr), KVGammaTypeNone);
    EXPECT_EQ(KVProfileDisplayParamsGetCustomAttributes(read.params.get(), nullptr), nullptr);
}

TEST(SpectrineMeasurementDataTest, DisplayDataWithFlare)
{
    const Params params(KVProfileDisplayParamsCreate(nullptr));
    KVProfileDisplayParamsSetBT1886_EOTF(params.get(), nullptr);
    const QString text = WriteDisplayData(params.get());
    const Stream stream(KVCxf3OpenStream(nullptr));
    Chart measured, targets;
    std::int32_t count = 0, white = 9, black = 9, red = 9, green = 9, blue = 9, greys = 9;
    double flare = 9;
    KVProfileDisplayParamsRef read = nullptr;
    KVStatus status = -1;
    KVDisplayDataWithFlareUnmarshalFromCxf3(stream.get(), Text(text).get(), &measured.colors, &targets.colors, &count,
                                            &white, &black, &red, &green, &blue, &flare, &read, &greys, &status);
    const Params owned(read);
    measured.count = targets.count = count;
    ASSERT_EQ(status, KVSuccess);
    EXPECT_EQ(count, 6);
    EXPECT_EQ(Read(measured), Measured);
    EXPECT_EQ((std::array{white, black, red, green, blue, greys}), (std::array{0, 1, 2, 3, 4, 1}));
    EXPECT_DOUBLE_EQ(flare, 0.2);
    EXPECT_EQ(KVProfileDisplayParamsGetGammaType(read, nullptr), KVGammaTypeBt1886);

    // Without black, white or primaries the indices say so.
    const QString sparse = Write({{"Measurement", {{{50.9, 53.5, 58.3}}, KVColorSpaceXYZ}},
                                  {"Target", {{{128, 128, 128}}, KVColorSpaceRGB}}},
                                 nullptr, params.get());
    Chart m2, t2;
    KVProfileDisplayParamsRef read2 = nullptr;
    KVDisplayDataWithFlareUnmarshalFromCxf3(stream.get(), Text(sparse).get(), &m2.colors, &t2.colors, &count, &white,
                                            &black, &red, &green, &blue, &flare, &read2, &greys, &status);
    const Params owned2(read2);
    m2.count = t2.count = count;
    ASSERT_EQ(status, KVSuccess);
    EXPECT_EQ((std::array{white, black, red, green, blue, greys}), (std::array{-1, -1, -1, -1, -1, 1}));
    EXPECT_EQ(flare, 0);
}

TEST(SpectrineMeasurementDataTest, StreamRefusesSetsItCannotWrite)
{
    const Stream stream(KVCxf3OpenStream(nullptr));
    std::vector<KVColorRef> xyz = Colors(Measured, KVColorSpaceXYZ);
    std::vector<KVColorRef> mixed = {xyz[0], xyz[1]};
    const double rgb[] = {255, 0, 0};
    KVColorRef device = KVColorCreate(rgb, 3, KVColorSpaceRGB, 0, nullptr);
    mixed.push_back(device);
    const struct {
        const char* name;
        const char* set;
        const KVColorRef* chart;
        std::int32_t count;
    } cases[] = {
        {"no name", "", xyz.data(), 2},
        {"mixed colour spaces", "Mixed", mixed.data(), 3},
        {"no chart", "Missing", nullptr, 2},
        {"negative count", "Negative", xyz.data(), -1},
        {"name taken", "Measurement", xyz.data(), 2},
    };
    KVStatus status = -1;
    KVCxf3AddColors(stream.get(), Text("Measurement").get(), xyz.data(), std::int32_t(xyz.size()), nullptr, nullptr,
                    &status);
    ASSERT_EQ(status, KVSuccess);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        status = KVSuccess;
        std::int32_t index = -1;
        KVCxf3AddColors(stream.get(), Text(c.set).get(), c.chart, c.count, nullptr, &index, &status);
        EXPECT_EQ(status, KVErrorInvalidArgument);
        EXPECT_EQ(index, -1);
    }
    std::int32_t index = -1;
    KVCxf3AddColors(stream.get(), Text("Empty").get(), nullptr, 0, nullptr, &index, &status);
    EXPECT_EQ(status, KVSuccess);
    EXPECT_EQ(index, 1);
    Release(xyz);
    KVColorRelease(device);

    KVCxf3CloseStream(nullptr, &status);
    EXPECT_EQ(status, KVErrorInvalidArgument);
    KVCxf3WriteStream(nullptr, nullptr, nullptr, &status);
    EXPECT_EQ(status, KVErrorInvalidArgument);
}

TEST(SpectrineMeasurementDataTest, ProfileTagHoldsTheText)
{
    QTemporaryDir folder;
    const auto withTag = [&](const char* name, const QByteArray& raw) {
        const QString path = folder.filePath(name);
        cmsHPROFILE profile = cmsOpenProfileFromFile(QFile::encodeName(ColordProfiles + "/sRGB.icc").constData(), "r");
        EXPECT_TRUE(cmsWriteRawTag(profile, cmsTagSignature(KVCxfTagSignature), raw.constData(),
                                   cmsUInt32Number(raw.size())));
        EXPECT_TRUE(cmsSaveProfileToFile(profile, QFile::encodeName(path).constData()));
        cmsCloseProfile(profile);
        return path;
    };
    const QByteArray text = "<?xml version=\"1.0\"?><CxF/>";
    const QByteArray header("utf8\0\0\0\0", 8);
    const struct {
        const char* name;
        QString path;
        KVStatus status;
        QByteArray text;
    } cases[] = {
        {"tag with NUL", withTag("nul.icc", header + text + '\0'), KVSuccess, text},
        {"tag without NUL", withTag("plain.icc", header + text), KVSuccess, text},
        {"empty text", withTag("empty.icc", header), KVSuccess, ""},
        {"other tag type", withTag("text.icc", QByteArray("text\0\0\0\0", 8) + text), KVErrorInvalidData, ""},
        {"short tag", withTag("short.icc", "utf8"), KVErrorInvalidData, ""},
        {"profile without the tag", ColordProfiles + "/Rec709.icc", KVErrorTagNotFound, ""},
        {"missing file", folder.filePath("missing.icc"), KVErrorFileNotFound, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        KVStatus status = -1;
        const String buffer(KVProfileGetCxfDataBuffer(Text(c.path).get(), &status));
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(buffer == nullptr, c.status != KVSuccess);
        if (buffer != nullptr) {
            EXPECT_EQ(QByteArray(KVUniStringToUtf8(buffer.get())), c.text);
        }
    }
}

TEST(SpectrineMeasurementDataTest, WinsimMakesCallsFail)
{
    const TestSupport::TemporaryMachine machine;
    ASSERT_EQ(TestSupport::RunWinsim({"fail", "KVCxf3OpenStream", "4"}).exitCode, 0);
    KVStatus status = KVSuccess;
    EXPECT_EQ(KVCxf3OpenStream(&status), nullptr);
    EXPECT_EQ(status, 4);
    ASSERT_EQ(TestSupport::RunWinsim({"fail", "KVCxf3OpenStream", "0"}).exitCode, 0);
    const Stream stream(KVCxf3OpenStream(&status));
    EXPECT_EQ(status, KVSuccess);
}

TEST(SpectrineDisplayParamsTest, SettersRefuseValuesOutOfRange)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* name;
        std::function<void(KVProfileDisplayParamsRef, KVStatus*)> set;
    } cases[] = {
        {"gamma 0", [](auto p, auto s) { KVProfileDisplayParamsSetGamma(p, 0, s); }},
        {"gamma 11", [](auto p, auto s) { KVProfileDisplayParamsSetGamma(p, 11, s); }},
        {"gamma NaN", [&](auto p, auto s) { KVProfileDisplayParamsSetGamma(p, nan, s); }},
        {"custom a 0", [](auto p, auto s) { KVProfileDisplayParamsSetCustomGamma(p, 2.4, 0, 0, 1, 0, s); }},
        {"custom d 2", [](auto p, auto s) { KVProfileDisplayParamsSetCustomGamma(p, 2.4, 1, 0, 1, 2, s); }},
        {"illuminant 4", [](auto p, auto s) { KVProfileDisplayParamsSetWhitePointCIEIlluminant(p, 4, s); }},
        {"illuminant -1", [](auto p, auto s) { KVProfileDisplayParamsSetWhitePointCIEIlluminant(p, -1, s); }},
        {"negative luminosity", [](auto p, auto s) { KVProfileDisplayParamsSetTargetLuminosity(p, -1, s); }},
        {"NaN contrast", [&](auto p, auto s) { KVProfileDisplayParamsSetContrastRatio(p, nan, s); }},
        {"negative black", [](auto p, auto s) { KVProfileDisplayParamsSetBlackLuminance(p, -0.1, s); }},
        {"negative ambient", [](auto p, auto s) { KVProfileDisplayParamsSetAmbient(p, -5, s); }},
        {"negative patch sets", [](auto p, auto s) { KVProfileDisplayParamsSetNumInitialPatchSet(p, -1, s); }},
        {"negative grid points", [](auto p, auto s) { KVProfileDisplayParamsSetNumIterativeGridPoints(p, -1, s); }},
        {"version 3", [](auto p, auto s) { KVProfileDisplayParamsSetProfileVersion(p, 3, s); }},
        {"profile type 5", [](auto p, auto s) { KVProfileDisplayParamsSetProfileType(p, 5, s); }},
        {"profile type -1", [](auto p, auto s) { KVProfileDisplayParamsSetProfileType(p, -1, s); }},
        {"no dictionary", [](auto p, auto s) { KVProfileDisplayParamsSetDictTagMap(p, nullptr, s); }},
        {"no attributes", [](auto p, auto s) { KVProfileDisplayParamsSetCustomAttributes(p, nullptr, s); }},
    };
    const Params params(KVProfileDisplayParamsCreate(nullptr));
    KVProfileDisplayParamsSetGamma(params.get(), 2.2, nullptr);
    KVProfileDisplayParamsSetWhitePointCIEIlluminant(params.get(), KVIlluminantD65, nullptr);
    KVProfileDisplayParamsSetTargetLuminosity(params.get(), 250, nullptr);
    const QString before = WriteDisplayData(params.get());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        KVStatus status = KVSuccess;
        c.set(params.get(), &status);
        EXPECT_EQ(status, KVErrorInvalidArgument);
        status = KVSuccess;
        c.set(nullptr, &status);
        EXPECT_EQ(status, KVErrorInvalidArgument);
    }
    EXPECT_EQ(WriteDisplayData(params.get()), before) << "refused values change nothing";

    // Maps are copied: the caller may change or release its own.
    Map map(KVNameValueMapCreate(nullptr));
    KVNameValueMapAddValue(map.get(), Text("Brightness").get(), Text("80").get(), nullptr);
    KVProfileDisplayParamsSetDictTagMap(params.get(), map.get(), nullptr);
    KVNameValueMapAddValue(map.get(), Text("Brightness").get(), Text("90").get(), nullptr);
    KVStatus status = -1;
    KVNameValueMapAddValue(map.get(), Text("").get(), Text("x").get(), &status);
    EXPECT_EQ(status, KVErrorInvalidArgument);
    EXPECT_EQ(map->entries, (decltype(map->entries){{"Brightness", "90"}}));
    map.reset();
    EXPECT_EQ(params->dictionary.entries, (decltype(params->dictionary.entries){{"Brightness", "80"}}));
}

}  // namespace
