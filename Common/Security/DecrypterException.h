#pragma once

#include <stdexcept>

namespace Korvel::DisplayCalibration::Common::Security {

// A failure of a decrypter (RSA or AES).
class DecrypterException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace Korvel::DisplayCalibration::Common::Security
