#include "Common/Security/DecrypterFactory.h"
#include "tests/fixtures/TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using Korvel::DisplayCalibration::Common::Security::DecrypterFactory;
using TestSupport::BinaryPath;


namespace {

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class SignArchiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::copy(TestSupport::TestPublicKeyPath(), directory.filePath("readme.txt")));
        const auto zipped = TestSupport::Run("zip", {"-q", "-j", Path("profiles.zip"), Path("readme.txt")});
        ASSERT_EQ(zipped.exitCode, 0) << zipped.err;
        archive = ReadFile(Path("profiles.zip"));
        ASSERT_FALSE(archive.isEmpty());
    }
    QString Path(const QString& name) const { return directory.filePath(name); }

    QTemporaryDir directory;
    QByteArray archive;
};

TEST_F(SignArchiveTest, SignatureVerifiesWithDecrypterAndOpenSsl)
{
    const auto signedRun = TestSupport::Run(BinaryPath("signarchive"), {Path("profiles.zip"), Path("signed.zip")});
    ASSERT_EQ(signedRun.exitCode, 0) << signedRun.err;
    const QByteArray signedArchive = ReadFile(Path("signed.zip"));
    ASSERT_EQ(signedArchive.size(), archive.size() + 512);
    EXPECT_EQ(signedArchive.left(archive.size()), archive);
    EXPECT_EQ(ReadFile(Path("profiles.zip")), archive);

    const QByteArray signature = signedArchive.right(512);
    const QByteArray digest = QCryptographicHash::hash(archive, QCryptographicHash::Sha256);
    QFile resource(":/digitalsignature/public_key");
    ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
    EXPECT_EQ(DecrypterFactory().CreateDecrypter(resource.readAll(), false)->DecryptWithPublicKey(signature), digest);

    // The openssl command's own digest and recovery.
    QFile block(Path("block1"));
    ASSERT_TRUE(block.open(QIODevice::WriteOnly));
    block.write(signature.left(256));
    block.close();
    const auto recovered = TestSupport::Run("openssl", {"pkeyutl", "-verifyrecover", "-pubin", "-inkey", TestSupport::TestPublicKeyPath(),
                                           "-pkeyopt", "rsa_padding_mode:pkcs1", "-in", Path("block1"), "-out",
                                           Path("recovered")});
    ASSERT_EQ(recovered.exitCode, 0) << recovered.err;
    const auto hashed = TestSupport::Run("openssl", {"dgst", "-sha256", "-binary", "-out", Path("digest"), Path("profiles.zip")});
    ASSERT_EQ(hashed.exitCode, 0) << hashed.err;
    EXPECT_EQ(ReadFile(Path("recovered")), ReadFile(Path("digest")));
    EXPECT_EQ(ReadFile(Path("digest")), digest);
}

TEST_F(SignArchiveTest, SignsInPlaceWithGivenKey)
{
    const auto signedRun = TestSupport::Run(BinaryPath("signarchive"), {"--key", TestSupport::TestPrivateKeyPath(), Path("profiles.zip")});
    ASSERT_EQ(signedRun.exitCode, 0) << signedRun.err;
    const QByteArray signedArchive = ReadFile(Path("profiles.zip"));
    ASSERT_EQ(signedArchive.size(), archive.size() + 512);
    QFile key(TestSupport::TestPublicKeyPath());
    ASSERT_TRUE(key.open(QIODevice::ReadOnly));
    EXPECT_EQ(DecrypterFactory().CreateDecrypter(key.readAll(), false)->DecryptWithPublicKey(signedArchive.right(512)),
              QCryptographicHash::hash(archive, QCryptographicHash::Sha256));
}

TEST_F(SignArchiveTest, FailuresLeaveTheArchiveAlone)
{
    struct Case {
        QStringList arguments;
        int exitCode;
    };
    const Case cases[] = {
        {{}, 1},
        {{Path("missing.zip"), Path("out.zip")}, 2},
        {{"--key", Path("missing.pem"), Path("profiles.zip")}, 2},
        {{"--key", TestSupport::TestPublicKeyPath(), Path("profiles.zip")}, 2},  // not a private key
        {{Path("profiles.zip"), Path("no-such-folder/out.zip")}, 2},
    };
    for (const Case& c : cases) {
        const auto result = TestSupport::Run(BinaryPath("signarchive"), c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.arguments.join(' ') << ": " << result.err;
        EXPECT_FALSE(result.err.isEmpty());
        EXPECT_EQ(ReadFile(Path("profiles.zip")), archive);
    }
    EXPECT_FALSE(QFile::exists(Path("out.zip")));
}

}  // namespace
