#include "Spectrine/Spectrine.h"
#include "tests/fixtures/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <lcms2.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

const QString FreeProfiles = QStringLiteral("/usr/share/color/icc");
const QString ColordProfiles = QStringLiteral("/usr/share/color/icc/colord");

struct StringDeleter {
    void operator()(KVUniString* string) const { KVUniStringRelease(string); }
};
struct ProfileDeleter {
    void operator()(KVProfile* profile) const { KVProfileRelease(profile); }
};
struct BufferDeleter {
    void operator()(double* buffer) const { KVFree(buffer); }
};
using String = std::unique_ptr<KVUniString, StringDeleter>;
using Profile = std::unique_ptr<KVProfile, ProfileDeleter>;
using Buffer = std::unique_ptr<double, BufferDeleter>;

String Make(const QString& text)
{
    return String(KVUniStringCreateFromUtf8(text.toUtf8().constData()));
}

QString Text(KVUniStringRef string)
{
    return QString::fromUtf8(KVUniStringToUtf8(string));
}

QStringList ProfilesIn(const QString& folder)
{
    QStringList paths;
    for (const QString& name : QDir(folder).entryList({"*.icc", "*.icm"}, QDir::Files)) {
        paths << folder + "/" + name;
    }
    return paths;
}

QStringList AllProfiles()
{
    return ProfilesIn(FreeProfiles) + ProfilesIn(ColordProfiles);
}

// LittleCMS's own reading of a profile file.
struct Reference {
    explicit Reference(const QString& path) : handle(cmsOpenProfileFromFile(QFile::encodeName(path).constData(), "r")) {}
    ~Reference()
    {
        if (handle != nullptr) {
            cmsCloseProfile(handle);
        }
    }
    QString Description() const
    {
        wchar_t text[512] = {};
        cmsGetProfileInfo(handle, cmsInfoDescription, "en", "US", text, sizeof text);
        return QString::fromWCharArray(text);
    }
    cmsHPROFILE handle;
};

TEST(SpectrineProfilesTest, DebianProfilesAreInstalled)
{
    EXPECT_GE(ProfilesIn(FreeProfiles).size(), 10);
    EXPECT_GE(ProfilesIn(ColordProfiles).size(), 20);
}

TEST(SpectrineProfilesTest, DescriptionsMatchLittleCms)
{
    for (const QString& path : AllProfiles()) {
        SCOPED_TRACE(path);
        const Reference reference(path);
        ASSERT_NE(reference.handle, nullptr);
        KVStatus status = -1;
        const Profile profile(KVProfileFromPathCreate(Make(path).get(), &status));
        ASSERT_EQ(status, KVSuccess);
        ASSERT_NE(profile, nullptr);
        status = -1;
        const String description(KVProfileGetDescription(profile.get(), &status));
        EXPECT_EQ(status, KVSuccess);
        EXPECT_EQ(Text(description.get()), reference.Description());
    }
    const struct {
        QString path;
        const char* description;
    } known[] = {
        {ColordProfiles + "/AdobeRGB1998.icc", "Compatible with Adobe RGB (1998)"},
        {ColordProfiles + "/Rec709.icc", "Rec. 709"},
        {FreeProfiles + "/LCMSLABI.ICM", "little cms Relative L*a*b* identity profile"},
    };
    for (const auto& k : known) {
        const Profile profile(KVProfileFromPathCreate(Make(k.path).get(), nullptr));
        const String description(KVProfileGetDescription(profile.get(), nullptr));
        EXPECT_EQ(Text(description.get()), k.description);
    }
}

