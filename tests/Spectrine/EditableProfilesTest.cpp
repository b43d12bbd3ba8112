#include "Spectrine/Spectrine.h"
#include "tests/Spectrine/EngineHandles.h"
#include "tests/fixtures/TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <lcms2.h>

#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace {

const QString FreeProfiles = QStringLiteral("/usr/share/color/icc");
const QString ColordProfiles = QStringLiteral("/usr/share/color/icc/colord");

using EngineTest::Chart;
using EngineTest::Text;
using Editable = EngineTest::Owner<KVEditableICCProfile, KVEditableICCProfileRelease>;
using TestSupport::ReadFile;
using TestSupport::Transicc;
using Xyz = std::array<double, 3>;

Editable Open(const QString& path, KVStatus* status = nullptr)
{
    return Editable(KVEditableICCProfileFromPathCreate(Text(path).get(), status));
}

Xyz At(const Chart& chart, std::int32_t i)
{
    Xyz xyz{};
    KVColorGetCoordinates(chart.colors[i], xyz.data(), nullptr);
    return xyz;
}

constexpr std::uint32_t Red = KVTagSignature("rXYZ");

// LittleCMS's reading of a profile file.
struct Reference {
    explicit Reference(const QString& path) : handle(cmsOpenProfileFromFile(QFile::encodeName(path).constData(), "r")) {}
    ~Reference()
    {
        if (handle != nullptr) {
            cmsCloseProfile(handle);
        }
    }
    QByteArray Raw(cmsTagSignature tag) const
    {
        QByteArray raw(int(cmsReadRawTag(handle, tag, nullptr, 0)), '\0');
        cmsReadRawTag(handle, tag, raw.data(), cmsUInt32Number(raw.size()));
        return raw;
    }
    Xyz Colorant(cmsTagSignature tag) const
    {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(handle, tag));
        return xyz != nullptr ? Xyz{xyz->X, xyz->Y, xyz->Z} : Xyz{};
    }
    QString Description() const
    {
        wchar_t text[512] = {};
        cmsGetProfileInfo(handle, cmsInfoDescription, "en", "US", text, sizeof text);
        return QString::fromWCharArray(text);
    }
    cmsHPROFILE handle;
};

// The profiles of Debian's packages that have colorant tags.
QStringList RgbMatrixProfiles()
{
    QStringList paths;
    for (const QString& folder : {FreeProfiles, ColordProfiles}) {
        for (const QString& name : QDir(folder).entryList({"*.icc", "*.ICM"}, QDir::Files)) {
            const Reference reference(folder + "/" + name);
            if (reference.handle != nullptr && cmsIsTag(reference.handle, cmsSigRedColorantTag)) {
                paths << folder + "/" + name;
            }
        }
    }
    return paths;
}

// The profile ID as the ICC defines it: MD5 of the file with flags, rendering intent and ID zeroed.
QByteArray IccProfileId(QByteArray content)
{
    content.replace(44, 4, QByteArray(4, '\0'));
    content.replace(64, 4, QByteArray(4, '\0'));
    content.replace(84, 16, QByteArray(16, '\0'));
    return QCryptographicHash::hash(content, QCryptographicHash::Md5);
}

