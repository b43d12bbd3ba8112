#include "Common/Archive/ProfileArchiver.h"
#include "tests/fixtures/PeerArchives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace Archive = Korvel::DisplayCalibration::Common::Archive;
using TestSupport::ProfileSet;
using TestSupport::ReadFile;
using TestSupport::Shell;
using TestSupport::WriteFile;

namespace {

// Writes archives with Python's zipfile: make.py ARCHIVE METHOD, names given as they are stored.
const QByteArray kPythonMaker = R"(import sys, zipfile
method = {"deflate": zipfile.ZIP_DEFLATED, "bzip2": zipfile.ZIP_BZIP2, "lzma": zipfile.ZIP_LZMA}[sys.argv[2]]
names = {"sRGB.icc": "sRGB.icc", "empty.txt": "empty.txt", "large.bin": "large.bin", "sub/PanelInfo.xml": "sub/PanelInfo.xml"}
if len(sys.argv) > 3:
    names = {"sRGB.icc": "/sRGB.icc", "empty.txt": "dir\\empty.txt", "large.bin": "//a//b\\large.bin",
             "sub/PanelInfo.xml": "/sub\\PanelInfo.xml"}
with zipfile.ZipFile(sys.argv[1], "w", method) as z:
    z.writestr(zipfile.ZipInfo("sub/"), b"")
    for source, name in names.items():
        with open("in/" + source, "rb") as f:
            z.writestr(name, f.read())
)";

struct PeerCase {
    const char* name;
    const char* command;  // run in the set's root; makes a.zip from in/
};

const PeerCase kPeerCases[] = {
    {"ZipDeflate", "cd in && zip -q -r ../a.zip ."},
    {"ZipStore", "cd in && zip -q -r -0 ../a.zip ."},
    {"ZipComment", "cd in && echo 'archive comment' | zip -q -r -z ../a.zip ."},
    {"ZipToPipe", "cd in && zip -q -r - . | cat > ../a.zip"},
    {"SevenZipDeflate", "cd in && 7z a -tzip -mm=Deflate ../a.zip '*' > /dev/null"},
    {"SevenZipBzip2", "cd in && 7z a -tzip -mm=BZip2 ../a.zip '*' > /dev/null"},
    {"SevenZipLzma", "cd in && 7z a -tzip -mm=LZMA ../a.zip '*' > /dev/null"},
    {"PythonBzip2", "python3 make.py a.zip bzip2"},
    {"PythonLzma", "python3 make.py a.zip lzma"},
    {"PythonOddNames", "python3 make.py a.zip deflate odd-names"},
};

class PeerArchiveTest : public testing::TestWithParam<std::tuple<PeerCase, bool>> {};