TEST(SpectrineProfilesTest, MetaDictionaryMatchesLittleCms)
{
    int profilesWithMeta = 0;
    for (const QString& path : AllProfiles()) {
        SCOPED_TRACE(path);
        const Reference reference(path);
        const bool hasMeta = cmsIsTag(reference.handle, cmsSigMetaTag);
        KVStatus status = -1;
        EXPECT_EQ(KVIsTagInProfile(Make(path).get(), KVTagSignature("meta"), &status), hasMeta);
        EXPECT_EQ(status, KVSuccess);
        EXPECT_TRUE(KVIsTagInProfile(Make(path).get(), KVTagSignature("desc"), &status));

        const Profile profile(KVProfileFromPathCreate(Make(path).get(), nullptr));
        ASSERT_NE(profile, nullptr);
        status = -1;
        const String absent(KVProfileGetMetaDataValueForName(profile.get(), Make("Brightness").get(), &status));
        EXPECT_EQ(absent, nullptr);
        EXPECT_EQ(status, hasMeta ? KVErrorNameNotFound : KVErrorTagNotFound);
        if (!hasMeta) {
            continue;
        }
        ++profilesWithMeta;
        const auto dictionary = static_cast<cmsHANDLE>(cmsReadTag(reference.handle, cmsSigMetaTag));
        for (const cmsDICTentry* entry = cmsDictGetEntryList(dictionary); entry; entry = cmsDictNextEntry(entry)) {
            const QString name = QString::fromWCharArray(entry->Name);
            status = -1;
            const String value(KVProfileGetMetaDataValueForName(profile.get(), Make(name).get(), &status));
            EXPECT_EQ(status, KVSuccess) << name;
            EXPECT_EQ(Text(value.get()), QString::fromWCharArray(entry->Value ? entry->Value : L"")) << name;
        }
        // Names match exactly.
        status = -1;
        EXPECT_EQ(KVProfileGetMetaDataValueForName(profile.get(), Make("license").get(), &status), nullptr);
        EXPECT_EQ(status, KVErrorNameNotFound);
    }
    EXPECT_GT(profilesWithMeta, 0);

    const Profile srgb(KVProfileFromPathCreate(Make(ColordProfiles + "/sRGB.icc").get(), nullptr));
    const String space(KVProfileGetMetaDataValueForName(srgb.get(), Make("STANDARD_space").get(), nullptr));
    EXPECT_EQ(Text(space.get()), "srgb");
}

TEST(SpectrineProfilesTest, DamagedMetaDictionaryReadsAsNone)
{
    QFile file(ColordProfiles + "/sRGB.icc");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray original = file.readAll();
    const auto word = [](const QByteArray& bytes, qsizetype at) {
        return quint32(quint8(bytes[at])) << 24 | quint32(quint8(bytes[at + 1])) << 16 |
               quint32(quint8(bytes[at + 2])) << 8 | quint8(bytes[at + 3]);
    };
    const auto bigEndian = [](quint32 value) {
        const char bytes[] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
        return QByteArray(bytes, 4);
    };
    // The tag table: a count at 128, then signature, offset and size of each tag.
    qsizetype meta = 0;
    for (quint32 i = 0; i < word(original, 128); ++i) {
        if (word(original, 132 + 12 * i) == cmsSigMetaTag) {
            meta = word(original, 132 + 12 * i + 4);
        }
    }
    ASSERT_GT(meta, 0);

    // Each change at an offset of the 'dict' tag, whose records start at 16.
    const struct {
        const char* name;
        qsizetype at;
        QByteArray bytes;
    } cases[] = {
        {"another type", 0, "text"},
        {"more records than the tag holds", 8, bigEndian(0x10000000)},
        {"record length 20", 12, bigEndian(20)},
        {"name past the tag", 16, bigEndian(0x7ffffff0)},
        {"no name", 16, bigEndian(0)},
        {"value longer than the tag", 16 + 12, bigEndian(0xfffffff0)},
    };
    const QTemporaryDir folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray damaged = original;
        damaged.replace(meta + c.at, c.bytes.size(), c.bytes);
        const QString path = folder.filePath(QString::fromLatin1(c.name) + ".icc");
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(damaged);
        out.close();
        const Profile profile(KVProfileFromPathCreate(Make(path).get(), nullptr));
        ASSERT_NE(profile, nullptr);
        KVStatus status = -1;
        EXPECT_EQ(KVProfileGetMetaDataValueForName(profile.get(), Make("STANDARD_space").get(), &status), nullptr);
        EXPECT_EQ(status, KVErrorTagNotFound);
    }
}