TEST(SpectrineEditableProfilesTest, ColorantEditKeepsEveryOtherTagOfRealProfiles)
{
    const QStringList profiles = RgbMatrixProfiles();
    ASSERT_GE(profiles.size(), 20);
    QTemporaryDir folder;
    for (const QString& source : profiles) {
        SCOPED_TRACE(source);
        const Reference before(source);
        KVStatus status = -1;
        const Editable profile = Open(source, &status);
        ASSERT_EQ(status, KVSuccess);

        // The three colorants read as LittleCMS reads them.
        for (const cmsTagSignature tag : {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag}) {
            Chart chart;
            status = -1;
            chart.colors = KVEditableICCProfileGetXYZTagValues(profile.get(), tag, &chart.count, &status);
            ASSERT_EQ(status, KVSuccess);
            ASSERT_EQ(chart.count, 1);
            EXPECT_EQ(KVColorGetNumberOfCoordinates(chart.colors[0], nullptr), 3);
            EXPECT_EQ(At(chart, 0), before.Colorant(tag));
        }

        Chart red;
        red.colors = KVEditableICCProfileGetXYZTagValues(profile.get(), Red, &red.count, nullptr);
        const Xyz old = At(red, 0);
        const Xyz changed = {old[0] + 0.0625, old[1] - 0.03125, old[2] + 0.5};
        KVColorSetCoordinates(red.colors[0], changed.data(), nullptr);
        status = -1;
        KVEditableICCProfileSetXYZTagValues(profile.get(), Red, red.colors, red.count, &status);
        ASSERT_EQ(status, KVSuccess);
        const QString target = folder.filePath(QFileInfo(source).fileName());
        KVEditableICCProfileSaveToPath(profile.get(), Text(target).get(), &status);
        ASSERT_EQ(status, KVSuccess);

        const Reference after(target);
        ASSERT_NE(after.handle, nullptr);
        EXPECT_EQ(after.Colorant(cmsSigRedColorantTag), changed);
        ASSERT_EQ(cmsGetTagCount(after.handle), cmsGetTagCount(before.handle));
        for (cmsInt32Number i = 0; i < cmsGetTagCount(before.handle); ++i) {
            const cmsTagSignature tag = cmsGetTagSignature(before.handle, cmsUInt32Number(i));
            if (tag != cmsSigRedColorantTag) {
                EXPECT_EQ(after.Raw(tag), before.Raw(tag)) << std::hex << tag;
            }
        }
        const QByteArray original = ReadFile(source);
        const QByteArray written = ReadFile(target);
        for (const int field : {4, 8, 12, 16, 20, 24, 36, 40, 44, 48, 52, 56, 64, 68, 80}) {
            EXPECT_EQ(written.mid(field, 4), original.mid(field, 4)) << "header field at " << field;
        }
        const bool identified = original.mid(84, 16) != QByteArray(16, '\0');
        EXPECT_EQ(written.mid(84, 16), identified ? IccProfileId(written) : QByteArray(16, '\0'));

        // LittleCMS's own calculator sees the new red colorant.
        if (!cmsIsTag(after.handle, cmsSigAToB0Tag)) {
            const QList<double> xyz = Transicc(target, "255 0 0");
            ASSERT_EQ(xyz.size(), 3);
            for (int i = 0; i < 3; ++i) {
                EXPECT_NEAR(xyz[i], changed[std::size_t(i)] * 100, 0.01);
            }
        }
        // ArgyllCMS reads every version 2 profile we write (Debian's build reads no version 4).
        if (original.at(8) == 2) {
            const TestSupport::ProcessResult dump = TestSupport::Run("iccdump", {"-v3", target});
            EXPECT_EQ(dump.exitCode, 0) << dump.out << dump.err;
            EXPECT_FALSE(dump.out.contains("Error") || dump.err.contains("Error")) << dump.out << dump.err;
        }
    }
}

