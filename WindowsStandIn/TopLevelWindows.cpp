#include "WindowsStandIn/TopLevelWindows.h"

#include "WindowsStandIn/Machine.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdint>

namespace {

QString Quoted(LPCWSTR text)
{
    if (text == nullptr) {
        return QStringLiteral("null");
    }
    // A JSON string literal: the array's brackets dropped.
    const QByteArray array = QJsonDocument(QJsonArray{QString::fromWCharArray(text)}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

}  // namespace

BOOL SetProcessDPIAware()
{
    return TRUE;
}

BOOL SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT)
{
    return TRUE;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName)
{
    WinSim::Journal(QStringLiteral("find-window"), "class=" + Quoted(className) + " title=" + Quoted(windowName));
    SetLastError(ERROR_SUCCESS);
    return nullptr;
}

BOOL SetForegroundWindow(HWND window)
{
    WinSim::Journal(QStringLiteral("set-foreground-window"),
                    QString::number(quint64(reinterpret_cast<std::uintptr_t>(window)), 16));
    return FALSE;
}
