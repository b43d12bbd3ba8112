// The process-wide log set-up from the log configuration, and the start header of the main log.
#pragma once

#include <QString>

namespace Korvel::DisplayCalibration::Common::Logging {

// Console appender (when `console`), the rolling "MasterFileAppender" on logDirectory/logFile
// (10 MiB, 5 backups), the root level, then the start header. Empty formats select the
// appenders' default layouts. A log file or a folder on its way below the application data root that
// is a symbolic link is replaced first (ReplaceSymbolicLinks): the log is written in the machine,
// never through the link. Failures of the log library and of the encryption pass to the caller.
void SetUpLogging(const QString& logDirectory, const QString& logFile, const QString& fileMessageFormat,
                  bool console, const QString& consoleMessageFormat, int level, const QString& versionText);

// Product and version, copyright, current time, the process's arguments and the user name,
// RSA-encrypted with the public key resource (never in plain text), on the logger "start" at INFO.
void WriteLogHeader(const QString& versionText);

}  // namespace Korvel::DisplayCalibration::Common::Logging
