// Sets up the main log, then optionally fills it:
//   logsetup DIR FILE FILEFORMAT CONSOLE(true|false) CONSOLEFORMAT LEVEL VERSION FILLBYTES [ARGS...]
// or as the tray program's start-up does, from the configuration of the internal panel:
//   logsetup --startup VERSION
// Logs one DEBUG and one INFO line on the logger "probe" after the header.
#include "Common/Application/Paths.h"
#include "Common/HardwareInfo/InternalPanelObtainer.h"
#include "Common/Logging/LogHeader.h"
#include "Common/Settings/LogConfiguration.h"

#include <QCoreApplication>
#include <QDir>

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    using namespace Korvel::DisplayCalibration::Common;
    if (args.size() == 3 && args[1] == "--startup") {
        try {
            QDir::setCurrent(QCoreApplication::applicationDirPath());
            const QString panelId = HardwareInfo::InternalPanelObtainer().GetInternalPanelId();
            const auto configuration = Settings::CreateLogConfiguration(panelId);
            Logging::SetUpLogging(LogDirectory(), configuration->LogFile(), configuration->FileMessageFormat(),
                                  configuration->Console(), configuration->ConsoleMessageFormat(),
                                  configuration->Level(), args[2]);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s\n", error.what());
            return 1;
        }
        LOG4CPLUS_INFO(log4cplus::Logger::getInstance("probe"), "info probe");
        return 0;
    }
    if (args.size() < 9) {
        std::fprintf(stderr, "usage: logsetup DIR FILE FILEFORMAT CONSOLE CONSOLEFORMAT LEVEL VERSION FILLBYTES [ARGS...]\n");
        return 2;
    }
    try {
        Logging::SetUpLogging(args[1], args[2], args[3], args[4] == "true", args[5], args[6].toInt(), args[7]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    const log4cplus::Logger probe = log4cplus::Logger::getInstance("probe");
    LOG4CPLUS_DEBUG(probe, "debug probe");
    LOG4CPLUS_INFO(probe, "info probe");
    const log4cplus::Logger fill = log4cplus::Logger::getInstance("fill");
    const std::string line(64 * 1024, 'x');
    for (long long written = 0, total = args[8].toLongLong(); written < total; written += qsizetype(line.size())) {
        LOG4CPLUS_WARN(fill, line);
    }
    return 0;
}
