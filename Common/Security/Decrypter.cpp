#include "Common/Security/Decrypter.h"

namespace Korvel::DisplayCalibration::Common::Security {

QByteArray Decrypter::DecryptWithPrivateKey(const QByteArray& data)
{
    return RunRsaOperation(RsaOperation::PrivateDecrypt, privateKey, data);
}

QByteArray Decrypter::DecryptWithPublicKey(const QByteArray& data)
{
    return RunRsaOperation(RsaOperation::PublicDecrypt, publicKey, data);
}

}  // namespace Korvel::DisplayCalibration::Common::Security
