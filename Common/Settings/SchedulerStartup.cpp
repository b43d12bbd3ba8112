#include "Common/Settings/SchedulerStartup.h"

#include "Common/Application/Constants.h"
#include "Common/Application/Paths.h"
#include "Common/Windows/CommandLine.h"
#include "WindowsStandIn/FileStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringEncoder>

namespace Korvel::DisplayCalibration::Common::Settings {
namespace {

using Windows::CommandLine;

std::uint32_t RunSchTasks(const QString& arguments, bool elevated)
{
    QString output;
    return CommandLine::Run("SchTasks " + arguments, elevated, output);
}

// The definition as the declaration says: UTF-16 with a byte-order mark. A link at its name is
// replaced, never written through.
void WriteDefinition(const QString& path, const QString& xml)
{
    QStringEncoder encoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    if (!WinSim::Detail::WriteFileAtomically(path, encoder(xml))) {
        throw EnableStartupException(std::string());
    }
}

// The template filled in for `programPath`: the command in double quotes, both values escaped for XML.
QString TaskDefinition(const QString& programPath)
{
    return LogonTaskXmlTemplate.arg(LogonTaskName.toHtmlEscaped(), CommandLine::QuotePath(programPath).toHtmlEscaped());
}

}  // namespace

bool SchedulerStartup::IsEnabled()
{
    return RunSchTasks("/query /TN " + LogonTaskName, false) == 0;
}

void SchedulerStartup::Enable()
{
    try {
        const QString folder = ScriptsDirectory();
        const QString path = folder + "/" + LogonTaskName + ".xml";
        WriteDefinition(path, TaskDefinition(QCoreApplication::applicationFilePath()));
        std::uint32_t result = 0;
        try {
            result = RunSchTasks("/Create /F /TN " + LogonTaskName + " /XML " + CommandLine::QuoteArgument(
                                                                                   QDir::toNativeSeparators(path)),
                                 true);
        } catch (...) {
            QFile::remove(path);
            throw;
        }
        QFile::remove(path);
        if (result != 0) {
            throw EnableStartupException(std::int32_t(result), std::string());
        }
    } catch (const EnableStartupException&) {
        throw;
    } catch (...) {
        throw EnableStartupException(std::string());
    }
}

void SchedulerStartup::Disable()
{
    const std::uint32_t result = RunSchTasks("/Delete /F /TN " + LogonTaskName, true);
    if (result != 0) {
        throw DisableStartupException(std::int32_t(result), std::string());
    }
}

IStartupHelper* StartupHelperFactory::Create()
{
    return new SchedulerStartup();
}

}  // namespace Korvel::DisplayCalibration::Common::Settings
