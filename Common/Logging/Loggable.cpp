#include "Common/Logging/Loggable.h"

#include "Common/Exception/CoreException.h"

#include <QObject>
#include <QString>

#include <log4cplus/logger.h>

#include <algorithm>

namespace Korvel::DisplayCalibration::Common::Logging {

Loggable::Loggable(const std::string& name)
{
    if (name.empty()) {
        throw Core::Exception(1, QObject::tr("cannot create logger with empty namespace").toStdString());
    }
    logger = new log4cplus::Logger(log4cplus::Logger::getInstance(LOG4CPLUS_STRING_TO_TSTRING(name)));
}

Loggable::~Loggable()
{
    delete logger;
}

bool Loggable::IsEnabledFor(int level) const
{
    return logger->isEnabledFor(level);
}

void Loggable::SetLogLevel(int level)
{
    logger->setLogLevel(std::clamp(level, int(TraceLevel), int(OffLevel)));
}

void Loggable::Log(int level, const std::string& text, const char* file, int line, const char* function)
{
    logger->log(level, LOG4CPLUS_STRING_TO_TSTRING(text), file, line, function);
}

void Loggable::LogError(int level, const char* text, const std::wstring& wide)
{
    if (!IsEnabledFor(level)) {
        return;
    }
    LogPieces(level, text, QString::fromStdWString(wide).toStdString());
}

std::string ConcatenateTexts(const std::string& a, const char* b, const std::string& c, const char* d,
                             const std::string& e, const char* f)
{
    return a + b + c + d + e + f;
}

}  // namespace Korvel::DisplayCalibration::Common::Logging
