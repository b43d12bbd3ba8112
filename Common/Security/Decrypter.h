#pragma once

#include "Common/Security/IDecrypter.h"
#include "Common/Security/RsaCipher.h"

namespace Korvel::DisplayCalibration::Common::Security {

// Throws std::invalid_argument for an empty key; the operations throw DecrypterException.
class Decrypter : public RsaCipher<IDecrypter> {
public:
    using RsaCipher<IDecrypter>::RsaCipher;

    QByteArray DecryptWithPrivateKey(const QByteArray& data) override;
    QByteArray DecryptWithPublicKey(const QByteArray& data) override;
};

}  // namespace Korvel::DisplayCalibration::Common::Security
