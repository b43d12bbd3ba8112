#include "WindowsStandIn/Accounts.h"

#include "WindowsStandIn/Machine.h"

BOOL GetUserNameW(LPWSTR buffer, LPDWORD size)
{
    if (size == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    QString name;
    try {
        name = WinSim::DescriptionValue(QStringLiteral("user.name")).toString();
    } catch (const WinSim::MachineError&) {
    }
    if (name.isEmpty()) {
        SetLastError(ERROR_NOT_FOUND);
        return FALSE;
    }
    const std::wstring wide = name.toStdWString();
    const DWORD needed = DWORD(wide.size() + 1);
    if (buffer == nullptr || *size < needed) {
        *size = needed;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    wide.copy(buffer, wide.size());
    buffer[wide.size()] = L'\0';
    *size = needed;
    return TRUE;
}
