#pragma once

#include <stdexcept>

namespace Korvel::DisplayCalibration::Common::Security {

// A failure of an encrypter (RSA or AES).
class EncrypterException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace Korvel::DisplayCalibration::Common::Security
