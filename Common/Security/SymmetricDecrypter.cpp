#include "Common/Security/SymmetricDecrypter.h"

#include "Common/Security/DecrypterException.h"
#include "Common/Security/SymmetricCipher.h"

namespace Korvel::DisplayCalibration::Common::Security {

QByteArray SymmetricDecrypter::Decrypt(const QByteArray& data)
{
    if (data.size() > SymmetricCiphertextLimit) {
        throw DecrypterException("Input data size is too big.");
    }
    return RunAes(false, data.constData(), data.size());
}

}  // namespace Korvel::DisplayCalibration::Common::Security
