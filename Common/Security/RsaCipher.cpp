#include "Common/Security/RsaCipher.h"

#include "Common/Security/DecrypterException.h"
#include "Common/Security/EncrypterException.h"
#include "Common/Security/IDecrypter.h"
#include "Common/Security/IEncrypter.h"
#include "Common/Security/SecureBuffer.h"

#include <QDebug>

#include <openssl/bio.h>
#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace Korvel::DisplayCalibration::Common::Security {

namespace {

const char* const PrivateKeyEmpty = "Input argument private key is empty!";
const char* const PublicKeyEmpty = "Input argument public key is empty!";
const char* const KeyEmpty = "Input argument key is empty!";

using KeyPointer = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using ContextPointer = std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)>;

bool IsEncryption(RsaOperation operation)
{
    return operation == RsaOperation::PrivateEncrypt || operation == RsaOperation::PublicEncrypt;
}

bool UsesPrivateKey(RsaOperation operation)
{
    return operation == RsaOperation::PrivateEncrypt || operation == RsaOperation::PrivateDecrypt;
}

[[noreturn]] void Fail(RsaOperation operation, const std::string& message)
{
    if (IsEncryption(operation)) {
        throw EncrypterException(message);
    }
    throw DecrypterException(message);
}

// Encrypted private keys are refused instead of prompting for a pass phrase.
int NoPassPhrase(char*, int, int, void*)
{
    return -1;
}

// Only a SubjectPublicKeyInfo block ("PUBLIC KEY"); a PKCS#1-only block is no public key here.
EVP_PKEY* ReadSubjectPublicKeyInfo(BIO* bio)
{
    unsigned char* der = nullptr;
    long length = 0;
    char* name = nullptr;
    if (PEM_bytes_read_bio(&der, &length, &name, PEM_STRING_PUBLIC, bio, nullptr, nullptr) != 1) {
        return nullptr;
    }
    const unsigned char* cursor = der;
    EVP_PKEY* key = d2i_PUBKEY(nullptr, &cursor, length);
    OPENSSL_free(der);
    OPENSSL_free(name);
    return key;
}

KeyPointer ReadKey(RsaOperation operation, const QByteArray& pem)
{
    // Length -1: the text up to its terminating zero.
    BIO* bio = BIO_new_mem_buf(pem.constData(), -1);
    if (bio == nullptr) {
        Fail(operation, "RSA creation failed! BIO failed!");
    }
    KeyPointer key(UsesPrivateKey(operation) ? PEM_read_bio_PrivateKey(bio, nullptr, NoPassPhrase, nullptr)
                                             : ReadSubjectPublicKeyInfo(bio),
                   &EVP_PKEY_free);
    BIO_free(bio);
    if (key == nullptr || EVP_PKEY_is_a(key.get(), "RSA") != 1) {
        ERR_clear_error();
        Fail(operation, "RSA creation failed! PEM failed!");
    }
    if (EVP_PKEY_get_size(key.get()) != RsaBlockSize) {
        Fail(operation, "RSA creation failed! Key size is not 2048 bits!");
    }
    return key;
}

int Initialise(RsaOperation operation, EVP_PKEY_CTX* context)
{
    int result = 0;
    switch (operation) {
    case RsaOperation::PrivateEncrypt:
        result = EVP_PKEY_sign_init(context);
        break;
    case RsaOperation::PublicEncrypt:
        result = EVP_PKEY_encrypt_init(context);
        break;
    case RsaOperation::PrivateDecrypt:
        result = EVP_PKEY_decrypt_init(context);
        break;
    case RsaOperation::PublicDecrypt:
        result = EVP_PKEY_verify_recover_init(context);
        break;
    }
    if (result <= 0 || EVP_PKEY_CTX_set_rsa_padding(context, RSA_PKCS1_PADDING) <= 0) {
        return 0;
    }
    if (operation == RsaOperation::PrivateDecrypt) {
        // A padding error is a failure, not a substitute plaintext (newer libcrypto rejects implicitly);
        // a libcrypto without the parameter ignores it.
        unsigned int implicitRejection = 0;
        OSSL_PARAM parameters[] = {OSSL_PARAM_construct_uint("implicit-rejection", &implicitRejection),
                                   OSSL_PARAM_construct_end()};
        EVP_PKEY_CTX_set_params(context, parameters);
    }
    return 1;
}

