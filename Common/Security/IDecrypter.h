#pragma once

#include <QByteArray>

namespace Korvel::DisplayCalibration::Common::Security {

// RSA decryption with PEM keys, PKCS#1 v1.5 padding, two blocks per message.
class IDecrypter {
public:
    virtual ~IDecrypter() = default;
    virtual QByteArray DecryptWithPrivateKey(const QByteArray& data) = 0;
    // Recovers what EncryptWithPrivateKey produced (signature check).
    virtual QByteArray DecryptWithPublicKey(const QByteArray& data) = 0;
    virtual void SetPrivateKey(const QByteArray& pem) = 0;
    virtual void SetPublicKey(const QByteArray& pem) = 0;
    virtual int MaxSize() = 0;
};

}  // namespace Korvel::DisplayCalibration::Common::Security