TEST(SpectrineProfilesTest, WhitePointNeedsTheLuminanceTag)
{
    // A white without 'lumi' is only relative (Y about 1): it is no luminance.
    for (const QString& path : AllProfiles()) {
        SCOPED_TRACE(path);
        const Reference reference(path);
        const auto* white = static_cast<const cmsCIEXYZ*>(cmsReadTag(reference.handle, cmsSigMediaWhitePointTag));
        ASSERT_NE(white, nullptr);
        const auto* luminance = static_cast<const cmsCIEXYZ*>(cmsReadTag(reference.handle, cmsSigLuminanceTag));
        KVStatus status = -1;
        const Buffer xyz(KVProfileGetWhiteXYZ(Make(path).get(), &status));
        if (luminance == nullptr) {
            EXPECT_EQ(status, KVErrorTagNotFound);
            EXPECT_EQ(xyz, nullptr);
            continue;
        }
        ASSERT_EQ(status, KVSuccess);
        ASSERT_NE(xyz, nullptr);
        EXPECT_NEAR(xyz.get()[0], white->X / white->Y * luminance->Y, 1e-9);
        EXPECT_NEAR(xyz.get()[1], luminance->Y, 1e-9);
        EXPECT_NEAR(xyz.get()[2], white->Z / white->Y * luminance->Y, 1e-9);
    }
}

TEST(SpectrineProfilesTest, WhitePointCarriesTheLuminanceTag)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("lumi.icc");
    {
        Reference source(ColordProfiles + "/sRGB.icc");
        const cmsCIEXYZ luminance = {115.0, 120.0, 130.0};
        ASSERT_TRUE(cmsWriteTag(source.handle, cmsSigLuminanceTag, &luminance));
        ASSERT_TRUE(cmsSaveProfileToFile(source.handle, QFile::encodeName(path).constData()));
    }
    const Reference reference(path);
    const auto* white = static_cast<const cmsCIEXYZ*>(cmsReadTag(reference.handle, cmsSigMediaWhitePointTag));
    KVStatus status = -1;
    const Buffer xyz(KVProfileGetWhiteXYZ(Make(path).get(), &status));
    ASSERT_EQ(status, KVSuccess);
    EXPECT_DOUBLE_EQ(xyz.get()[1], 120.0);
    EXPECT_NEAR(xyz.get()[0], white->X / white->Y * 120.0, 1e-9);
    EXPECT_NEAR(xyz.get()[2], white->Z / white->Y * 120.0, 1e-9);
}

TEST(SpectrineProfilesTest, UnreadableFilesGiveFailureStatuses)
{
    QTemporaryDir folder;
    const auto write = [&folder](const QString& name, const QByteArray& content) {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return folder.filePath(name);
    };
    QFile original(ColordProfiles + "/AdobeRGB1998.icc");
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray whole = original.readAll();
    QFile text("/usr/share/common-licenses/GPL-3");

    const struct {
        const char* name;
        QString path;
        KVStatus status;
    } cases[] = {
        {"missing file", folder.filePath("missing.icc"), KVErrorFileNotFound},
        {"text file", text.exists() ? text.fileName() : write("notes.txt", "not a profile\n"), KVErrorInvalidProfile},
        {"empty file", write("empty.icc", ""), KVErrorInvalidProfile},
        {"header only", write("header.icc", whole.left(128)), KVErrorInvalidProfile},
        {"truncated profile", write("truncated.icc", whole.left(whole.size() - 40)), KVErrorInvalidProfile},
        {"folder", folder.path(), KVErrorFileRead},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const String path = Make(c.path);
        KVStatus status = KVSuccess;
        EXPECT_EQ(KVProfileFromPathCreate(path.get(), &status), nullptr);
        EXPECT_EQ(status, c.status);
        status = KVSuccess;
        EXPECT_FALSE(KVIsTagInProfile(path.get(), KVTagSignature("meta"), &status));
        EXPECT_EQ(status, c.status);
        status = KVSuccess;
        EXPECT_EQ(KVProfileGetWhiteXYZ(path.get(), &status), nullptr);
        EXPECT_EQ(status, c.status);
    }
    // The whole file still reads.
    KVStatus status = -1;
    const Profile profile(KVProfileFromPathCreate(Make(write("whole.icc", whole)).get(), &status));
    EXPECT_EQ(status, KVSuccess);
    EXPECT_NE(profile, nullptr);
}