TEST_P(PeerArchiveTest, ExtractsByteIdentical)
{
    const auto& [peer, signature] = GetParam();
    const ProfileSet set;
    WriteFile(set.Root() + "/make.py", kPythonMaker);
    Shell(set.Root(), peer.command);
    if (signature) {
        // A signed archive carries its 512-byte signature after the end record; its bytes may hold
        // end records of their own.
        const QString archive = set.Root() + "/a.zip";
        WriteFile(archive, ReadFile(archive) + TestSupport::HostileTrailer(qHash(QByteArray(peer.name))));
    }

    std::unique_ptr<Archive::IProfileArchiver> archiver(Archive::ProfileArchiverFactory().Create());
    QStringList expected;
    for (const auto& [name, contents] : set.Files()) {
        expected << name;
    }
    expected.sort();
    // The second time over the files of the first.
    for (const char* round : {"first", "again"}) {
        SCOPED_TRACE(round);
        archiver->DecompressProfiles(set.Root() + "/a.zip", set.Out(), {});
        for (const auto& [name, contents] : set.Files()) {
            EXPECT_EQ(ReadFile(set.Out() + "/" + name), contents) << name;
        }
        EXPECT_EQ(QDir(set.Out()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
                  expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Peers, PeerArchiveTest, testing::Combine(testing::ValuesIn(kPeerCases), testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "Signed" : "");
                         });

TEST(ProfileArchiverTest, PackedArchivePassesPeerChecks)
{
    const ProfileSet set;
    QStringList files;
    for (const auto& [name, contents] : set.Files()) {
        files << set.In() + (name == "PanelInfo.xml" ? "/sub/" : "/") + name;
    }
    const QString archive = set.Root() + "/packed.zip";
    Archive::ProfileArchiver().CompressProfiles(files, archive);

    Shell(set.Root(), "unzip -t -qq packed.zip");
    // Python checks every CRC and lists the names; all entries are deflated under their bare names.
    const auto listed = Shell(set.Root(), "python3 -c \"import zipfile, sys; z = zipfile.ZipFile('packed.zip'); "
                                          "assert z.testzip() is None; "
                                          "assert all(i.compress_type == zipfile.ZIP_DEFLATED for i in z.infolist()); "
                                          "print(' '.join(sorted(z.namelist())))\"");
    EXPECT_EQ(listed.out.trimmed(), "PanelInfo.xml empty.txt large.bin sRGB.icc");

    Archive::ProfileArchiver().DecompressProfiles(archive, set.Out(), {});
    for (const auto& [name, contents] : set.Files()) {
        EXPECT_EQ(ReadFile(set.Out() + "/" + name), contents) << name;
    }
}

TEST(ProfileArchiverTest, SameBareNameKeepsTheLaterFile)
{
    const ProfileSet set;
    WriteFile(set.Root() + "/a/p.icc", "first");
    WriteFile(set.Root() + "/b/p.icc", "second");
    const QString archive = set.Root() + "/packed.zip";
    Archive::ProfileArchiver().CompressProfiles({set.Root() + "/a/p.icc", set.Root() + "/b/p.icc"}, archive);

    const auto listed = Shell(set.Root(), "python3 -c \"import zipfile; z = zipfile.ZipFile('packed.zip'); "
                                          "print(z.namelist(), z.read('p.icc').decode())\"");
    EXPECT_EQ(listed.out.trimmed(), "['p.icc'] second");
}

TEST(ProfileArchiverTest, PackingFailures)
{
    const ProfileSet set;
    const QString archive = set.Root() + "/packed.zip";
    WriteFile(archive, "old archive");

    // A missing file is found before anything is touched.
    const QString missing = set.Root() + "/missing.icc";
    try {
        Archive::ProfileArchiver().CompressProfiles({set.In() + "/sRGB.icc", missing}, archive);
        FAIL() << "no exception";
    } catch (const Archive::CompressProfilesException& error) {
        EXPECT_STREQ(error.what(), ("File does not exist: " + missing).toUtf8().constData());
        EXPECT_EQ(error.Code(), -1);
    }
    EXPECT_EQ(ReadFile(archive), "old archive");

    // A folder cannot be packed as a file.
    try {
        Archive::ProfileArchiver().CompressProfiles({set.In() + "/sub"}, archive);
        FAIL() << "no exception";
    } catch (const Archive::CompressProfilesException& error) {
        EXPECT_STREQ(error.what(), "cannot open input file");
    }

    // An empty list removes the archive and makes none.
    Archive::ProfileArchiver().CompressProfiles({}, archive);
    EXPECT_FALSE(QFileInfo::exists(archive));
}

TEST(ProfileArchiverTest, DecompressFileMatchesTheBareNameExactly)
{
    const ProfileSet set;
    // Two entries of the same bare name in different folders: the later one wins.
    WriteFile(set.Root() + "/y/deeper/PanelInfo.xml", "later");
    Shell(set.Root(), "(cd in && zip -q -r ../a.zip .) && (cd y && zip -q ../a.zip deeper/PanelInfo.xml)");
    const QString archive = set.Root() + "/a.zip";

    Archive::ProfileArchiver archiver;
    archiver.DecompressFile(archive, set.Out(), "panelinfo.xml");
    EXPECT_TRUE(QDir(set.Out()).isEmpty());

    archiver.DecompressFile(archive, set.Out(), "PanelInfo.xml");
    EXPECT_EQ(QDir(set.Out()).entryList(QDir::Files), QStringList{"PanelInfo.xml"});
    EXPECT_EQ(ReadFile(set.Out() + "/PanelInfo.xml"), "later");
}

struct BrokenCase {
    const char* name;
    const char* command;  // run in the set's root after a.zip holds in/sRGB.icc alone
    qint64 patchOffset;  // negative: from the end of the file
    QByteArray patch;
};

// zip -X writes no extra fields: the local header is 30 + 8 bytes ("sRGB.icc"), the data follows at 38,
// and the central header (46 + 8 bytes) stands right before the 22-byte end record.
constexpr qint64 kCentral = -22 - 54;
const BrokenCase kBrokenCases[] = {
    {"CorruptStoredData", "cd in && zip -q -X -0 ../a.zip sRGB.icc", 38 + 100, QByteArray("\xff\xfe", 2)},
    {"CorruptDeflateData", "cd in && zip -q -X -9 ../a.zip sRGB.icc", 38 + 40, QByteArray("\x55\xaa\x55\xaa", 4)},
    {"TruncatedDeflateData", "cd in && zip -q -X ../a.zip sRGB.icc", kCentral + 20, QByteArray("\x64\x00\x00\x00", 4)},
    {"UnknownMethod", "cd in && zip -q -X ../a.zip sRGB.icc", kCentral + 10, QByteArray("\x63\x00", 2)},
    {"LocalHeaderPastTheEnd", "cd in && zip -q -X ../a.zip sRGB.icc", kCentral + 42, QByteArray("\x00\x00\x01\x00", 4)},
    {"SizePastTheEnd", "cd in && zip -q -X ../a.zip sRGB.icc", kCentral + 20, QByteArray("\x00\x00\x01\x00", 4)},
    {"Encrypted", "cd in && zip -q -X -P secret ../a.zip sRGB.icc", 0, {}},
    {"VersionNeeded64", "cd in && zip -q -X ../a.zip sRGB.icc", kCentral + 6, QByteArray("\x40\x00", 2)},
};

class BrokenEntryTest : public testing::TestWithParam<BrokenCase> {};

// The file of an earlier extraction stays as it was; nothing else is left.
TEST_P(BrokenEntryTest, FailsAndLeavesTheEarlierFile)
{
    const BrokenCase& broken = GetParam();
    const ProfileSet set;
    Shell(set.Root(), broken.command);
    const QString archive = set.Root() + "/a.zip";
    if (!broken.patch.isEmpty()) {
        const qint64 offset = broken.patchOffset < 0 ? QFileInfo(archive).size() + broken.patchOffset
                                                     : broken.patchOffset;
        TestSupport::PatchFile(archive, offset, broken.patch);
    }
    WriteFile(set.Out() + "/sRGB.icc", "earlier");
    try {
        Archive::ProfileArchiver().DecompressProfiles(archive, set.Out(), {});
        FAIL() << "no exception";
    } catch (const Archive::DecompressProfilesException& error) {
        EXPECT_STREQ(error.what(), "Failed to extract file: sRGB.icc");
    }
    EXPECT_EQ(QDir(set.Out()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"sRGB.icc"});
    EXPECT_EQ(ReadFile(set.Out() + "/sRGB.icc"), "earlier");
}

INSTANTIATE_TEST_SUITE_P(Broken, BrokenEntryTest, testing::ValuesIn(kBrokenCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileArchiverTest, UnpackingFailures)
{
    const ProfileSet set;
    Shell(set.Root(), "cd in && zip -q ../a.zip sRGB.icc");
    const QString archive = set.Root() + "/a.zip";

    const QString missing = set.Root() + "/none.zip";
    try {
        Archive::ProfileArchiver().DecompressProfiles(missing, set.Out(), {});
        FAIL() << "no exception";
    } catch (const Archive::DecompressProfilesException& error) {
        EXPECT_STREQ(error.what(), ("Archive does not exist: " + missing).toUtf8().constData());
    }
    EXPECT_FALSE(QFileInfo::exists(missing));

    // No folders are made for the output.
    try {
        Archive::ProfileArchiver().DecompressFile(archive, set.Root() + "/no/such/folder", "sRGB.icc");
        FAIL() << "no exception";
    } catch (const Archive::DecompressProfilesException& error) {
        EXPECT_STREQ(error.what(), "Failed to extract file: sRGB.icc");
    }

    // Something that is not an archive is an error for both operations.
    const QString text = set.Root() + "/text.zip";
    WriteFile(text, "just some text\n");
    const std::function<void()> extractions[] = {
        [&] { Archive::ProfileArchiver().DecompressProfiles(text, set.Out(), {}); },
        [&] { Archive::ProfileArchiver().DecompressFile(text, set.Out(), "sRGB.icc"); },
    };
    for (const auto& extract : extractions) {
        try {
            extract();
            ADD_FAILURE() << "no exception";
        } catch (const Archive::DecompressProfilesException& error) {
            EXPECT_STREQ(error.what(), ("Not a ZIP archive: " + text).toUtf8().constData());
        }
    }
    EXPECT_TRUE(QDir(set.Out()).isEmpty());
}

struct ExtractCase {
    const char* name;
    const char* command;  // run in the set's root; makes x.zip
    qint64 patchOffset;   // from the end of x.zip
    QByteArray patch;
    bool hostileTrailer;  // appended last
    bool isArchive;
};

const ExtractCase kExtractCases[] = {
    {"Empty", ": > x.zip", 0, {}, false, false},
    {"Text", "echo 'just some text' > x.zip", 0, {}, false, false},
    {"Profile", "cp in/sRGB.icc x.zip", 0, {}, false, false},
    {"TextBeforeEndRecords", "echo 'just some text' > x.zip", 0, {}, true, false},
    {"Truncated", "cd in && zip -q ../a.zip sRGB.icc && head -c -30 ../a.zip > ../x.zip", 0, {}, false, false},
    {"DirectoryPastTheEnd", "cd in && zip -q ../x.zip sRGB.icc", -22 + 16, QByteArray("\x00\x00\x10\x00", 4), false, false},
    {"DirectoryPastTheEndSigned", "cd in && zip -q ../x.zip sRGB.icc", -22 + 16, QByteArray("\x00\x00\x10\x00", 4), true, false},
    {"EmptyArchive", "python3 -c \"import zipfile; zipfile.ZipFile('x.zip', 'w').close()\"", 0, {}, false, true},
    {"EmptyArchiveSigned", "python3 -c \"import zipfile; zipfile.ZipFile('x.zip', 'w').close()\"", 0, {}, true, true},
};

class ProfileExtractTest : public testing::TestWithParam<ExtractCase> {};

// Whatever is no archive is an error with its message; an empty archive extracts nothing, quietly.
TEST_P(ProfileExtractTest, ReportsWhatIsNoArchive)
{
    const ExtractCase& test = GetParam();
    const ProfileSet set;
    Shell(set.Root(), test.command);
    const QString archive = set.Root() + "/x.zip";
    if (!test.patch.isEmpty()) {
        TestSupport::PatchFile(archive, QFileInfo(archive).size() + test.patchOffset, test.patch);
    }
    if (test.hostileTrailer) {
        WriteFile(archive, ReadFile(archive) + TestSupport::HostileTrailer());
    }
    const auto result = TestSupport::Run(TestSupport::BinaryPath("profile-extract"), {archive, set.Out()});
    if (test.isArchive) {
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.err, "");
    } else {
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, archive + ": Not a ZIP archive: " + archive + "\n");
    }
    EXPECT_TRUE(QDir(set.Out()).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Inputs, ProfileExtractTest, testing::ValuesIn(kExtractCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Sizes around the limits of one extraction (64 MiB per entry and in all), in archives that zip and
// Python's zipfile make of highly compressible data: the declared sizes decide before anything is
// written.
constexpr qint64 kLimit = 64 << 20;

struct SizeCase {
    const char* name;
    QString command;  // run in the set's root; makes x.zip
    QString error;    // empty: extracted
};

QString Zeros(const QString& file, qint64 size)
{
    return QString("head -c %1 /dev/zero > %2").arg(size).arg(file);
}

const QString kTooLarge = "Archive entry exceeds the size limit of 67108864 bytes: ";
const SizeCase kSizeCases[] = {
    {"EntryAtTheLimit", Zeros("big.bin", kLimit) + " && zip -q x.zip big.bin", ""},
    {"EntryPastTheLimit", Zeros("big.bin", kLimit + 1) + " && zip -q x.zip in/sRGB.icc big.bin", kTooLarge + "big.bin"},
    {"PythonBomb",
     "python3 -c \"import zipfile\n"
     "with zipfile.ZipFile('x.zip', 'w', zipfile.ZIP_DEFLATED, compresslevel=9) as z:\n"
     "    z.write('in/sRGB.icc', 'sRGB.icc')\n"
     "    with z.open('KVL_sRGB.icm', 'w') as f:\n"
     "        [f.write(bytes(1 << 20)) for _ in range(1000)]\"",
     kTooLarge + "KVL_sRGB.icm"},
    {"PastTheLimitInAll",
     Zeros("a.bin", kLimit / 2) + " && " + Zeros("b.bin", kLimit / 2 + 1) + " && zip -q x.zip a.bin b.bin",
     "Archive entries exceed the size limit of 67108864 bytes in all"},
};

void PrintTo(const SizeCase& test, std::ostream* stream)
{
    *stream << test.name;
}

class SizeLimitTest : public testing::TestWithParam<SizeCase> {};

TEST_P(SizeLimitTest, RefusesTooMuchBeforeWritingAnything)
{
    const SizeCase& test = GetParam();
    const ProfileSet set;
    Shell(set.Root(), test.command);
    const auto result =
        TestSupport::Run(TestSupport::BinaryPath("profile-extract"), {set.Root() + "/x.zip", set.Out()});
    const QStringList written = QDir(set.Out()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    if (test.error.isEmpty()) {
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(QFileInfo(set.Out() + "/big.bin").size(), kLimit);
    } else {
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, set.Root() + "/x.zip: " + test.error + "\n");
        EXPECT_EQ(written, QStringList());
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, SizeLimitTest, testing::ValuesIn(kSizeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Sizes that lie: the data of an entry runs past the size its records declare (both records
// patched). It fails without a file, whatever it would decompress to.
TEST(ProfileArchiverTest, DataPastTheDeclaredSizeFails)
{
    const ProfileSet set;
    Shell(set.Root(), Zeros("big.bin", 8 << 20) + " && zip -q -X x.zip big.bin");
    const QString archive = set.Root() + "/x.zip";
    const QByteArray declared("\x00\x10\x00\x00", 4);  // 4096 bytes
    TestSupport::PatchFile(archive, 22, declared);  // local header: 30 + 7 bytes of name, no extra fields
    TestSupport::PatchFile(archive, QFileInfo(archive).size() - 22 - 53 + 24, declared);  // central header
    Shell(set.Root(), "unzip -l x.zip | grep -q ' 4096 .*big.bin'");
    try {
        Archive::ProfileArchiver().DecompressProfiles(archive, set.Out(), {});
        FAIL() << "no exception";
    } catch (const Archive::DecompressProfilesException& error) {
        EXPECT_STREQ(error.what(), "Failed to extract file: big.bin");
    }
    EXPECT_TRUE(QDir(set.Out()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

// Only the entries extracted count: the panel information comes out of an archive whose profiles
// are refused.
TEST(ProfileArchiverTest, OnlyTheChosenEntriesCount)
{
    const ProfileSet set;
    Shell(set.Root(), Zeros("big.bin", kLimit + 1) + " && cd in && zip -q -r ../x.zip sub ../big.bin");
    Archive::ProfileArchiver archiver;
    archiver.DecompressFile(set.Root() + "/x.zip", set.Out(), "PanelInfo.xml");
    EXPECT_EQ(ReadFile(set.Out() + "/PanelInfo.xml"), set.Files().at("PanelInfo.xml"));
    EXPECT_THROW(archiver.DecompressProfiles(set.Root() + "/x.zip", set.Out(), {}),
                 Archive::DecompressProfilesException);
}

// A kill in the middle of an extraction leaves each entry's name with the earlier file or the whole
// new one; a part-written file only ever has a hidden temporary name. The extraction runs under
// strace, which kills it at its second write: the entry's data is then half written, wherever it
// is written.
TEST(ProfileArchiverTest, KilledExtractionLeavesEarlierOrWholeFiles)
{
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    ASSERT_FALSE(strace.isEmpty()) << "strace is missing (scripts/common.sh installs it)";
    const ProfileSet set;
    Shell(set.Root(), "head -c 60000000 /dev/urandom > big.bin && zip -q -0 x.zip big.bin");
    const QByteArray whole = ReadFile(set.Root() + "/big.bin");
    WriteFile(set.Out() + "/big.bin", "earlier");

    const TestSupport::ProcessResult extraction =
        TestSupport::Run(strace, {"-o", "/dev/null", "-e", "trace=write", "-e", "inject=write:signal=SIGKILL:when=2",
                                  TestSupport::BinaryPath("profile-extract"), set.Root() + "/x.zip", set.Out()});
    ASSERT_FALSE(extraction.timedOut);
    ASSERT_EQ(extraction.exitCode, -1) << "the extraction ended before its second write: " << extraction.err;

    const QByteArray left = ReadFile(set.Out() + "/big.bin");
    EXPECT_TRUE(left == "earlier" || left == whole) << left.size() << " bytes";
    for (const QString& name : QDir(set.Out()).entryList(QDir::Files | QDir::Hidden)) {
        const bool temporary = QRegularExpression("^\\.extract-.*\\.partial$").match(name).hasMatch();
        EXPECT_TRUE(name == "big.bin" || temporary) << name;
    }
}

}  // namespace
