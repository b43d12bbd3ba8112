#pragma once

#include "Common/Security/IDecrypter.h"
#include "Common/Security/ISymmetricDecrypter.h"

#include <QByteArray>

#include <memory>

namespace Korvel::DisplayCalibration::Common::Security {

class IDecrypterFactory {
public:
    virtual ~IDecrypterFactory() = default;
    virtual std::unique_ptr<IDecrypter> CreateDecrypter(const QByteArray& privateKey, const QByteArray& publicKey) = 0;
    virtual std::unique_ptr<IDecrypter> CreateDecrypter(const QByteArray& key, bool isPrivate) = 0;
    virtual std::unique_ptr<ISymmetricDecrypter> CreateSymmetricDecrypter() = 0;
};

}  // namespace Korvel::DisplayCalibration::Common::Security
