#include "Common/Security/SymmetricCipher.h"

#include "Common/Security/DecrypterException.h"
#include "Common/Security/EncrypterException.h"
#include "Common/Security/SecureBuffer.h"

#include <QDebug>

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <array>
#include <cstddef>
#include <memory>
#include <string>

namespace Korvel::DisplayCalibration::Common::Security {

namespace {

// Key and IV are each the exclusive or of two constants, combined per call.
constexpr std::array<unsigned char, 32> KeyA = {
    0x19, 0x3b, 0x28, 0xc4, 0x37, 0x04, 0x09, 0x54, 0x80, 0x62, 0xd7, 0xa9, 0x73, 0x80, 0x81, 0x46,
    0x37, 0x6b, 0xae, 0x20, 0x86, 0xc2, 0xe1, 0x9a, 0x61, 0x26, 0xed, 0x15, 0x95, 0x57, 0xd0, 0x7f};
constexpr std::array<unsigned char, 32> KeyB = {
    0x38, 0x96, 0xf6, 0x1e, 0x2e, 0xf8, 0xe1, 0x73, 0x04, 0x6b, 0x87, 0xf8, 0x74, 0xa0, 0x5d, 0xf2,
    0x15, 0xa8, 0x28, 0x39, 0xd1, 0x94, 0xf3, 0x27, 0x45, 0x52, 0xb9, 0x2c, 0x0f, 0x3c, 0xdd, 0xa5};
constexpr std::array<unsigned char, 16> IvA = {
    0xef, 0xc5, 0xab, 0x2c, 0x6d, 0xcc, 0x59, 0x3d, 0x8e, 0x17, 0xea, 0xed, 0x20, 0x3f, 0x12, 0xa0};
constexpr std::array<unsigned char, 16> IvB = {
    0x06, 0xa9, 0x26, 0xfd, 0x9a, 0x2b, 0x57, 0xff, 0x6f, 0xa0, 0x28, 0xb6, 0x8b, 0x9f, 0xc0, 0x8d};

template <std::size_t N>
struct Secret {
    std::array<unsigned char, N> bytes;
    Secret(const std::array<unsigned char, N>& a, const std::array<unsigned char, N>& b)
    {
        for (std::size_t i = 0; i < N; ++i) {
            bytes[i] = a[i] ^ b[i];
        }
    }
    ~Secret() { OPENSSL_cleanse(bytes.data(), N); }
};

using ContextPointer = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

}  // namespace

QByteArray RunAes(bool encrypt, const char* data, qsizetype length)
{
    const auto fail = [encrypt](const char* step) {
        const std::string message = std::string(encrypt ? "EVP_Encrypt" : "EVP_Decrypt") + step + " failed";
        qDebug() << message.c_str();
        if (encrypt) {
            throw EncrypterException(message);
        }
        throw DecrypterException(message);
    };
    const Secret<32> key(KeyA, KeyB);
    const Secret<16> iv(IvA, IvB);
    const ContextPointer context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    if (context == nullptr ||
        EVP_CipherInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, key.bytes.data(), iv.bytes.data(),
                          encrypt ? 1 : 0) != 1) {
        fail("Init_ex");
    }
    SecureBuffer out(std::size_t(length) + 16);
    int written = 0;
    if (EVP_CipherUpdate(context.get(), out.data(), &written, reinterpret_cast<const unsigned char*>(data),
                         int(length)) != 1) {
        fail("Update");
    }
    int last = 0;
    if (EVP_CipherFinal_ex(context.get(), out.data() + written, &last) != 1) {
        fail("Final_ex");
    }
    return QByteArray(reinterpret_cast<const char*>(out.data()), written + last);
}

}  // namespace Korvel::DisplayCalibration::Common::Security
