#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace Korvel::DisplayCalibration::Common::Exception {

// Base of the shared library's exceptions: a message and a Windows error code (-1 when none).
class OsErrorException : public std::runtime_error {
public:
    explicit OsErrorException(const std::string& message);
    // `what` is SystemErrorText(code, message).
    OsErrorException(std::int32_t code, const std::string& message);
    ~OsErrorException() override = default;

    const char* what() const noexcept override;
    // The trimmed message, ".\n" when it is not empty, Windows' text for a nonzero code, then " (<code as unsigned>)".
    virtual std::string SystemErrorText(std::int32_t code, const std::string& message) const;

    std::int32_t Code() const noexcept { return code; }

private:
    std::int32_t code = -1;
};

}  // namespace Korvel::DisplayCalibration::Common::Exception

// Declares an exception class for one failing operation: it forwards both constructors.
#define KORVEL_DECLARE_OS_ERROR_EXCEPTION(Name)                                                     \
    class Name : public ::Korvel::DisplayCalibration::Common::Exception::OsErrorException {         \
    public:                                                                                         \
        using ::Korvel::DisplayCalibration::Common::Exception::OsErrorException::OsErrorException;  \
    }