int Transform(RsaOperation operation, EVP_PKEY_CTX* context, unsigned char* out, size_t* outLength,
              const unsigned char* in, size_t inLength)
{
    switch (operation) {
    case RsaOperation::PrivateEncrypt:
        return EVP_PKEY_sign(context, out, outLength, in, inLength);
    case RsaOperation::PublicEncrypt:
        return EVP_PKEY_encrypt(context, out, outLength, in, inLength);
    case RsaOperation::PrivateDecrypt:
        return EVP_PKEY_decrypt(context, out, outLength, in, inLength);
    case RsaOperation::PublicDecrypt:
        return EVP_PKEY_verify_recover(context, out, outLength, in, inLength);
    }
    return 0;
}

void RunBlock(RsaOperation operation, EVP_PKEY* key, const unsigned char* in, size_t length, QByteArray& result)
{
    ERR_clear_error();
    SecureBuffer out(size_t(EVP_PKEY_get_size(key)));
    size_t outLength = out.size();
    const ContextPointer context(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr), &EVP_PKEY_CTX_free);
    if (context == nullptr || Initialise(operation, context.get()) <= 0 ||
        Transform(operation, context.get(), out.data(), &outLength, in, length) <= 0) {
        char text[256] = {};
        ERR_error_string_n(ERR_get_error(), text, sizeof text);
        ERR_clear_error();
        const std::string message =
            std::string(IsEncryption(operation) ? " Encryption failed! ERROR: " : " Decryption failed! ERROR: ") + text;
        qDebug() << message.c_str();
        Fail(operation, message);
    }
    result.append(reinterpret_cast<const char*>(out.data()), qsizetype(outLength));
}

void RequireKey(const QByteArray& key, const char* message)
{
    if (key.isEmpty()) {
        throw std::invalid_argument(message);
    }
}

// A private copy, so that wiping it touches no one else's bytes.
QByteArray OwnCopy(const QByteArray& key)
{
    return QByteArray(key.constData(), key.size());
}

void Wipe(QByteArray& key)
{
    if (!key.isEmpty() && key.isDetached()) {
        OPENSSL_cleanse(key.data(), size_t(key.size()));
    }
    key.clear();
}

}  // namespace

QByteArray RunRsaOperation(RsaOperation operation, const QByteArray& pem, const QByteArray& data)
{
    if (pem.isEmpty()) {
        Fail(operation, UsesPrivateKey(operation) ? "Private key is not set!" : "Public key is not set!");
    }
    const KeyPointer key = ReadKey(operation, pem);
    const qsizetype firstPart = IsEncryption(operation) ? 128 : RsaBlockSize;
    const qsizetype firstLength = qMin(firstPart, data.size());
    static const unsigned char none = 0;
    const auto* bytes = data.isEmpty() ? &none : reinterpret_cast<const unsigned char*>(data.constData());
    QByteArray result;
    result.reserve(2 * RsaBlockSize);  // no reallocation leaves a stray copy behind
    RunBlock(operation, key.get(), bytes, size_t(firstLength), result);
    RunBlock(operation, key.get(), data.size() > firstLength ? bytes + firstLength : &none,
             size_t(data.size() - firstLength), result);
    return result;
}

template <typename Interface>
RsaCipher<Interface>::RsaCipher(const QByteArray& privateKey, const QByteArray& publicKey)
{
    RequireKey(privateKey, PrivateKeyEmpty);
    RequireKey(publicKey, PublicKeyEmpty);
    this->privateKey = OwnCopy(privateKey);
    this->publicKey = OwnCopy(publicKey);
}

template <typename Interface>
RsaCipher<Interface>::RsaCipher(const QByteArray& key, bool isPrivate)
{
    RequireKey(key, KeyEmpty);
    (isPrivate ? privateKey : publicKey) = OwnCopy(key);
}

template <typename Interface>
RsaCipher<Interface>::~RsaCipher()
{
    Wipe(privateKey);
    Wipe(publicKey);
}

template <typename Interface>
void RsaCipher<Interface>::SetPrivateKey(const QByteArray& pem)
{
    RequireKey(pem, PrivateKeyEmpty);
    Wipe(privateKey);
    privateKey = OwnCopy(pem);
}

template <typename Interface>
void RsaCipher<Interface>::SetPublicKey(const QByteArray& pem)
{
    RequireKey(pem, PublicKeyEmpty);
    Wipe(publicKey);
    publicKey = OwnCopy(pem);
}

template class RsaCipher<IEncrypter>;
template class RsaCipher<IDecrypter>;

}  // namespace Korvel::DisplayCalibration::Common::Security
