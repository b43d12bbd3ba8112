#include "Common/Logging/LogHeader.h"

#include "Common/Application/Constants.h"
#include "Common/Application/Paths.h"
#include "Common/Logging/LogSetup.h"
#include "Common/Logging/Loggable.h"
#include "Common/Security/EncrypterFactory.h"
#include "WindowsStandIn/Accounts.h"

#include <QCoreApplication>
#include <QFile>

#include <optional>
#include <string>

namespace Korvel::DisplayCalibration::Common::Logging {
namespace {

constexpr std::uint32_t MainLogMaxFileSize = 10485760;
constexpr int MainLogBackups = 5;
const char* const MainLogAppenderName = "MasterFileAppender";
const QString PublicKeyResource = QStringLiteral(":/digitalsignature/public_key");

std::optional<std::string> Pattern(const QString& format)
{
    if (format.isEmpty()) {
        return std::nullopt;
    }
    return format.toStdString();
}

}  // namespace

void SetUpLogging(const QString& logDirectory, const QString& logFile, const QString& fileMessageFormat,
                  bool console, const QString& consoleMessageFormat, int level, const QString& versionText)
{
    InitializeLogging();
    if (console) {
        ConfigureConsoleLogging(Pattern(consoleMessageFormat));
    }
    const QString path = logDirectory + "/" + logFile;
    // log4cplus opens the file by name, through symbolic links: a linked log file or folder gives
    // way to a new one first, so that the log never lands outside the application data.
    ReplaceSymbolicLinks(ApplicationDataDirectory(), path);
    ConfigureFileLogging(path.toStdWString(), MainLogAppenderName, MainLogMaxFileSize, MainLogBackups,
                         Pattern(fileMessageFormat));
    SetRootLogLevel(level);
    WriteLogHeader(versionText);
}

void WriteLogHeader(const QString& versionText)
{
    Loggable start(LogHeaderStart.toStdString());
    start.LogTextRef(InfoLevel, ("Korvel Tintwise v" + versionText).toStdString());
    start.LogText(InfoLevel, "Copyright (C) Korvel Inc. All rights reserved.");
    start.LogTextRef(InfoLevel, LogHeaderCurrentTime.toStdString() + CurrentTimeText("%Y-%m-%d %H:%M:%S"));
    start.LogTextRef(InfoLevel, LogHeaderArguments.toStdString());
    for (const QString& argument : QCoreApplication::arguments()) {
        start.LogTextRef(InfoLevel, ("  " + argument).toStdString());
    }

    std::wstring buffer(UNLEN + 1, L'\0');
    DWORD size = DWORD(buffer.size());
    if (GetUserNameW(buffer.data(), &size) == FALSE) {
        start.LogText(InfoLevel, "Failed to get user name");
        return;
    }
    const QString user = QString::fromWCharArray(buffer.c_str());
    QFile keyFile(PublicKeyResource);
    const QByteArray key = keyFile.open(QIODevice::ReadOnly) ? keyFile.readAll() : QByteArray();
    const auto encrypter = Security::EncrypterFactory().CreateEncrypter(key, false);
    const QByteArray cipher = encrypter->EncryptWithPublicKey(user.toUtf8());
    start.LogTextRef(InfoLevel, LogHeaderUser.toStdString() + cipher.toBase64().toStdString());
}

}  // namespace Korvel::DisplayCalibration::Common::Logging
