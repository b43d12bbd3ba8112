#pragma once

#include "Common/Security/ISymmetricDecrypter.h"

namespace Korvel::DisplayCalibration::Common::Security {

class SymmetricDecrypter : public ISymmetricDecrypter {
public:
    // Takes every ciphertext Encrypt makes (352 bytes at most). Throws DecrypterException for
    // a longer input and for a failing cipher step (a wrong key or damaged data fails the padding check).
    QByteArray Decrypt(const QByteArray& data) override;
};

}  // namespace Korvel::DisplayCalibration::Common::Security