TEST(SpectrineProfilesTest, NullArgumentsAreRefused)
{
    KVStatus status = KVSuccess;
    EXPECT_EQ(KVProfileFromPathCreate(nullptr, &status), nullptr);
    EXPECT_EQ(status, KVErrorInvalidArgument);
    status = KVSuccess;
    EXPECT_EQ(KVProfileGetDescription(nullptr, &status), nullptr);
    EXPECT_EQ(status, KVErrorInvalidArgument);
    status = KVSuccess;
    EXPECT_EQ(KVProfileGetMetaDataValueForName(nullptr, Make("Brightness").get(), &status), nullptr);
    EXPECT_EQ(status, KVErrorInvalidArgument);
    EXPECT_EQ(KVProfileFromPathCreate(nullptr, nullptr), nullptr);
    KVProfileRelease(nullptr);
    KVUniStringRelease(nullptr);
    KVFree(nullptr);
}

TEST(SpectrineProfilesTest, BackslashIsASeparator)
{
    KVStatus status = -1;
    const Profile profile(KVProfileFromPathCreate(Make(ColordProfiles + "\\sRGB.icc").get(), &status));
    EXPECT_EQ(status, KVSuccess);
    EXPECT_NE(profile, nullptr);
}

TEST(SpectrineProfilesTest, OpenProfileKeepsNoFileOpen)
{
    const auto openFiles = [] { return QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size(); };
    const qsizetype before = openFiles();
    const Profile profile(KVProfileFromPathCreate(Make(ColordProfiles + "/sRGB.icc").get(), nullptr));
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(openFiles(), before);
}

TEST(SpectrineStringsTest, WideAndUtf8RoundTrip)
{
    const wchar_t wide[] = {L'G', L'r', 0xF6, 0xDF, L'e', L' ', 0x20AC, 0x1F600, 0};
    const String fromWide(KVUniStringCreate(wide));
    EXPECT_EQ(Text(fromWide.get()), QString::fromWCharArray(wide));
    EXPECT_STREQ(KVUniStringToUtf8(fromWide.get()), "Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC\xF0\x9F\x98\x80");

    // A counted string may hold zeros; code points that are not characters become U+FFFD.
    const wchar_t counted[] = {L'a', 0xD800, L'b', wchar_t(0x110000), L'c'};
    const String fromCounted(KVUniStringCreateFromWide(counted, 5));
    EXPECT_EQ(Text(fromCounted.get()), QString::fromUtf8("a\xEF\xBF\xBD" "b\xEF\xBF\xBD" "c"));
    const String part(KVUniStringCreateFromWide(wide, 2));
    EXPECT_STREQ(KVUniStringToUtf8(part.get()), "Gr");
    const String empty(KVUniStringCreateFromWide(nullptr, 0));
    EXPECT_STREQ(KVUniStringToUtf8(empty.get()), "");

    EXPECT_EQ(KVUniStringCreate(nullptr), nullptr);
    EXPECT_EQ(KVUniStringCreateFromUtf8(nullptr), nullptr);
    EXPECT_EQ(KVUniStringToUtf8(nullptr), nullptr);
}

}  // namespace
