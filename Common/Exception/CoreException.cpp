#include "Common/Exception/CoreException.h"

#include "Common/Logging/Loggable.h"

#include <log4cplus/loglevel.h>

#include <cstdio>
#include <vector>

namespace Korvel::DisplayCalibration::Core {

Exception::Exception(std::int32_t code, const std::string& message) : std::runtime_error(message), code(code)
{
    Common::Logging::Loggable logger("KVException");
    const int length = std::snprintf(nullptr, 0, "%s (0x%08x)", what(), unsigned(code));
    if (length < 0) {
        return;
    }
    std::vector<char> buffer(size_t(length) + 1);
    std::snprintf(buffer.data(), buffer.size(), "%s (0x%08x)", what(), unsigned(code));
    if (logger.IsEnabledFor(log4cplus::ERROR_LOG_LEVEL)) {
        logger.Log(log4cplus::ERROR_LOG_LEVEL, std::string(buffer.data(), size_t(length)), nullptr, 0, nullptr);
    }
}

}  // namespace Korvel::DisplayCalibration::Core
