// The archive signature check, apart from the rest of the restorer so that a tool can link it alone.
#include "Common/Security/IDecrypter.h"
#include "ProfileData/ProfileRestorer.h"
#include "ProfileData/ProfileRestorerExceptions.h"

#include <QCryptographicHash>

#include <exception>

void ProfileRestorer::VerifySignature(IDecrypter& decrypter, const QByteArray& data)
{
    const InvalidDigitalSignatureException invalid("Profile archive does not have valid digital signature");
    const qsizetype size = decrypter.MaxSize();
    if (size < 2 || data.size() <= size) {
        throw invalid;
    }
    const QByteArray digest = QCryptographicHash::hash(data.first(data.size() - size), QCryptographicHash::Sha256);
    const QByteArray signature = data.last(size);
    const QByteArray first = signature.first(size / 2);
    const QByteArray second = signature.sliced(size / 2);
    bool valid = false;
    try {
        // DecryptWithPublicKey joins what its two blocks hold; a block given twice shows what that
        // block alone holds, so neither a moved digest nor extra bytes pass.
        valid = decrypter.DecryptWithPublicKey(first + first) == digest + digest &&
                decrypter.DecryptWithPublicKey(second + second).isEmpty();
    } catch (const std::exception&) {
        // A block that is no PKCS#1 type-1 block under the key, or not below its modulus.
    }
    if (!valid) {
        throw invalid;
    }
}
