#include "Common/Security/SymmetricEncrypter.h"

#include "Common/Security/EncrypterException.h"
#include "Common/Security/SymmetricCipher.h"

namespace Korvel::DisplayCalibration::Common::Security {

QByteArray SymmetricEncrypter::Encrypt(const QByteArray& data)
{
    if (data.size() > SymmetricPlaintextLimit) {
        throw EncrypterException("Input data size is too big.");
    }
    // The input is zero-terminated text.
    return RunAes(true, data.constData(), qsizetype(qstrnlen(data.constData(), size_t(data.size()))));
}

}  // namespace Korvel::DisplayCalibration::Common::Security
