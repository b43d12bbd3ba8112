#pragma once

#include "Common/Security/IEncrypterFactory.h"

namespace Korvel::DisplayCalibration::Common::Security {

class EncrypterFactory : public IEncrypterFactory {
public:
    std::unique_ptr<IEncrypter> CreateEncrypter(const QByteArray& privateKey, const QByteArray& publicKey) override;
    std::unique_ptr<IEncrypter> CreateEncrypter(const QByteArray& key, bool isPrivate) override;
    std::unique_ptr<ISymmetricEncrypter> CreateSymmetricEncrypter() override;
};

}  // namespace Korvel::DisplayCalibration::Common::Security