TEST(SpectrineEditableProfilesTest, SavingOverTheSourceAndFailedSaves)
{
    QTemporaryDir folder;
    const QByteArray original = ReadFile(ColordProfiles + "/AdobeRGB1998.icc");
    const auto copy = [&](const QString& name) {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(original);
        return folder.filePath(name);
    };

    // Over its own file.
    const QString path = copy("AdobeRGB1998.icc");
    {
        const Editable profile = Open(path);
        KVEditableICCProfileSetDescription(profile.get(), Text("Panel 0042").get(), nullptr);
        KVStatus status = -1;
        KVEditableICCProfileSaveToPath(profile.get(), Text(path).get(), &status);
        EXPECT_EQ(status, KVSuccess);
    }
    EXPECT_EQ(Reference(path).Description(), "Panel 0042");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"AdobeRGB1998.icc"});

    // Targets that cannot be written stay as they were; no temporary file is left.
    const QString longName = copy(QString(250, 'a') + ".icc");
    QDir(folder.path()).mkdir("folder");
    const struct {
        const char* name;
        QString target;
    } cases[] = {
        {"name too long for a temporary file beside it", longName},
        {"folder", folder.filePath("folder")},
        {"missing folder", folder.filePath("missing/out.icc")},
    };
    const Editable profile = Open(longName);
    ASSERT_NE(profile, nullptr);
    KVEditableICCProfileSetDescription(profile.get(), Text("changed").get(), nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        KVStatus status = KVSuccess;
        KVEditableICCProfileSaveToPath(profile.get(), Text(c.target).get(), &status);
        EXPECT_EQ(status, KVErrorFileWrite);
    }
    EXPECT_EQ(ReadFile(longName), original);
    EXPECT_TRUE(QDir(folder.filePath("folder")).isEmpty());
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST(SpectrineEditableProfilesTest, DescriptionsOfBothVersions)
{
    QTemporaryDir folder;
    for (const QString& source : {FreeProfiles + "/sRGB.icc", ColordProfiles + "/Rec709.icc"}) {
        SCOPED_TRACE(source);
        const QString target = folder.filePath(QFileInfo(source).fileName());
        const QString text = QString::fromUtf8("KVL_4A1C_REC709 \xC3\xA9\xE2\x82\xAC");
        const Editable profile = Open(source);
        KVStatus status = -1;
        KVEditableICCProfileSetDescription(profile.get(), Text(text).get(), &status);
        EXPECT_EQ(status, KVSuccess);
        KVEditableICCProfileSaveToPath(profile.get(), Text(target).get(), &status);
        ASSERT_EQ(status, KVSuccess);

        const Reference before(source);
        const Reference after(target);
        if (cmsGetEncodedICCversion(before.handle) >= 0x4000000) {
            EXPECT_EQ(after.Description(), text);
        } else {
            // LittleCMS reads the 7-bit part of a version 2 description; ArgyllCMS shows the UTF-16 one.
            EXPECT_EQ(after.Description(), "KVL_4A1C_REC709 ??");
            const TestSupport::ProcessResult dump = TestSupport::Run("iccdump", {"-v3", "-t", "desc", target});
            EXPECT_TRUE(dump.out.contains("Language code 0x656e5553")) << dump.out;
            EXPECT_TRUE(dump.out.contains("0030 0039 0020 00e9 20ac 0000")) << dump.out;
        }
        EXPECT_EQ(cmsGetEncodedICCversion(after.handle), cmsGetEncodedICCversion(before.handle));
        for (cmsInt32Number i = 0; i < cmsGetTagCount(before.handle); ++i) {
            const cmsTagSignature tag = cmsGetTagSignature(before.handle, cmsUInt32Number(i));
            if (tag != cmsSigProfileDescriptionTag) {
                EXPECT_EQ(after.Raw(tag), before.Raw(tag)) << std::hex << tag;
            }
        }
        EXPECT_EQ(Transicc(target, "255 255 255"), Transicc(source, "255 255 255"));
    }
}

TEST(SpectrineEditableProfilesTest, RefusedArgumentsChangeNothing)
{
    const Editable profile = Open(ColordProfiles + "/sRGB.icc");
    ASSERT_NE(profile, nullptr);
    Chart red;
    red.colors = KVEditableICCProfileGetXYZTagValues(profile.get(), Red, &red.count, nullptr);
    const Xyz stored = At(red, 0);

    const double rgb[] = {255, 0, 0};
    const double huge[] = {40000, 0, 0};
    KVColorRef wrongSpace[] = {KVColorCreate(rgb, 3, KVColorSpaceRGB, 0, nullptr)};
    KVColorRef outOfRange[] = {KVColorCreate(huge, 3, KVColorSpaceXYZ, 0, nullptr)};
    KVColorRef missing[] = {nullptr};
    const struct {
        const char* name;
        KVEditableICCProfileRef profile;
        const KVColorRef* chart;
        std::int32_t count;
    } sets[] = {
        {"no profile", nullptr, red.colors, 1},
        {"no chart", profile.get(), nullptr, 1},
        {"no colours", profile.get(), red.colors, 0},
        {"null colour", profile.get(), missing, 1},
        {"device RGB", profile.get(), wrongSpace, 1},
        {"beyond s15Fixed16", profile.get(), outOfRange, 1},
    };
    for (const auto& s : sets) {
        SCOPED_TRACE(s.name);
        KVStatus status = KVSuccess;
        KVEditableICCProfileSetXYZTagValues(s.profile, Red, s.chart, s.count, &status);
        EXPECT_EQ(status, KVErrorInvalidArgument);
    }
    KVColorRelease(wrongSpace[0]);
    KVColorRelease(outOfRange[0]);
    Chart after;
    after.colors = KVEditableICCProfileGetXYZTagValues(profile.get(), Red, &after.count, nullptr);
    EXPECT_EQ(At(after, 0), stored);

    const struct {
        const char* name;
        KVEditableICCProfileRef profile;
        std::uint32_t tag;
        KVStatus status;
    } gets[] = {
        {"no profile", nullptr, Red, KVErrorInvalidArgument},
        {"absent tag", profile.get(), KVTagSignature("lumi"), KVErrorTagNotFound},
        {"tag of another type", profile.get(), KVTagSignature("desc"), KVErrorInvalidProfile},
    };
    for (const auto& g : gets) {
        SCOPED_TRACE(g.name);
        KVStatus status = KVSuccess;
        std::int32_t count = -1;
        EXPECT_EQ(KVEditableICCProfileGetXYZTagValues(g.profile, g.tag, &count, &status), nullptr);
        EXPECT_EQ(status, g.status);
        EXPECT_EQ(count, -1);
    }

    KVStatus status = KVSuccess;
    EXPECT_EQ(Open(FreeProfiles + "/missing.icc", &status), nullptr);
    EXPECT_EQ(status, KVErrorFileNotFound);
    KVEditableICCProfileSetDescription(profile.get(), nullptr, &status);
    EXPECT_EQ(status, KVErrorInvalidArgument);
    KVEditableICCProfileSaveToPath(profile.get(), nullptr, &status);
    EXPECT_EQ(status, KVErrorInvalidArgument);
    KVEditableICCProfileRelease(nullptr);
}

