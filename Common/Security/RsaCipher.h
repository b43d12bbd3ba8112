// What the RSA encrypter and decrypter share: their keys and the two-block operation.
#pragma once

#include <QByteArray>

namespace Korvel::DisplayCalibration::Common::Security {

enum class RsaOperation { PrivateEncrypt, PublicEncrypt, PrivateDecrypt, PublicDecrypt };

// Bytes of one RSA block: the layout holds 2048-bit keys only.
inline constexpr int RsaBlockSize = 256;
inline constexpr int RsaMessageSize = 2 * RsaBlockSize;

// Runs `operation` with the PEM key on the first part of `data` (128 bytes for encryption,
// 256 for decryption) and then on the rest, also when the rest is empty, and returns both
// results joined. Throws EncrypterException or DecrypterException.
QByteArray RunRsaOperation(RsaOperation operation, const QByteArray& pem, const QByteArray& data);

// Holds the PEM keys of an RSA encrypter or decrypter; stored keys are wiped when replaced or dropped.
template <typename Interface>
class RsaCipher : public Interface {
public:
    RsaCipher(const QByteArray& privateKey, const QByteArray& publicKey);
    RsaCipher(const QByteArray& key, bool isPrivate);
    ~RsaCipher() override;
    RsaCipher(const RsaCipher&) = delete;
    RsaCipher& operator=(const RsaCipher&) = delete;

    void SetPrivateKey(const QByteArray& pem) override;
    void SetPublicKey(const QByteArray& pem) override;
    int MaxSize() override { return RsaMessageSize; }

protected:
    QByteArray privateKey;
    QByteArray publicKey;
};

}  // namespace Korvel::DisplayCalibration::Common::Security
