#pragma once

#include "Common/Security/ISymmetricEncrypter.h"

namespace Korvel::DisplayCalibration::Common::Security {

class SymmetricEncrypter : public ISymmetricEncrypter {
public:
    // Encrypts the text up to the first zero byte. Throws EncrypterException for more than
    // 350 bytes of input and for a failing cipher step.
    QByteArray Encrypt(const QByteArray& data) override;
};

}  // namespace Korvel::DisplayCalibration::Common::Security
