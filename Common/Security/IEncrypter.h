#pragma once

#include <QByteArray>

namespace Korvel::DisplayCalibration::Common::Security {

// RSA encryption with PEM keys, PKCS#1 v1.5 padding, two blocks per message.
class IEncrypter {
public:
    virtual ~IEncrypter() = default;
    // Signing operation (block type 1).
    virtual QByteArray EncryptWithPrivateKey(const QByteArray& data) = 0;
    virtual QByteArray EncryptWithPublicKey(const QByteArray& data) = 0;
    virtual void SetPrivateKey(const QByteArray& pem) = 0;
    virtual void SetPublicKey(const QByteArray& pem) = 0;
    virtual int MaxSize() = 0;
};

}  // namespace Korvel::DisplayCalibration::Common::Security
