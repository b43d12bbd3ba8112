#pragma once

#include <QString>

#include <string>

class QIODevice;

namespace Korvel::DisplayCalibration::Common::HardwareInfo {

// Writes one side-log line to an open device: "yyyy.MM.dd hh:mm:ss.zzz ", the current thread's
// id in decimal, a blank, the text and a line feed.
void WriteTimestampedLogLine(QIODevice& device, const QString& text);

// Appends one such line to "<UserDataDirectory>/log/Generic.log"; does nothing when the file
// cannot be opened.
void WriteGenericLogLine(const std::string& text);

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
