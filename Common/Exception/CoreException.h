#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace Korvel::DisplayCalibration::Core {

// An exception with a code chosen by the thrower. Making one logs "<message> (0x<code>)"
// at ERROR on the logger "KVException", whether or not it is caught.
class Exception : public std::runtime_error {
public:
    Exception(std::int32_t code, const std::string& message);
    ~Exception() override = default;

    std::int32_t Code() const noexcept { return code; }

private:
    std::int32_t code;
};

}  // namespace Korvel::DisplayCalibration::Core
