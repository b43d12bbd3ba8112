#include "Common/Security/DecrypterException.h"
#include "Common/Security/DecrypterFactory.h"
#include "Common/Security/EncrypterException.h"
#include "Common/Security/EncrypterFactory.h"
#include "tests/fixtures/TestSupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

namespace Security = Korvel::DisplayCalibration::Common::Security;
using Security::DecrypterException;
using Security::DecrypterFactory;
using Security::EncrypterException;
using Security::EncrypterFactory;
using TestSupport::AesIvHex;
using TestSupport::AesKeyHex;
using TestSupport::OpenSsl;
using TestSupport::ReadFile;
using TestSupport::Run;

namespace {

QByteArray PrivateKey()
{
    return ReadFile(TestSupport::TestPrivateKeyPath());
}

QByteArray PublicKey()
{
    return ReadFile(TestSupport::TestPublicKeyPath());
}

QByteArray Text(qsizetype size)
{
    QByteArray text;
    for (qsizetype i = 0; i < size; ++i) {
        text.append(char('a' + i % 26));
    }
    return text;
}

template <typename Exception, typename Call>
std::string MessageOf(Call&& call)
{
    try {
        call();
    } catch (const Exception& error) {
        return error.what();
    }
    return "<no exception>";
}

TEST(SymmetricEncryptionTest, InteroperatesWithOpenSslBothWays)
{
    OpenSsl openssl;
    const QStringList enc = {"enc", "-aes-256-cbc", "-K", AesKeyHex, "-iv", AesIvHex};
    auto encrypter = EncrypterFactory().CreateSymmetricEncrypter();
    auto decrypter = DecrypterFactory().CreateSymmetricDecrypter();
    for (const QByteArray& plain : {QByteArray(), QByteArray("Standard,2.2"), QString("Gr\u00fcn \u8272").toUtf8(), Text(350)}) {
        const QByteArray ours = encrypter->Encrypt(plain);
        EXPECT_EQ(ours, openssl(enc, plain)) << plain.size();
        EXPECT_EQ(openssl(QStringList(enc) << "-d", ours), plain) << plain.size();
        EXPECT_EQ(decrypter->Decrypt(ours), plain) << plain.size();
    }
}

TEST(SymmetricEncryptionTest, SizeLimits)
{
    struct Case {
        qsizetype plainSize;
        bool encrypts;
        qsizetype cipherSize;
    };
    // Everything Encrypt accepts comes back through Decrypt, the 352-byte ciphertexts of 336 to 350 bytes included.
    for (const Case& c : {Case{0, true, 16}, Case{335, true, 336}, Case{336, true, 352}, Case{350, true, 352},
                          Case{351, false, 0}, Case{352, false, 0}, Case{373, false, 0}, Case{374, false, 0}}) {
        SCOPED_TRACE(c.plainSize);
        const QByteArray plain = Text(c.plainSize);
        auto encrypter = EncrypterFactory().CreateSymmetricEncrypter();
        if (!c.encrypts) {
            EXPECT_EQ(MessageOf<EncrypterException>([&] { encrypter->Encrypt(plain); }), "Input data size is too big.");
            continue;
        }
        const QByteArray cipher = encrypter->Encrypt(plain);
        EXPECT_EQ(cipher.size(), c.cipherSize);
        EXPECT_EQ(DecrypterFactory().CreateSymmetricDecrypter()->Decrypt(cipher), plain);
    }
    auto decrypter = DecrypterFactory().CreateSymmetricDecrypter();
    for (const qsizetype size : {353, 368, 374}) {
        EXPECT_EQ(MessageOf<DecrypterException>([&] { decrypter->Decrypt(QByteArray(size, 'x')); }),
                  "Input data size is too big.")
            << size;
    }
}

TEST(SymmetricEncryptionTest, TextEndsAtFirstZeroByte)
{
    auto encrypter = EncrypterFactory().CreateSymmetricEncrypter();
    EXPECT_EQ(encrypter->Encrypt(QByteArray("abc\0def", 7)), encrypter->Encrypt("abc"));
}

TEST(SymmetricEncryptionTest, ForeignOrDamagedCiphertextFails)
{
    OpenSsl openssl;
    const QByteArray foreign = openssl({"enc", "-aes-256-cbc", "-K", QString(64, '1'), "-iv", AesIvHex}, "Standard");
    QByteArray damaged = EncrypterFactory().CreateSymmetricEncrypter()->Encrypt("Standard");
    damaged[damaged.size() - 1] = char(damaged.back() ^ 0x5a);
    auto decrypter = DecrypterFactory().CreateSymmetricDecrypter();
    for (const QByteArray& cipher : {QByteArray(), foreign, damaged, QByteArray(17, 'x')}) {
        const std::string message = MessageOf<DecrypterException>([&] { decrypter->Decrypt(cipher); });
        EXPECT_TRUE(message == "EVP_DecryptFinal_ex failed") << cipher.size() << ": " << message;
    }
}

TEST(RsaEncryptionTest, PublicKeyEncryptionInteroperatesWithOpenSsl)
{
    OpenSsl openssl;
    const QStringList decrypt = {"pkeyutl", "-decrypt", "-inkey", TestSupport::TestPrivateKeyPath(), "-pkeyopt",
                                 "rsa_padding_mode:pkcs1"};
    auto encrypter = EncrypterFactory().CreateEncrypter(PublicKey(), false);
    auto decrypter = DecrypterFactory().CreateDecrypter(PrivateKey(), true);
    for (const qsizetype size : {0, 1, 128, 129, 373}) {
        SCOPED_TRACE(size);
        const QByteArray plain = Text(size);
        const QByteArray cipher = encrypter->EncryptWithPublicKey(plain);
        ASSERT_EQ(cipher.size(), encrypter->MaxSize());
        EXPECT_EQ(openssl(decrypt, cipher.left(256)) + openssl(decrypt, cipher.mid(256)), plain);
        EXPECT_EQ(decrypter->DecryptWithPrivateKey(cipher), plain);
    }
    // Blocks the openssl command encrypted.
    const QStringList encrypt = {"pkeyutl", "-encrypt", "-pubin", "-inkey", TestSupport::TestPublicKeyPath(),
                                 "-pkeyopt", "rsa_padding_mode:pkcs1"};
    const QByteArray theirs = openssl(encrypt, Text(128)) + openssl(encrypt, "tail");
    EXPECT_EQ(decrypter->DecryptWithPrivateKey(theirs), Text(128) + "tail");
}

TEST(RsaEncryptionTest, TooLongInputFailsInSecondBlock)
{
    auto encrypter = EncrypterFactory().CreateEncrypter(PrivateKey(), PublicKey());
    for (const bool withPrivateKey : {false, true}) {
        const std::string message = MessageOf<EncrypterException>([&] {
            withPrivateKey ? encrypter->EncryptWithPrivateKey(Text(374)) : encrypter->EncryptWithPublicKey(Text(374));
        });
        EXPECT_EQ(message.rfind(" Encryption failed! ERROR: error:", 0), 0u) << message;
    }
}

TEST(RsaEncryptionTest, SignatureBlocksMatchOpenSsl)
{
    OpenSsl openssl;
    const QByteArray digest = QCryptographicHash::hash("payload", QCryptographicHash::Sha256);
    auto encrypter = EncrypterFactory().CreateEncrypter(PrivateKey(), true);
    const QByteArray signature = encrypter->EncryptWithPrivateKey(digest);
    ASSERT_EQ(signature.size(), 512);
    // PKCS#1 v1.5 block type 1 is deterministic: the openssl command makes the same bytes.
    const QStringList sign = {"pkeyutl", "-sign", "-inkey", TestSupport::TestPrivateKeyPath(), "-pkeyopt",
                              "rsa_padding_mode:pkcs1"};
    EXPECT_EQ(openssl(sign, digest) + openssl(sign, QByteArray()), signature);
    const QStringList recover = {"pkeyutl", "-verifyrecover", "-pubin", "-inkey", TestSupport::TestPublicKeyPath(),
                                 "-pkeyopt", "rsa_padding_mode:pkcs1"};
    EXPECT_EQ(openssl(recover, signature.left(256)), digest);
    EXPECT_EQ(openssl(recover, signature.mid(256)), QByteArray());
    auto decrypter = DecrypterFactory().CreateDecrypter(PublicKey(), false);
    EXPECT_EQ(decrypter->DecryptWithPublicKey(signature), digest);
    EXPECT_EQ(decrypter->MaxSize(), 512);
}

TEST(RsaEncryptionTest, ShortCiphertextFailsInSecondBlock)
{
    auto encrypter = EncrypterFactory().CreateEncrypter(PrivateKey(), PublicKey());
    auto decrypter = DecrypterFactory().CreateDecrypter(PrivateKey(), PublicKey());
    const QByteArray cipher = encrypter->EncryptWithPublicKey("x");
    const QByteArray signature = encrypter->EncryptWithPrivateKey("x");
    for (const QByteArray& data : {QByteArray(), cipher.left(256)}) {
        EXPECT_EQ(MessageOf<DecrypterException>([&] { decrypter->DecryptWithPrivateKey(data); })
                      .rfind(" Decryption failed! ERROR: ", 0),
                  0u);
    }
    EXPECT_EQ(MessageOf<DecrypterException>([&] { decrypter->DecryptWithPublicKey(signature.left(256)); })
                  .rfind(" Decryption failed! ERROR: ", 0),
              0u);
    // A ciphertext of the other key kind fails the padding check.
    EXPECT_EQ(MessageOf<DecrypterException>([&] { decrypter->DecryptWithPublicKey(cipher); })
                  .rfind(" Decryption failed! ERROR: ", 0),
              0u);
}

TEST(RsaEncryptionTest, KeyArguments)
{
    using Make = std::function<void()>;
    const QByteArray key = PublicKey();
    const std::vector<std::pair<Make, std::string>> cases = {
        {[&] { EncrypterFactory().CreateEncrypter(QByteArray(), QByteArray()); }, "Input argument private key is empty!"},
        {[&] { EncrypterFactory().CreateEncrypter(key, QByteArray()); }, "Input argument public key is empty!"},
        {[&] { DecrypterFactory().CreateDecrypter(QByteArray(), key); }, "Input argument private key is empty!"},
        {[&] { DecrypterFactory().CreateDecrypter(QByteArray(), false); }, "Input argument key is empty!"},
        {[&] { EncrypterFactory().CreateEncrypter(QByteArray(), true); }, "Input argument key is empty!"},
        {[&] { EncrypterFactory().CreateEncrypter(key, false)->SetPrivateKey(QByteArray()); },
         "Input argument private key is empty!"},
        {[&] { DecrypterFactory().CreateDecrypter(key, false)->SetPublicKey(QByteArray()); },
         "Input argument public key is empty!"},
    };
    for (const auto& [make, message] : cases) {
        EXPECT_EQ(MessageOf<std::invalid_argument>(make), message);
    }
}

TEST(RsaEncryptionTest, UnusableKeys)
{
    OpenSsl openssl;
    // The same public key as a PKCS#1-only block, a 1024-bit key and a key of another algorithm.
    const QByteArray pkcs1Public =
        openssl({"rsa", "-pubin", "-RSAPublicKey_out"}, PublicKey());
    ASSERT_TRUE(pkcs1Public.startsWith("-----BEGIN RSA PUBLIC KEY-----"));
    const auto small = TestSupport::Run("openssl", {"genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:1024", "-out",
                                       openssl.Path("small.pem")});
    ASSERT_EQ(small.exitCode, 0) << small.err;
    const QByteArray smallPrivate = ReadFile(openssl.Path("small.pem"));
    const QByteArray smallPublic = openssl({"pkey", "-pubout"}, smallPrivate);
    const auto ec = TestSupport::Run("openssl", {"genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256", "-out",
                                    openssl.Path("ec.pem")});
    ASSERT_EQ(ec.exitCode, 0) << ec.err;
    const QByteArray ecPrivate = ReadFile(openssl.Path("ec.pem"));
    const QByteArray encryptedPrivate =
        openssl({"pkey", "-aes256", "-passout", "pass:secret"}, PrivateKey());

    struct Case {
        QByteArray key;
        bool isPrivate;
        std::string message;
    };
    const std::string pemFailed = "RSA creation failed! PEM failed!";
    const std::string sizeRefused = "RSA creation failed! Key size is not 2048 bits!";
    for (const Case& c : {Case{pkcs1Public, false, pemFailed}, Case{"not a key", false, pemFailed},
                          Case{PrivateKey(), false, pemFailed}, Case{PublicKey(), true, pemFailed},
                          Case{ecPrivate, true, pemFailed}, Case{encryptedPrivate, true, pemFailed},
                          Case{smallPrivate, true, sizeRefused}, Case{smallPublic, false, sizeRefused}}) {
        auto encrypter = EncrypterFactory().CreateEncrypter(c.key, c.isPrivate);
        auto decrypter = DecrypterFactory().CreateDecrypter(c.key, c.isPrivate);
        EXPECT_EQ(MessageOf<EncrypterException>([&] {
                      c.isPrivate ? encrypter->EncryptWithPrivateKey("x") : encrypter->EncryptWithPublicKey("x");
                  }),
                  c.message)
            << c.key.left(40).toStdString();
        EXPECT_EQ(MessageOf<DecrypterException>([&] {
                      c.isPrivate ? decrypter->DecryptWithPrivateKey(QByteArray(512, 'x'))
                                  : decrypter->DecryptWithPublicKey(QByteArray(512, 'x'));
                  }),
                  c.message);
    }
    // The key not chosen stays unset.
    auto publicOnly = DecrypterFactory().CreateDecrypter(PublicKey(), false);
    EXPECT_EQ(MessageOf<DecrypterException>([&] { publicOnly->DecryptWithPrivateKey(QByteArray(512, 'x')); }),
              "Private key is not set!");
    auto privateOnly = EncrypterFactory().CreateEncrypter(PrivateKey(), true);
    EXPECT_EQ(MessageOf<EncrypterException>([&] { privateOnly->EncryptWithPublicKey("x"); }), "Public key is not set!");
    privateOnly->SetPublicKey(PublicKey());
    EXPECT_EQ(privateOnly->EncryptWithPublicKey("x").size(), 512);
}

TEST(RsaEncryptionTest, ProgramsCarryAUsablePublicKey)
{
    QFile resource(":/digitalsignature/public_key");
    ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
    auto encrypter = EncrypterFactory().CreateEncrypter(resource.readAll(), false);
    EXPECT_EQ(encrypter->EncryptWithPublicKey("1S21KV0012USPF4KVQ7T").size(), 512);
}

}  // namespace
