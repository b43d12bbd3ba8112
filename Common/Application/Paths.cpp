#include "Common/Application/Paths.h"

#include "Common/Application/Constants.h"
#include "WindowsStandIn/Machine.h"

#include <QDir>

#include <filesystem>

namespace Korvel::DisplayCalibration::Common {
namespace {

QString UserName()
{
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? qEnvironmentVariable("USERNAME") : user;
}

std::filesystem::path TemporaryDirectoryPath()
{
    return QFile::encodeName(WinSim::MapWindowsPath(QString::fromStdString(TemporaryDirectory))).toStdString();
}

}  // namespace

QString ApplicationDataDirectory()
{
    return WinSim::MapWindowsPath(ApplicationDataRoot);
}

QString UserDataDirectory()
{
    const QString user = UserName();
    if (user.contains('/') || user.contains('\\') || user == "." || user == "..") {
        throw UserDataDirectoryException("Invalid user name \"" + user.toStdString() +
                                         "\": it must not contain a path separator or be \".\" or \"..\"");
    }
    const QString root = ApplicationDataDirectory();
    QDir().mkpath(QDir::toNativeSeparators(QDir(root + UsersFolder).absolutePath()));
    const QDir userDirectory(root + UsersFolder + "/" + user + "/");
    QDir().mkpath(QDir::toNativeSeparators(userDirectory.absolutePath()));
    return QDir::toNativeSeparators(QDir::cleanPath(userDirectory.absolutePath()));
}

QString LogDirectory()
{
    QString userDirectory;
    try {
        userDirectory = UserDataDirectory();
    } catch (const UserDataDirectoryException&) {
        return QStringLiteral(".");
    }
    const QDir logDirectory(userDirectory + "/" + LogFolderName);
    if (!logDirectory.exists() && !QDir().mkpath(logDirectory.absolutePath())) {
        return QStringLiteral(".");
    }
    return QDir::toNativeSeparators(QDir::cleanPath(logDirectory.absolutePath()));
}

QString InitLogFilePath()
{
    return QDir::toNativeSeparators(LogDirectory() + "/" + InitLogFileName);
}

QString VotLogFilePath()
{
    return QDir::toNativeSeparators(LogDirectory() + "/" + VotLogFileName);
}

QString CreateTemporaryDirectory()
{
    const std::filesystem::path path = TemporaryDirectoryPath();
    if (!std::filesystem::exists(path)) {
        std::filesystem::create_directory(path);
    }
    return QFile::decodeName(path.c_str());
}

void RemoveTemporaryDirectory()
{
    const std::filesystem::path path = TemporaryDirectoryPath();
    if (std::filesystem::exists(path)) {
        std::filesystem::remove_all(path);
    }
}

}  // namespace Korvel::DisplayCalibration::Common
