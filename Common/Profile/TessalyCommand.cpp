#include "Common/Profile/TessalyCommand.h"

#include "Common/Application/Constants.h"
#include "Common/Exception/OsErrorException.h"
#include "Common/Windows/CommandLine.h"

#include <QCoreApplication>
#include <QDir>

namespace Korvel::DisplayCalibration::Common::Profile {
namespace {

using Exception::OsErrorException;
using Windows::CommandLine;

// The value quoted for `option`; a refusal names the option.
QString Quoted(const char* option, const QString& value)
{
    try {
        return CommandLine::QuoteArgument(value);
    } catch (const OsErrorException& error) {
        throw OsErrorException("Invalid value for --" + std::string(option) + ": " + error.what());
    }
}

}  // namespace

TessalyCommand::TessalyCommand(const QString& toolPath) : text(toolPath) {}

QString TessalyCommand::ToolPath()
{
    return ToolPathIn(QCoreApplication::applicationDirPath());
}

QString TessalyCommand::ToolPathIn(const QString& folder)
{
    try {
        return CommandLine::QuoteArgument(QDir::toNativeSeparators(folder + "/" + ElevatedToolFileName));
    } catch (const OsErrorException& error) {
        throw OsErrorException("Invalid program folder " + folder.toStdString() + ": " + error.what());
    }
}

QString TessalyCommand::ApplicationKey()
{
    return MakerMachineKey + QCoreApplication::applicationName();
}

QString TessalyCommand::PanelKey()
{
    return ApplicationKey() + "\\" + PanelInfoGroup;
}

TessalyCommand& TessalyCommand::ColorCalibration(bool enabled)
{
    // A word of the grammar, not a value from outside.
    text += enabled ? QStringLiteral(" --color-calibration enabled") : QStringLiteral(" --color-calibration disabled");
    return *this;
}

TessalyCommand& TessalyCommand::InstallProfile(const QString& path)
{
    return Append("install-profile", QDir::toNativeSeparators(path));
}

TessalyCommand& TessalyCommand::InstallProfiles(const QStringList& paths)
{
    return AppendEach("install-profile", paths, true);
}

TessalyCommand& TessalyCommand::InstallHdr10Profiles(const QStringList& paths)
{
    return AppendEach("install-profile-hdr10", paths, true);
}

TessalyCommand& TessalyCommand::ReplaceProfiles(const QStringList& paths)
{
    return AppendEach("replace-profile", paths, true);
}

TessalyCommand& TessalyCommand::PreparedFromDigests(const PreparedFrom& preparedFrom)
{
    QStringList values;
    for (auto it = preparedFrom.cbegin(); it != preparedFrom.cend(); ++it) {
        values << PreparedFromValue(it.key(), it.value());
    }
    return AppendEach("prepared-from", values, false);
}

TessalyCommand& TessalyCommand::UninstallProfile(const QString& name)
{
    return Append("uninstall-profile", name);
}

TessalyCommand& TessalyCommand::UninstallProfiles(const QStringList& names)
{
    return AppendEach("uninstall-profile", names, false);
}

TessalyCommand& TessalyCommand::RegistryPath(const QString& keyPath)
{
    return Append("set-registry-path", keyPath);
}

TessalyCommand& TessalyCommand::AddRegistryValue(const QString& name, const QString& value)
{
    return Append("add-registry-key", name).Append("registry-value", value);
}

TessalyCommand& TessalyCommand::RemoveRegistryValue(const QString& name)
{
    return Append("remove-registry-key", name);
}

TessalyCommand& TessalyCommand::Append(const char* option, const QString& value)
{
    text += QStringLiteral(" --") + QLatin1String(option) + " " + Quoted(option, value);
    return *this;
}

TessalyCommand& TessalyCommand::AppendEach(const char* option, const QStringList& values, bool paths)
{
    for (const QString& value : values) {
        Append(option, paths ? QDir::toNativeSeparators(value) : value);
        text += ' ';
    }
    return *this;
}

}  // namespace Korvel::DisplayCalibration::Common::Profile
