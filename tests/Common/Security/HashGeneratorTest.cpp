// The digest generators against the openssl command, and the upload token built from them.
#include "Common/Network/ArchiveUploader.h"
#include "Common/Security/HashGenerator.h"
#include "tests/fixtures/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <stdexcept>
#include <string>

namespace Security = Korvel::DisplayCalibration::Common::Security;
using Korvel::DisplayCalibration::Common::Network::BuildRequestToken;

namespace {

// openssl dgst -ALGORITHM of a file: its hexadecimal digest.
std::string OpenSslDigest(const char* algorithm, const QString& path)
{
    const TestSupport::ProcessResult result = TestSupport::Run("openssl", {"dgst", QString("-") + algorithm, "-r", path});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result.out.section(' ', 0, 0).toStdString();
}

class HashGeneratorTest : public testing::Test {
protected:
    QString Write(const QString& name, const QByteArray& content)
    {
        const QString path = directory.filePath(name);
        TestSupport::WriteFile(path, content);
        return path;
    }

    QTemporaryDir directory;
};

// Sizes around the 4096-byte blocks in which files are read.
TEST_F(HashGeneratorTest, DigestsAgreeWithOpenSsl)
{
    for (const qsizetype size : {0, 1, 4095, 4096, 4097, 3 * 4096 + 5}) {
        SCOPED_TRACE(size);
        QByteArray content(size, Qt::Uninitialized);
        for (char& byte : content) {
            byte = char(QRandomGenerator::global()->bounded(256));
        }
        const QString path = Write(QString::number(size), content);
        const std::string bytes = content.toStdString();
        const std::string md5 = OpenSslDigest("md5", path);
        EXPECT_EQ(Security::MD5HashGenerator().GenerateFromFile(path.toStdString()), md5);
        EXPECT_EQ(Security::MD5HashGenerator().Generate(bytes), md5);
        EXPECT_EQ(Security::SHA256HashGenerator().Generate(bytes), OpenSslDigest("sha256", path));
    }
}

TEST_F(HashGeneratorTest, FileThatCannotBeReadIsAnError)
{
    const std::string missing = directory.filePath("missing.zip").toStdString();
    try {
        Security::MD5HashGenerator().GenerateFromFile(missing);
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), "Could not open file: " + missing);
    }
    EXPECT_THROW(Security::MD5HashGenerator().GenerateFromFile(directory.path().toStdString()), std::runtime_error);
}

// A locale whose case mapping differs from ASCII's ("I" to dotless "ı", "Ä" to "ä" in ISO-8859-9),
// made with localedef in the test's own folder.
TEST_F(HashGeneratorTest, RequestTokenLowersAsciiOnlyWhateverTheLocale)
{
    const QString locales = directory.filePath("locales");
    QDir().mkpath(locales);
    const TestSupport::ProcessResult made =
        TestSupport::Run("localedef", {"-i", "tr_TR", "-f", "ISO-8859-9", locales + "/tr_TR.ISO-8859-9"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const TestSupport::ScopedEnvironment path("LOCPATH", locales.toUtf8().constData());
    ASSERT_NE(std::setlocale(LC_CTYPE, "tr_TR.ISO-8859-9"), nullptr);

    // MD5, client name, identity and timestamp go in as MD5 + name + timestamp + identity.
    const std::string identity = "1S21KV0012US\xC3\x84PF4KVQ7TI";  // "Ä" in UTF-8
    Security::SHA256HashGenerator generator;
    const std::string token =
        BuildRequestToken({"D41D8CD98F00B204E9800998ECF8427E", "KorvelTintwise", identity, "1700000000000"}, generator);
    std::setlocale(LC_CTYPE, "C");
    EXPECT_EQ(token, OpenSslDigest("sha256", Write("text", "d41d8cd98f00b204e9800998ecf8427ekorveltintwise"
                                                            "17000000000001s21kv0012us\xC3\x84pf4kvq7ti")));
    EXPECT_THROW(BuildRequestToken({"a", "b", "c"}, generator), std::invalid_argument);
}

}  // namespace
