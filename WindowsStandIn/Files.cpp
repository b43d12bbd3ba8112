#include "WindowsStandIn/Files.h"

#include "WindowsStandIn/ColorSystem.h"
#include "WindowsStandIn/Machine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

BOOL DeleteFileW(LPCWSTR fileName)
{
    if (fileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const QFileInfo file(WinSim::MapWindowsPath(QString::fromWCharArray(fileName)));
    if (!file.exists() && !file.isSymLink()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    QString colourDirectory;
    try {
        colourDirectory = QFileInfo(WinSim::ColorDirectory()).canonicalFilePath();
    } catch (const WinSim::MachineError&) {
    }
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    const bool systemFile = !colourDirectory.isEmpty() &&
                            (folder == colourDirectory || folder.startsWith(colourDirectory + "/"));
    if (file.isDir() || (systemFile && !WinSim::IsElevated()) || !QFile::remove(file.absoluteFilePath())) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}
