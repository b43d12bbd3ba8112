#include "ZipArchive/ZipArchive.h"
#include "tests/fixtures/PeerArchives.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <functional>
#include <sstream>

using TestSupport::ProfileSet;
using TestSupport::ReadFile;
using TestSupport::Shell;
using TestSupport::WriteFile;

namespace {

std::string ReadAll(std::istream& stream)
{
    std::ostringstream output;
    utils::stream::copy(stream, output, 1 << 20);
    return output.str();
}

std::string Path(const QString& path)
{
    return path.toStdString();
}

std::vector<std::string> FullNames(const ZipArchive& archive)
{
    std::vector<std::string> names;
    for (std::size_t i = 0; i < archive.GetEntriesCount(); ++i) {
        names.push_back(archive.GetEntry(i)->GetFullName());
    }
    return names;
}

TEST(ZipArchiveTest, AnythingButAnArchiveHasNoEntries)
{
    const ProfileSet set;
    const QString missing = set.Root() + "/new.zip";
    EXPECT_EQ(ZipFile::Open(Path(missing))->GetEntriesCount(), 0u);
    EXPECT_TRUE(QFileInfo(missing).isFile());
    EXPECT_EQ(QFileInfo(missing).size(), 0);

    for (const char* file : {"/sub/PanelInfo.xml", "/sRGB.icc"}) {
        const auto archive = ZipFile::Open(Path(set.In() + file));
        EXPECT_EQ(archive->GetEntriesCount(), 0u) << file;
        EXPECT_FALSE(archive->HasEndRecord()) << file;
    }

    EXPECT_THROW(ZipFile::Open(Path(set.Root() + "/no/folder/a.zip")), std::runtime_error);
}

TEST(ZipArchiveTest, NamesAreNormalised)
{
    const ProfileSet set;
    Shell(set.Root(), R"x(python3 -c "import zipfile; z = zipfile.ZipFile('a.zip', 'w'); )x"
                      R"x(z.writestr('/lead//double' + chr(92) + 'back.icc', b'x'); )x"
                      R"x(z.writestr(zipfile.ZipInfo('/'), b''); z.writestr('dir/', b''); z.close()")x");
    const auto archive = ZipFile::Open(Path(set.Root() + "/a.zip"));
    EXPECT_EQ(FullNames(*archive), (std::vector<std::string>{"lead/double/back.icc", "dir/"}));
    EXPECT_EQ(archive->GetEntry(0)->GetName(), "back.icc");
    EXPECT_FALSE(archive->GetEntry(0)->IsDirectory());
    EXPECT_EQ(archive->GetEntry(1)->GetName(), "");
    EXPECT_TRUE(archive->GetEntry(1)->IsDirectory());
    EXPECT_EQ(archive->GetEntry("lead/double/back.icc"), archive->GetEntry(0));
    EXPECT_FALSE(archive->GetEntry("back.icc"));
}

TEST(ZipArchiveTest, EntriesBeyondTheRecordCountAreRead)
{
    const ProfileSet set;
    Shell(set.Root(), "cd in && zip -q -X ../a.zip sRGB.icc empty.txt large.bin");
    const QString archive = set.Root() + "/a.zip";
    // Both record counts of the end record say 1.
    TestSupport::PatchFile(archive, QFileInfo(archive).size() - 22 + 8, QByteArray("\x01\x00\x01\x00", 4));
    EXPECT_EQ(FullNames(*ZipFile::Open(Path(archive))),
              (std::vector<std::string>{"sRGB.icc", "empty.txt", "large.bin"}));
}

TEST(ZipArchiveTest, SignatureBytesInTheTrailerDoNotHideTheRecord)
{
    // A trailer that holds an end-record signature whose central directory would lie behind it.
    QByteArray signatureOnly(512, '\x11');
    signatureOnly.replace(100, 4, QByteArray("PK\x05\x06", 4));
    for (const QByteArray& trailer : {signatureOnly, TestSupport::HostileTrailer()}) {
        const ProfileSet set;
        Shell(set.Root(), "cd in && zip -q ../a.zip sRGB.icc");
        const QString path = set.Root() + "/a.zip";
        WriteFile(path, ReadFile(path) + trailer);
        const auto archive = ZipFile::Open(Path(path));
        EXPECT_TRUE(archive->HasEndRecord());
        ASSERT_EQ(archive->GetEntriesCount(), 1u);
        std::istream* data = archive->GetEntry(0)->GetDecompressionStream();
        ASSERT_TRUE(data);
        EXPECT_EQ(QByteArray::fromStdString(ReadAll(*data)), set.Files().at("sRGB.icc"));
    }
}

