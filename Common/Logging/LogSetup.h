#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace Korvel::DisplayCalibration::Common::Logging {

inline constexpr const char* DefaultFilePattern = "%D{%Y.%m.%d %H:%M:%S,%Q} [%t] %p %c{2} <%x> - %m%n";

// Set-up of log4cplus's root logger.
void InitializeLogging();
void SetRootLogLevel(int level);
// Console appender "Console" on standard output; TTCC layout when no pattern is given.
void ConfigureConsoleLogging(const std::optional<std::string>& pattern);
// Rolling file appender that creates missing folders; DefaultFilePattern when no pattern is given.
void ConfigureFileLogging(const std::wstring& fileName, const std::string& appenderName, std::uint32_t maxFileSize,
                          int maxBackupIndex, const std::optional<std::string>& pattern);
// The current local time through std::put_time ("%Y-%m-%d %H:%M:%S").
std::string CurrentTimeText(const std::string& format);

}  // namespace Korvel::DisplayCalibration::Common::Logging
