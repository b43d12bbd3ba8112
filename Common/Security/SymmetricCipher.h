// The AES-256-CBC pass shared by the symmetric encrypter and decrypter.
#pragma once

#include <QByteArray>

namespace Korvel::DisplayCalibration::Common::Security {

// Largest plaintext Encrypt takes, and the ciphertext it then makes at most (decryption's limit).
inline constexpr qsizetype SymmetricPlaintextLimit = 350;
inline constexpr qsizetype SymmetricCiphertextLimit = 352;

// Encrypts or decrypts `length` bytes of `data` with the built-in key and IV (PKCS#7 padding).
// Throws EncrypterException or DecrypterException with the failing step's name.
QByteArray RunAes(bool encrypt, const char* data, qsizetype length);

}  // namespace Korvel::DisplayCalibration::Common::Security