TEST(ZipArchiveTest, PasswordIsCheckedBeforeAnyData)
{
    const ProfileSet set;
    // zip writes one entry with the check byte from the CRC and, through a pipe, one from the time.
    Shell(set.Root(), "cd in && zip -q -P secret ../a.zip sRGB.icc && zip -q -P secret - large.bin > ../b.zip");
    for (const auto& [archiveName, fileName] : {std::pair{"a.zip", "sRGB.icc"}, std::pair{"b.zip", "large.bin"}}) {
        const auto archive = ZipFile::Open(Path(set.Root() + "/" + archiveName));
        const auto entry = archive->GetEntry(0);
        ASSERT_TRUE(entry->IsPasswordProtected());
        EXPECT_FALSE(entry->GetDecompressionStream()) << "no password";

        // The check is one byte of a random header: a wrong password passes it once in 256 times,
        // and then its data must not come out as the original.
        int refused = 0;
        for (int i = 0; i < 8; ++i) {
            entry->SetPassword("wrong" + std::to_string(i));
            if (std::istream* guessed = entry->GetDecompressionStream()) {
                EXPECT_NE(QByteArray::fromStdString(ReadAll(*guessed)), set.Files().at(fileName));
                entry->CloseDecompressionStream();
            } else {
                ++refused;
            }
        }
        EXPECT_GE(refused, 6) << "wrong passwords are refused before any data";

        entry->SetPassword("secret");
        std::istream* data = entry->GetDecompressionStream();
        ASSERT_TRUE(data) << archiveName;
        EXPECT_EQ(QByteArray::fromStdString(ReadAll(*data)), set.Files().at(fileName));
    }
}

TEST(ZipArchiveTest, StreamIsRefusedWhileOneIsOpen)
{
    const ProfileSet set;
    Shell(set.Root(), "cd in && zip -q ../a.zip sRGB.icc");
    const auto archive = ZipFile::Open(Path(set.Root() + "/a.zip"));
    const auto entry = archive->GetEntry(0);
    ASSERT_TRUE(entry->GetDecompressionStream());
    EXPECT_FALSE(entry->GetDecompressionStream());
    entry->CloseDecompressionStream();
    EXPECT_TRUE(entry->GetDecompressionStream());
}

struct WriteCase {
    const char* name;
    std::function<std::shared_ptr<ICompressionMethod>()> method;
    const char* password;
};

const WriteCase kWriteCases[] = {
    {"Store", [] { return StoreMethod::Create(); }, ""},
    {"Deflate", [] { return DeflateMethod::Create(); }, ""},
    {"Bzip2", [] { return Bzip2Method::Create(); }, ""},
    {"Lzma", [] { return LzmaMethod::Create(); }, ""},
    {"DeflateEncrypted", [] { return DeflateMethod::Create(); }, "pa55word"},
    {"StoreEncrypted", [] { return StoreMethod::Create(); }, "pa55word"},
};

class WrittenArchive : public testing::TestWithParam<WriteCase> {};

