#include "Common/HardwareInfo/TimestampedLog.h"

#include "Common/Application/Paths.h"

#include <QDateTime>
#include <QFile>
#include <QTextStream>

#include <exception>
#include <sys/syscall.h>
#include <unistd.h>

namespace Korvel::DisplayCalibration::Common::HardwareInfo {

void WriteTimestampedLogLine(QIODevice& device, const QString& text)
{
    QTextStream stream(&device);
    stream << QDateTime::currentDateTime().toString(QStringLiteral("yyyy.MM.dd hh:mm:ss.zzz ")) << long(::syscall(SYS_gettid))
           << ' ' << text << '\n';
    stream.flush();
}

void WriteGenericLogLine(const std::string& text)
{
    QString path;
    try {
        const QString directory = LogDirectory();
        if (directory == QLatin1String(".")) {
            return;
        }
        path = LogFilePath(directory, QStringLiteral("Generic.log"));
    } catch (const std::exception&) {
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        return;
    }
    WriteTimestampedLogLine(file, QString::fromStdString(text));
}

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