// Published RGB-to-XYZ matrices of the standards, Bradford-adapted to D50 or not adapted.
TEST(SpectrineEditableProfilesTest, StandardColorantsMatchPublishedMatrices)
{
    using Matrix = std::array<Xyz, 3>;
    const struct {
        const char* name;
        std::int32_t standard, adaptedTo;
        Matrix expected;
    } cases[] = {
        {"sRGB D50", 1, KVIlluminantD50,
         {{{0.4360747, 0.2225045, 0.0139322}, {0.3850649, 0.7168786, 0.0971045}, {0.1430804, 0.0606169, 0.7141733}}}},
        {"Adobe RGB D50", 0, KVIlluminantD50,
         {{{0.6097559, 0.3111242, 0.0194811}, {0.2052401, 0.6256560, 0.0608902}, {0.1492240, 0.0632197, 0.7448387}}}},
        {"P3 D65 at D50", 3, KVIlluminantD50,
         {{{0.515121, 0.241196, -0.001053}, {0.291977, 0.692245, 0.041885}, {0.157104, 0.066574, 0.784073}}}},
        {"sRGB unadapted", 1, KVIlluminantD65,
         {{{0.4124564, 0.2126729, 0.0193339}, {0.3575761, 0.7151522, 0.1191920}, {0.1804375, 0.0721750, 0.9503041}}}},
        {"Adobe RGB unadapted", 0, KVIlluminantD65,
         {{{0.5767309, 0.2973769, 0.0270343}, {0.1855540, 0.6273491, 0.0706872}, {0.1881852, 0.0752741, 0.9911085}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        KVStatus status = -1;
        Chart chart;
        chart.colors = KVComputeMatrixForStandardChromaticitesWithChromaticAdaptation(c.standard, c.adaptedTo,
                                                                                        KVIlluminantD65, &status);
        chart.count = 3;
        ASSERT_EQ(status, KVSuccess);
        for (std::int32_t i = 0; i < 3; ++i) {
            EXPECT_EQ(KVColorGetNumberOfCoordinates(chart.colors[i], nullptr), 3);
            for (std::size_t j = 0; j < 3; ++j) {
                EXPECT_NEAR(At(chart, i)[j], c.expected[std::size_t(i)][j], 0.0005) << i << j;
            }
        }
    }

    // LittleCMS's own reading of Debian's profiles of the two standards agrees.
    for (const auto& [path, standard] : {std::pair{ColordProfiles + "/sRGB.icc", 1}, {ColordProfiles + "/AdobeRGB1998.icc", 0}}) {
        const Reference reference(path);
        Chart chart;
        chart.colors =
            KVComputeMatrixForStandardChromaticitesWithChromaticAdaptation(standard, KVIlluminantD50, KVIlluminantD65, nullptr);
        chart.count = 3;
        std::int32_t row = 0;
        for (const cmsTagSignature tag : {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag}) {
            for (std::size_t j = 0; j < 3; ++j) {
                EXPECT_NEAR(At(chart, row)[j], reference.Colorant(tag)[j], 0.0005) << path << row << j;
            }
            ++row;
        }
    }

    const struct {
        std::int32_t standard, adaptedTo, white;
    } refused[] = {{2, 0, 2}, {4, 0, 2}, {-1, 0, 2}, {1, 4, 2}, {1, 0, -1}, {1, -1, 2}};
    for (const auto& r : refused) {
        KVStatus status = KVSuccess;
        EXPECT_EQ(KVComputeMatrixForStandardChromaticitesWithChromaticAdaptation(r.standard, r.adaptedTo, r.white, &status),
                  nullptr)
            << r.standard << r.adaptedTo << r.white;
        EXPECT_EQ(status, KVErrorInvalidArgument);
    }
}

}  // namespace
