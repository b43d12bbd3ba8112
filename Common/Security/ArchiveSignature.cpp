#include "Common/Security/ArchiveSignature.h"

#include "Common/Security/IDecrypter.h"

#include <QCryptographicHash>

#include <exception>

namespace Korvel::DisplayCalibration::Common::Security {

bool HasValidArchiveSignature(IDecrypter& decrypter, const QByteArray& data)
{
    const qsizetype size = decrypter.MaxSize();
    if (size < 2 || data.size() <= size) {
        return false;
    }
    const QByteArray digest = QCryptographicHash::hash(data.first(data.size() - size), QCryptographicHash::Sha256);
    const QByteArray signature = data.last(size);
    const QByteArray first = signature.first(size / 2);
    const QByteArray second = signature.sliced(size / 2);
    try {
        // DecryptWithPublicKey joins what its two blocks hold; a block given twice shows what that
        // block alone holds, so neither a moved digest nor extra bytes pass.
        return decrypter.DecryptWithPublicKey(first + first) == digest + digest &&
               decrypter.DecryptWithPublicKey(second + second).isEmpty();
    } catch (const std::exception&) {
        // A block that is no PKCS#1 type-1 block under the key, or not below its modulus.
        return false;
    }
}

}  // namespace Korvel::DisplayCalibration::Common::Security
