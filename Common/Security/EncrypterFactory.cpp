#include "Common/Security/EncrypterFactory.h"

#include "Common/Security/Encrypter.h"
#include "Common/Security/SymmetricEncrypter.h"

namespace Korvel::DisplayCalibration::Common::Security {

std::unique_ptr<IEncrypter> EncrypterFactory::CreateEncrypter(const QByteArray& privateKey, const QByteArray& publicKey)
{
    return std::make_unique<Encrypter>(privateKey, publicKey);
}

std::unique_ptr<IEncrypter> EncrypterFactory::CreateEncrypter(const QByteArray& key, bool isPrivate)
{
    return std::make_unique<Encrypter>(key, isPrivate);
}

std::unique_ptr<ISymmetricEncrypter> EncrypterFactory::CreateSymmetricEncrypter()
{
    return std::make_unique<SymmetricEncrypter>();
}

}  // namespace Korvel::DisplayCalibration::Common::Security
