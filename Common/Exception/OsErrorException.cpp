#include "Common/Exception/OsErrorException.h"

#include "Common/Application/TextHelpers.h"
#include "WindowsStandIn/Win32.h"

namespace Korvel::DisplayCalibration::Common::Exception {

OsErrorException::OsErrorException(const std::string& message) : std::runtime_error(message) {}

OsErrorException::OsErrorException(std::int32_t code, const std::string& message)
    : std::runtime_error(SystemErrorText(code, message)), code(code)
{
}

const char* OsErrorException::what() const noexcept
{
    return std::runtime_error::what();
}

std::string OsErrorException::SystemErrorText(std::int32_t code, const std::string& message) const
{
    std::string trimmed = message;
    Trim(trimmed);
    std::string text;
    if (!trimmed.empty()) {
        text += trimmed + ".\n";
    }
    if (code != 0) {
        char* buffer = nullptr;
        const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                                FORMAT_MESSAGE_IGNORE_INSERTS,
                                            nullptr, DWORD(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                            reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
        if (length != 0 && buffer != nullptr) {
            text.append(buffer, length);
            LocalFree(buffer);
        }
    }
    text += " (" + std::to_string(std::uint32_t(code)) + ")";
    return text;
}

}  // namespace Korvel::DisplayCalibration::Common::Exception
