#include "Common/Security/Encrypter.h"

namespace Korvel::DisplayCalibration::Common::Security {

QByteArray Encrypter::EncryptWithPrivateKey(const QByteArray& data)
{
    return RunRsaOperation(RsaOperation::PrivateEncrypt, privateKey, data);
}

QByteArray Encrypter::EncryptWithPublicKey(const QByteArray& data)
{
    return RunRsaOperation(RsaOperation::PublicEncrypt, publicKey, data);
}

}  // namespace Korvel::DisplayCalibration::Common::Security
