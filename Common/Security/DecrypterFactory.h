#pragma once

#include "Common/Security/IDecrypterFactory.h"

namespace Korvel::DisplayCalibration::Common::Security {

class DecrypterFactory : public IDecrypterFactory {
public:
    std::unique_ptr<IDecrypter> CreateDecrypter(const QByteArray& privateKey, const QByteArray& publicKey) override;
    std::unique_ptr<IDecrypter> CreateDecrypter(const QByteArray& key, bool isPrivate) override;
    std::unique_ptr<ISymmetricDecrypter> CreateSymmetricDecrypter() override;
};

}  // namespace Korvel::DisplayCalibration::Common::Security
