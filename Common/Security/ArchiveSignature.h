#pragma once

#include <QByteArray>

namespace Korvel::DisplayCalibration::Common::Security {

class IDecrypter;

// Whether the last MaxSize() bytes of `data` are the signature of the bytes before them: its first
// block must hold exactly the SHA-256 digest of those bytes and its second block nothing, each a
// PKCS#1 type-1 block under the decrypter's public key. Never throws for a bad signature.
bool HasValidArchiveSignature(IDecrypter& decrypter, const QByteArray& data);

}  // namespace Korvel::DisplayCalibration::Common::Security
