#pragma once

#include "Common/Security/IEncrypter.h"
#include "Common/Security/RsaCipher.h"

namespace Korvel::DisplayCalibration::Common::Security {

// Throws std::invalid_argument for an empty key; the operations throw EncrypterException.
class Encrypter : public RsaCipher<IEncrypter> {
public:
    using RsaCipher<IEncrypter>::RsaCipher;

    QByteArray EncryptWithPrivateKey(const QByteArray& data) override;
    QByteArray EncryptWithPublicKey(const QByteArray& data) override;
};

}  // namespace Korvel::DisplayCalibration::Common::Security
