#pragma once

#include <QByteArray>

namespace Korvel::DisplayCalibration::Common::Security {

// AES-256-CBC with the built-in key and IV.
class ISymmetricEncrypter {
public:
    virtual ~ISymmetricEncrypter() = default;
    virtual QByteArray Encrypt(const QByteArray& data) = 0;
};

}  // namespace Korvel::DisplayCalibration::Common::Security
