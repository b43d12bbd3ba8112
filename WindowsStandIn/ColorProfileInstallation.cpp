// Installing and uninstalling profiles: files of the machine's colour directory.
#include "WindowsStandIn/ColorSystem.h"

#include "WindowsStandIn/ColorState.h"
#include "WindowsStandIn/FileStore.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <string>

namespace {

using namespace WinSim::Detail::Colour;

template <typename Char>
BOOL DeliverDirectory(Char* buffer, LPDWORD size, const std::basic_string<Char>& text)
{
    if (size == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const DWORD needed = DWORD((text.size() + 1) * sizeof(Char));
    if (buffer == nullptr || *size < needed) {
        *size = needed;
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(buffer, text.c_str(), needed);
    *size = needed;
    return TRUE;
}

}  // namespace

BOOL InstallColorProfileA(LPCSTR machineName, LPCSTR profileName)
{
    if (machineName != nullptr || profileName == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (Injected("InstallColorProfileA", ProfileFileName(FromNarrow(profileName)))) {
        return FALSE;
    }
    if (!WinSim::IsElevated()) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    const QString source = WinSim::MapWindowsPath(FromNarrow(profileName));
    QFile file(source);
    if (!QFileInfo(source).isFile() || !file.open(QIODevice::ReadOnly)) {
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    const QByteArray content = file.readAll();
    if (content.size() < 128 || content.mid(36, 4) != "acsp") {
        return Fail(ERROR_INVALID_PROFILE);
    }
    const QString name = ProfileFileName(source);
    const QString target = WinSim::ColorDirectory() + "/" + name;
    // The new file is written beside the old one under a hidden name and renamed over it: the
    // profile is whole at every instant, and no listing shows the file being written.
    if (QFileInfo(source).canonicalFilePath() != QFileInfo(target).canonicalFilePath() &&
        !WinSim::Detail::WriteFileAtomically(target, content, true)) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    WinSim::Journal(QStringLiteral("colour-install"), name);
    return TRUE;
}

BOOL UninstallColorProfileA(LPCSTR machineName, LPCSTR profileName, BOOL deleteFile)
{
    if (machineName != nullptr || profileName == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (Injected("UninstallColorProfileA")) {
        return FALSE;
    }
    if (!WinSim::IsElevated()) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    const QString name = ProfileFileName(FromNarrow(profileName));
    if (!IsInstalled(name)) {
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    // The profile's mentions go before its file, so that no association or default ever names a
    // missing file.
    if (!Update([&](QJsonObject& state) { ForgetProfile(state, name); })) {
        return FALSE;
    }
    if (deleteFile && !QFile::remove(WinSim::ColorDirectory() + "/" + name)) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    WinSim::Journal(QStringLiteral("colour-uninstall"), name);
    return TRUE;
}

BOOL GetColorDirectoryA(LPCSTR machineName, LPSTR buffer, LPDWORD size)
{
    if (machineName != nullptr) {
        return Fail(ERROR_NOT_SUPPORTED);
    }
    if (Injected("GetColorDirectoryA")) {
        return FALSE;
    }
    return DeliverDirectory<char>(buffer, size, WinSim::ColorDirectory().toStdString());
}

BOOL GetColorDirectoryW(LPCWSTR machineName, LPWSTR buffer, LPDWORD size)
{
    if (machineName != nullptr) {
        return Fail(ERROR_NOT_SUPPORTED);
    }
    if (Injected("GetColorDirectoryW")) {
        return FALSE;
    }
    return DeliverDirectory<wchar_t>(buffer, size, WinSim::ColorDirectory().toStdWString());
}

void WinSim::RemoveInterruptedProfileCopies(const QString& fileName)
{
    WinSim::Detail::RemoveStaleTemporaries(WinSim::ColorDirectory() + "/" + fileName, true);
}
