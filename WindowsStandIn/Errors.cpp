// Thread-local last error and the system texts of the error codes the programs meet.
#include "WindowsStandIn/Win32.h"

#include <QString>

#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

// Windows' own English texts; FormatMessage adds the trailing carriage return and line feed.
const struct {
    DWORD code;
    const char* text;
} SystemTexts[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {13, "The data is invalid."},
    {31, "A device attached to the system is not functioning."},
    {50, "The request is not supported."},
    {87, "The parameter is incorrect."},
    {122, "The data area passed to a system call is too small."},
    {160, "One or more arguments are not correct."},
    {234, "More data is available."},
    {259, "No more data is available."},
    {1006, "The volume for a file has been externally altered so that the opened file is no longer valid."},
    {1009, "The configuration registry database is corrupt."},
    {1056, "An instance of the service is already running."},
    {1060, "The specified service does not exist as an installed service."},
    {1061, "The service cannot accept control messages at this time."},
    {1062, "The service has not been started."},
    {1155, "No application is associated with the specified file for this operation."},
    {1168, "Element not found."},
    {1223, "The operation was canceled by the user."},
    {1392, "The file or directory is corrupted and unreadable."},
    {2011, "The specified color profile is invalid."},
    {1461, "Invalid monitor handle."},
    {5023, "The group or resource is not in the correct state to perform the requested operation."},
    {0x80004005, "Unspecified error"},
    {0x80010106, "Cannot change thread mode after it is set."},
    {0x80010119, "Security must be initialized before any interfaces are marshalled or unmarshalled. It cannot be changed once initialized."},
    {0x80041001, "Generic failure"},
    {0x80041002, "Not found"},
    {0x8004100E, "Invalid namespace"},
    {0x80041010, "Invalid class"},
    {0x80041017, "Invalid query"},
    {0x887A0002, "The object was not found. If calling IDXGIFactory::EnumAdaptes, there is no adapter with the specified ordinal."},
    {0xE000020B, "The device instance does not exist."},
};

const char* SystemText(DWORD code)
{
    // HRESULTs of the Win32 facility (0x8007xxxx) read as their Win32 code.
    if ((code & 0xFFFF0000u) == 0x80070000u) {
        code &= 0xFFFFu;
    }
    for (const auto& entry : SystemTexts) {
        if (entry.code == code) {
            return entry.text;
        }
    }
    return nullptr;
}

template <typename Char>
DWORD Deliver(DWORD flags, DWORD messageId, Char* buffer, DWORD size, const std::basic_string<Char>& text)
{
    if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || buffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    (void)messageId;
    const size_t length = text.size();
    if ((flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
        auto* memory = static_cast<Char*>(std::malloc((length + 1) * sizeof(Char)));
        if (memory == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        std::memcpy(memory, text.c_str(), (length + 1) * sizeof(Char));
        *reinterpret_cast<Char**>(buffer) = memory;
        return DWORD(length);
    }
    if (length + 1 > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, text.c_str(), (length + 1) * sizeof(Char));
    return DWORD(length);
}

}  // namespace

DWORD GetLastError()
{
    return lastError;
}

void SetLastError(DWORD code)
{
    lastError = code;
}

DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD size, va_list_ptr)
{
    const char* text = SystemText(messageId);
    if (text == nullptr) {
        SetLastError(317);  // ERROR_MR_MID_NOT_FOUND
        return 0;
    }
    return Deliver<char>(flags, messageId, buffer, size, std::string(text) + "\r\n");
}

DWORD FormatMessageW(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPWSTR buffer, DWORD size, va_list_ptr)
{
    const char* text = SystemText(messageId);
    if (text == nullptr) {
        SetLastError(317);  // ERROR_MR_MID_NOT_FOUND
        return 0;
    }
    return Deliver<wchar_t>(flags, messageId, buffer, size, (QString::fromLatin1(text) + "\r\n").toStdWString());
}

HLOCAL LocalFree(HLOCAL memory)
{
    std::free(memory);
    return nullptr;
}
