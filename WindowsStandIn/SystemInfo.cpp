#include "WindowsStandIn/SystemInfo.h"

#include "WindowsStandIn/Registry.h"

namespace WinSim {
namespace {

const QString CurrentVersionKey = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");

QString Text(const QString& name)
{
    Registry::Value value;
    return Registry::GetValue(CurrentVersionKey, name, value) == ERROR_SUCCESS ? value.data.toString() : QString();
}

}  // namespace

QString ProductVersion()
{
    const int build = Text(QStringLiteral("CurrentBuildNumber")).toInt();
    if (build >= 22000) {
        return QStringLiteral("11");
    }
    const QString major = Text(QStringLiteral("CurrentMajorVersionNumber"));
    return major.isEmpty() ? QStringLiteral("10") : major;
}

QString PrettyProductName()
{
    QString name = "Windows " + ProductVersion();
    const QString displayVersion = Text(QStringLiteral("DisplayVersion"));
    if (!displayVersion.isEmpty()) {
        name += " Version " + displayVersion;
    }
    return name;
}

}  // namespace WinSim
