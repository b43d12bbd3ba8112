#pragma once

#include <QByteArray>

namespace Korvel::DisplayCalibration::Common::Security {

// AES-256-CBC with the built-in key and IV.
class ISymmetricDecrypter {
public:
    virtual ~ISymmetricDecrypter() = default;
    virtual QByteArray Decrypt(const QByteArray& data) = 0;
};

}  // namespace Korvel::DisplayCalibration::Common::Security
