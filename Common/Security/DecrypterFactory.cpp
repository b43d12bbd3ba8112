#include "Common/Security/DecrypterFactory.h"

#include "Common/Security/Decrypter.h"
#include "Common/Security/SymmetricDecrypter.h"

namespace Korvel::DisplayCalibration::Common::Security {

std::unique_ptr<IDecrypter> DecrypterFactory::CreateDecrypter(const QByteArray& privateKey, const QByteArray& publicKey)
{
    return std::make_unique<Decrypter>(privateKey, publicKey);
}

std::unique_ptr<IDecrypter> DecrypterFactory::CreateDecrypter(const QByteArray& key, bool isPrivate)
{
    return std::make_unique<Decrypter>(key, isPrivate);
}

std::unique_ptr<ISymmetricDecrypter> DecrypterFactory::CreateSymmetricDecrypter()
{
    return std::make_unique<SymmetricDecrypter>();
}

}  // namespace Korvel::DisplayCalibration::Common::Security