// Python's zipfile reads every entry (checking each CRC) and its time; unzip tests what it can.
TEST_P(WrittenArchive, PeersReadIt)
{
    const WriteCase& write = GetParam();
    const ProfileSet set;
    const std::string archive = Path(set.Root() + "/w.zip");
    for (const auto& [name, contents] : set.Files()) {
        const QString file = set.In() + (name == "PanelInfo.xml" ? "/sub/" : "/") + name;
        ZipFile::AddFile(archive, Path(file), Path(name), write.password, write.method());
    }
    EXPECT_FALSE(QFileInfo::exists(set.Root() + "/w.zip.tmp"));

    const auto checked = Shell(
        set.Root(), QString("python3 -c \"import zipfile, time; z = zipfile.ZipFile('w.zip'); "
                            "z.setpassword(b'%1'); assert z.testzip() is None; "
                            "print(' '.join(i.filename for i in z.infolist())); "
                            "d = z.infolist()[0].date_time; print(abs(time.mktime(d + (0, 0, -1)) - time.time()) < 120)\"")
                        .arg(write.password));
    EXPECT_EQ(checked.out, "PanelInfo.xml empty.txt large.bin sRGB.icc\nTrue\n");
    const std::string methodName = write.name;
    if (methodName.rfind("Lzma", 0) != 0) {
        Shell(set.Root(), QString("unzip -t -qq -P '%1' w.zip").arg(write.password));
    }

    // And we read back what we wrote.
    const auto reread = ZipFile::Open(archive);
    for (std::size_t i = 0; i < reread->GetEntriesCount(); ++i) {
        const auto entry = reread->GetEntry(i);
        entry->SetPassword(write.password);
        std::istream* data = entry->GetDecompressionStream();
        ASSERT_TRUE(data) << entry->GetFullName();
        EXPECT_EQ(QByteArray::fromStdString(ReadAll(*data)), set.Files().at(QString::fromStdString(entry->GetName())));
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, WrittenArchive, testing::ValuesIn(kWriteCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ZipFileTest, AddingKeepsOtherEntriesAndTheComment)
{
    const ProfileSet set;
    Shell(set.Root(), "cd in && echo 'kept comment' | zip -q -z ../a.zip sRGB.icc empty.txt && "
                      "zip -q -P secret ../a.zip large.bin");
    const std::string archive = Path(set.Root() + "/a.zip");
    WriteFile(set.Root() + "/new/sRGB.icc", "replacement");
    ZipFile::AddFile(archive, Path(set.Root() + "/new/sRGB.icc"), DeflateMethod::Create());

    // The replaced entry moves to the end; the encrypted entry is copied as it was.
    EXPECT_EQ(FullNames(*ZipFile::Open(archive)), (std::vector<std::string>{"empty.txt", "large.bin", "sRGB.icc"}));
    const auto checked = Shell(set.Root(), "python3 -c \"import zipfile; z = zipfile.ZipFile('a.zip'); "
                                           "z.setpassword(b'secret'); assert z.testzip() is None; "
                                           "print(z.comment.decode().strip(), z.read('sRGB.icc').decode())\"");
    EXPECT_EQ(checked.out, "kept comment replacement\n");
}

TEST(ZipFileTest, FailuresLeaveTheArchiveAlone)
{
    const ProfileSet set;
    Shell(set.Root(), "cd in && zip -q ../a.zip sRGB.icc");
    const QString archive = set.Root() + "/a.zip";
    const QByteArray before = ReadFile(archive);
    const std::string input = Path(set.In() + "/empty.txt");

    struct Failure {
        const char* name;
        std::function<void()> setUp;
        std::function<void()> call;
        const char* message;
    };
    const Failure failures[] = {
        {"missing input", [] {}, [&] { ZipFile::AddFile(Path(archive), Path(set.Root() + "/none"), StoreMethod::Create()); },
         "cannot open input file"},
        {"empty entry name", [] {}, [&] { ZipFile::AddFile(Path(archive), input, "/", "", StoreMethod::Create()); },
         "invalid entry name"},
        {"temporary file blocked", [&] { QDir().mkpath(archive + ".tmp/x"); },
         [&] { ZipFile::AddFile(Path(archive), input, StoreMethod::Create()); }, "cannot open output file"},
    };
    for (const Failure& failure : failures) {
        failure.setUp();
        try {
            failure.call();
            ADD_FAILURE() << failure.name << ": no exception";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), failure.message) << failure.name;
        }
        EXPECT_EQ(ReadFile(archive), before) << failure.name;
    }
}

TEST(ZipFileTest, ArchiveThatCannotBeReplacedIsAnError)
{
    const ProfileSet set;
    // A folder in the archive's place opens as an empty archive, but the new one cannot take its place.
    const QString archive = set.Root() + "/folder.zip";
    QDir().mkpath(archive + "/inside");
    try {
        ZipFile::AddFile(Path(archive), Path(set.In() + "/sRGB.icc"), DeflateMethod::Create());
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "cannot replace zip file");
    }
    EXPECT_TRUE(QFileInfo(archive + "/inside").isDir());
}

TEST(ZipArchiveEntryTest, ImmediateModeWritesTheSameArchive)
{
    const ProfileSet set;
    const QByteArray contents = set.Files().at("large.bin");
    std::istringstream input(contents.toStdString());
    const auto archive = ZipArchive::Create();
    const auto entry = archive->CreateEntry("folder\\large.bin");
    ASSERT_TRUE(entry);
    EXPECT_FALSE(archive->CreateEntry("/folder/large.bin"));
    EXPECT_FALSE(archive->CreateEntry("//"));
    ASSERT_TRUE(entry->SetCompressionStream(input, Bzip2Method::Create()));
    {
        std::ofstream output(Path(set.Root() + "/i.zip"), std::ios::binary);
        EXPECT_TRUE(archive->WriteToStream(output));
    }
    const auto checked = Shell(set.Root(), "python3 -c \"import zipfile; z = zipfile.ZipFile('i.zip'); "
                                           "i = z.infolist()[0]; print(i.filename, i.compress_type, len(z.read(i)))\"");
    EXPECT_EQ(checked.out, "folder/large.bin 12 1048576\n");
}

}  // namespace
