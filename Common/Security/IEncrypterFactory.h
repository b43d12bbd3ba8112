#pragma once

#include "Common/Security/IEncrypter.h"
#include "Common/Security/ISymmetricEncrypter.h"

#include <QByteArray>

#include <memory>

namespace Korvel::DisplayCalibration::Common::Security {

class IEncrypterFactory {
public:
    virtual ~IEncrypterFactory() = default;
    virtual std::unique_ptr<IEncrypter> CreateEncrypter(const QByteArray& privateKey, const QByteArray& publicKey) = 0;
    virtual std::unique_ptr<IEncrypter> CreateEncrypter(const QByteArray& key, bool isPrivate) = 0;
    virtual std::unique_ptr<ISymmetricEncrypter> CreateSymmetricEncrypter() = 0;
};

}  // namespace Korvel::DisplayCalibration::Common::Security
