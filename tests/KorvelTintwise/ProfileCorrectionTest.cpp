// The correction pieces the restorer and the out-of-box correction share.
#include "ProfileData/ProfileCorrection.h"
#include "ProfileData/ProfileData.h"
#include "tests/KorvelTintwise/TintwiseFixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace ProfileCorrection;
using TestSupport::ReadFile;
using TintwiseTest::ProfileDescription;

const QString DebianSrgb = QStringLiteral("/usr/share/color/icc/sRGB.icc");
const QString ColordAdobeRgb = QStringLiteral("/usr/share/color/icc/colord/AdobeRGB1998.icc");

QString CopyInto(const QTemporaryDir& directory, const QString& source, const QString& name)
{
    const QString path = directory.filePath(name);
    EXPECT_TRUE(QFile::copy(source, path)) << source;
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner);
    return path;
}

TEST(ProfileCorrection, ColorantTargetByProfileTypeAndKind)
{
    using Source = ColorantTarget::Source;
    const int mhc2 = KVProfileTypeMatrixTrcMhc2;
    const struct {
        int type;
        int kind;
        Source source;
        int standard;
    } cases[] = {
        {mhc2, ColorSpaceSrgb, ColorantTarget::Standard, 1},
        {mhc2, ColorSpaceAdobeRgb, ColorantTarget::Standard, 0},
        {mhc2, ColorSpaceDciP3, ColorantTarget::Standard, 3},
        {mhc2, ColorSpaceDisplayP3, ColorantTarget::Standard, 3},
        {mhc2, ColorSpaceNone, ColorantTarget::DefaultProfile, -1},
        {mhc2, ColorSpaceBt2020, ColorantTarget::Unchanged, -1},
        // Only the kind without a colour space is corrected whatever its type.
        {KVProfileTypeMatrix, ColorSpaceNone, ColorantTarget::DefaultProfile, -1},
        {-1, ColorSpaceNone, ColorantTarget::DefaultProfile, -1},
        {KVProfileTypeMatrix, ColorSpaceSrgb, ColorantTarget::NotMhc2, -1},
        {KVProfileTypeTable, ColorSpaceDisplayP3, ColorantTarget::NotMhc2, -1},
        {-1, ColorSpaceAdobeRgb, ColorantTarget::NotMhc2, -1},
        {KVProfileTypeMatrix1DLut, ColorSpaceBt2020, ColorantTarget::NotMhc2, -1},
    };
    for (const auto& item : cases) {
        const ColorantTarget target = ColorantTargetFor(item.type, item.kind);
        EXPECT_EQ(target.source, item.source) << "type " << item.type << ", kind " << item.kind;
        EXPECT_EQ(target.standard, item.standard) << "type " << item.type << ", kind " << item.kind;
    }
}

TEST(ProfileCorrection, TargetsThatCannotBeReadLeaveTheMatrixAlone)
{
    QTemporaryDir directory;
    const QString broken = directory.filePath("broken.icm");
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(ReadFile(DebianSrgb).left(300));
    file.close();

    ProfileModifier modifier;
    const ColorantMatrix marker{{{9, 9, 9}, {9, 9, 9}, {9, 9, 9}}};
    const ColorantTarget fromDefault{ColorantTarget::DefaultProfile, -1};
    for (const QString& defaultPath : {QString(), broken, directory.filePath("missing.icm")}) {
        ColorantMatrix matrix = marker;
        EXPECT_FALSE(ReadColorantTarget(modifier, fromDefault, defaultPath, matrix)) << defaultPath;
        EXPECT_EQ(matrix, marker);
    }
    for (const ColorantTarget none : {ColorantTarget{ColorantTarget::NotMhc2, -1},
                                      ColorantTarget{ColorantTarget::Unchanged, -1},
                                      ColorantTarget{ColorantTarget::Standard, 7}}) {
        ColorantMatrix matrix = marker;
        EXPECT_FALSE(ReadColorantTarget(modifier, none, DebianSrgb, matrix));
        EXPECT_EQ(matrix, marker);
    }

    // Readable ones: the Default profile's own tags, and a standard space adapted to D50.
    ColorantMatrix fromAdobe = marker;
    ASSERT_TRUE(ReadColorantTarget(modifier, fromDefault, ColordAdobeRgb, fromAdobe));
    ColorantMatrix standard = marker;
    ASSERT_TRUE(ReadColorantTarget(modifier, {ColorantTarget::Standard, 0}, QString(), standard));
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            EXPECT_NEAR(fromAdobe[row][column], standard[row][column], 0.002) << row << "," << column;
        }
    }
}

TEST(ProfileCorrection, GenericNativeHdrProfileReplacesTheTargetOnlyWhenComplete)
{
    TintwiseTest::Application();  // the resource lives in the program's library
    QTemporaryDir directory;
    const QString target = CopyInto(directory, DebianSrgb, "KVL_4A1C_Native_HDR.icm");
    const QByteArray before = ReadFile(target);

    // The copy's place is taken by a folder: the copy fails and the working copy stays.
    ASSERT_TRUE(QDir(directory.path()).mkdir(GenericNativeHdrFileName));
    QString error;
    EXPECT_FALSE(PutGenericNativeHdrProfile(directory.path(), target, error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadFile(target), before);

    ASSERT_TRUE(QDir(directory.path()).rmdir(GenericNativeHdrFileName));
    ASSERT_TRUE(PutGenericNativeHdrProfile(directory.path(), target, error)) << error;
    EXPECT_EQ(ReadFile(target), ReadFile(GenericNativeHdrResource));
    EXPECT_FALSE(QFile::exists(directory.filePath(GenericNativeHdrFileName)));
    EXPECT_TRUE(QFile::permissions(target) & QFileDevice::WriteOwner);
}

TEST(ProfileCorrection, WritesDescriptionsTheEngineBuffersHold)
{
    QTemporaryDir directory;
    const QString path = CopyInto(directory, DebianSrgb, "KVL_4A1C_sRGB.icm");
    EXPECT_EQ(WriteProfileDescription(path, "KVL4A1C_sRGB"), DescriptionWrite::Written);
    EXPECT_EQ(ProfileDescription(path), "KVL4A1C_sRGB");

    const QByteArray written = ReadFile(path);
    EXPECT_EQ(WriteProfileDescription(path, QString(MaxEngineTextLength + 1, 'd')), DescriptionWrite::TooLong);
    const QString deep = directory.path() + "/" + QString(MaxEngineTextLength, 'p') + ".icm";
    EXPECT_EQ(WriteProfileDescription(deep, "KVL4A1C_sRGB"), DescriptionWrite::TooLong);
    EXPECT_EQ(WriteProfileDescription(directory.filePath("missing.icm"), "x"), DescriptionWrite::NotOpened);
    EXPECT_EQ(ReadFile(path), written);
    EXPECT_EQ(WriteProfileDescription(path, QString(MaxEngineTextLength, 'd')), DescriptionWrite::Written);
}

}  // namespace
