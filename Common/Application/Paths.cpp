#include "Common/Application/Paths.h"

#include "Common/Application/Constants.h"
#include "WindowsStandIn/Machine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

// Removes the symbolic links directly in the folder `path`.
void RemoveLinksIn(const QString& path)
{
    const QDir folder(path);
    const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QFileInfo& entry : folder.entryInfoList(all)) {
        if (entry.isSymLink()) {
            QFile::remove(entry.filePath());
        }
    }
}

}  // namespace

QString ApplicationDataDirectory()
{
    const QString directory = WinSim::MapWindowsPath(ApplicationDataRoot);
    ReplaceSymbolicLinks(WinSim::MapWindowsPath(QStringLiteral("C:/")), directory + "/");
    return directory;
}

QString UserDataDirectory()
{
    const QString user = UserName();
    if (user.contains('/') || user.contains('\\') || user == "." || user == "..") {
        throw UserDataDirectoryException("Invalid user name \"" + user.toStdString() +
                                         "\": it must not contain a path separator or be \".\" or \"..\"");
    }
    const QString root = ApplicationDataDirectory();
    ReplaceSymbolicLinks(root, root + UsersFolder + "/" + user + "/");
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
    ReplaceSymbolicLinks(userDirectory, logDirectory.absolutePath() + "/");
    if (!logDirectory.exists() && !QDir().mkpath(logDirectory.absolutePath())) {
        return QStringLiteral(".");
    }
    return QDir::toNativeSeparators(QDir::cleanPath(logDirectory.absolutePath()));
}

void ReplaceSymbolicLinks(const QString& root, const QString& path)
{
    const QString base = QDir::cleanPath(QDir(root).absolutePath());
    const QString target = QDir::cleanPath(QDir(path).absolutePath());
    const bool below = target.startsWith(base + "/");
    const QStringList parts =
        below ? target.mid(base.size() + 1).split('/') : QStringList{QFileInfo(target).fileName()};
    QString current = below ? base : QFileInfo(target).path();
    for (qsizetype at = 0; at < parts.size(); ++at) {
        current += "/" + parts[at];
        if (!QFileInfo(current).isSymLink()) {
            continue;
        }
        QFile::remove(current);
        const bool folder = at + 1 < parts.size() || path.endsWith('/');
        if (folder) {
            QDir().mkdir(current);
        }
    }
}

bool MakeFolder(const QString& root, const QString& path)
{
    ReplaceSymbolicLinks(root, path + "/");
    if (!QDir().mkpath(path)) {
        return false;
    }
    RemoveLinksIn(path);
    return true;
}

bool RemoveFolder(const QString& path)
{
    const QFileInfo entry(path);
    if (!entry.isSymLink() && !entry.isDir()) {
        return true;
    }
    std::error_code error;
    std::filesystem::remove_all(QFile::encodeName(path).toStdString(), error);
    const QFileInfo left(path);
    return !error && !left.exists() && !left.isSymLink();
}

QString ScriptsDirectory()
{
    const QString user = UserDataDirectory();
    const QString folder = user + "/scripts";
    MakeFolder(user, folder);
    return folder;
}

QString LogFilePath(const QString& directory, const QString& name)
{
    const QString path = QDir::toNativeSeparators(directory + "/" + name);
    ReplaceSymbolicLinks(directory, path);
    return path;
}

QString LogFilePath(const QString& name)
{
    return LogFilePath(LogDirectory(), name);
}

QString InitLogFilePath()
{
    return LogFilePath(InitLogFileName);
}

QString VotLogFilePath()
{
    return LogFilePath(VotLogFileName);
}

QString CreateTemporaryDirectory()
{
    const std::filesystem::path path = TemporaryDirectoryPath();
    const QString directory = QFile::decodeName(path.c_str());
    ReplaceSymbolicLinks(ApplicationDataDirectory(), directory + "/");
    if (!std::filesystem::exists(path)) {
        std::filesystem::create_directory(path);
    }
    RemoveLinksIn(directory);
    return directory;
}

void RemoveTemporaryDirectory()
{
    const std::filesystem::path path = TemporaryDirectoryPath();
    if (std::filesystem::exists(path)) {
        std::filesystem::remove_all(path);
    }
}

}  // namespace Korvel::DisplayCalibration::Common
