#include "Common/Logging/LogSetup.h"

#include <QString>

#include <log4cplus/config.hxx>
#include <log4cplus/consoleappender.h>
#include <log4cplus/fileappender.h>
#include <log4cplus/helpers/property.h>
#include <log4cplus/initializer.h>
#include <log4cplus/layout.h>
#include <log4cplus/logger.h>

#include <ctime>
#include <iomanip>
#include <memory>
#include <sstream>

namespace Korvel::DisplayCalibration::Common::Logging {
namespace {

std::unique_ptr<log4cplus::Layout> PatternLayout(const std::string& pattern)
{
    log4cplus::helpers::Properties properties;
    properties.setProperty(LOG4CPLUS_TEXT("ConversionPattern"), LOG4CPLUS_STRING_TO_TSTRING(pattern));
    return std::make_unique<log4cplus::PatternLayout>(properties);
}

}  // namespace

void InitializeLogging()
{
    log4cplus::initialize();
    // Every appender here writes in the calling thread: of the pool log4cplus starts for
    // asynchronous appending, only the one worker it cannot do without is kept.
    log4cplus::setThreadPoolSize(1);
}

void SetRootLogLevel(int level)
{
    log4cplus::Logger::getRoot().setLogLevel(level);
}

void ConfigureConsoleLogging(const std::optional<std::string>& pattern)
{
    log4cplus::SharedAppenderPtr appender(new log4cplus::ConsoleAppender(false, true));
    appender->setName(LOG4CPLUS_TEXT("Console"));
    if (pattern) {
        appender->setLayout(PatternLayout(*pattern));
    } else {
        appender->setLayout(std::make_unique<log4cplus::TTCCLayout>(false, true, true, true));
    }
    log4cplus::Logger::getRoot().addAppender(appender);
}

void ConfigureFileLogging(const std::wstring& fileName, const std::string& appenderName, std::uint32_t maxFileSize,
                          int maxBackupIndex, const std::optional<std::string>& pattern)
{
    const std::string file = QString::fromStdWString(fileName).toStdString();
    log4cplus::SharedAppenderPtr appender(
        new log4cplus::RollingFileAppender(LOG4CPLUS_STRING_TO_TSTRING(file), long(maxFileSize), maxBackupIndex,
                                           true, true));
    appender->setName(LOG4CPLUS_STRING_TO_TSTRING(appenderName));
    appender->setLayout(PatternLayout(pattern.value_or(DefaultFilePattern)));
    log4cplus::Logger::getRoot().addAppender(appender);
}

std::string CurrentTimeText(const std::string& format)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::ostringstream stream;
    stream << std::put_time(&local, format.c_str());
    return stream.str();
}

}  // namespace Korvel::DisplayCalibration::Common::Logging
