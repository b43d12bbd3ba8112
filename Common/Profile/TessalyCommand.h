// Builds one command line of the elevated tool (Tessaly). Every value appended, paths and names
// included, is quoted by CommandLine::QuoteArgument, so it reaches the tool's argv exactly; a value
// that cannot is refused with OsErrorException before anything runs.
#pragma once

#include "Common/Profile/PreparedFrom.h"

#include <QString>
#include <QStringList>

namespace Korvel::DisplayCalibration::Common::Profile {

class TessalyCommand {
public:
    // Starts with the tool's quoted path.
    explicit TessalyCommand(const QString& toolPath = ToolPath());

    // The quoted path of "Tessaly.exe" in the folder of the running program, or in `folder`; a folder
    // that cannot be passed on a command line (one holding a double quote ...) is refused with
    // OsErrorException.
    static QString ToolPath();
    static QString ToolPathIn(const QString& folder);
    // "HKEY_LOCAL_MACHINE\SOFTWARE\Korvel Inc\<application name>" and its "\PanelInfo" subkey.
    static QString ApplicationKey();
    static QString PanelKey();

    // " --color-calibration enabled|disabled"
    TessalyCommand& ColorCalibration(bool enabled);
    // One value: " --option VALUE". A list: " --option VALUE " per item, so that items are
    // separated by two spaces.
    TessalyCommand& InstallProfile(const QString& path);
    TessalyCommand& InstallProfiles(const QStringList& paths);
    TessalyCommand& InstallHdr10Profiles(const QStringList& paths);
    TessalyCommand& ReplaceProfiles(const QStringList& paths);
    // " --prepared-from NAME=SHA256HEX " per installed file, in name order.
    TessalyCommand& PreparedFromDigests(const PreparedFrom& preparedFrom);
    TessalyCommand& UninstallProfile(const QString& name);
    TessalyCommand& UninstallProfiles(const QStringList& names);
    // " --set-registry-path KEY"
    TessalyCommand& RegistryPath(const QString& keyPath);
    // " --add-registry-key NAME --registry-value VALUE"
    TessalyCommand& AddRegistryValue(const QString& name, const QString& value);
    // " --remove-registry-key NAME"
    TessalyCommand& RemoveRegistryValue(const QString& name);

    const QString& Text() const { return text; }

private:
    TessalyCommand& Append(const char* option, const QString& value);
    TessalyCommand& AppendEach(const char* option, const QStringList& values, bool paths);

    QString text;
};

}  // namespace Korvel::DisplayCalibration::Common::Profile
