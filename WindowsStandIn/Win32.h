// Stand-in declarations of the Win32 types and functions the programs call.
// Names, arguments, results and error codes follow the Windows API; the
// implementation works on the simulated machine (see Machine.h).
#pragma once

#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using UINT = unsigned int;
using UINT32 = std::uint32_t;
using HRESULT = std::int32_t;
using LSTATUS = LONG;
using REGSAM = DWORD;
using CHAR = char;
using WCHAR = wchar_t;
using LPSTR = char*;
using LPCSTR = const char*;
using LPWSTR = wchar_t*;
using LPCWSTR = const wchar_t*;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;
using LPVOID = void*;
using PVOID = void*;
using LPCVOID = const void*;
using HANDLE = void*;
using HLOCAL = void*;
using va_list_ptr = void*;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))

struct LUID {
    DWORD LowPart = 0;
    LONG HighPart = 0;
};
using UCHAR = unsigned char;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

struct HWND__;
using HWND = HWND__*;

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Error codes used by the system.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_DATA = 13;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_BAD_ARGUMENTS = 160;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
constexpr DWORD ERROR_FILE_INVALID = 1006;
constexpr DWORD ERROR_BADDB = 1009;
constexpr DWORD ERROR_SERVICE_ALREADY_RUNNING = 1056;
constexpr DWORD ERROR_SERVICE_DOES_NOT_EXIST = 1060;
constexpr DWORD ERROR_SERVICE_NOT_ACTIVE = 1062;
constexpr DWORD ERROR_NO_ASSOCIATION = 1155;
constexpr DWORD ERROR_NOT_FOUND = 1168;
constexpr DWORD ERROR_CANCELLED = 1223;
constexpr DWORD ERROR_FILE_CORRUPT = 1392;
constexpr DWORD ERROR_INVALID_MONITOR_HANDLE = 1461;
constexpr DWORD ERROR_INVALID_STATE = 5023;

// Registry.
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u)))
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;

// Generic access rights.
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;

// FormatMessage.
constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x00000400;
constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr DWORD LANG_NEUTRAL = 0x00;
constexpr DWORD SUBLANG_DEFAULT = 0x01;
constexpr DWORD MAKELANGID(DWORD primary, DWORD sub) { return (sub << 10) | primary; }

DWORD GetLastError();
void SetLastError(DWORD code);

// With FORMAT_MESSAGE_ALLOCATE_BUFFER, `buffer` points to a char* (wchar_t*) that receives
// a buffer to be released with LocalFree. Returns the length of the text, 0 on failure.
DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                     LPSTR buffer, DWORD size, va_list_ptr arguments);
DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                     LPWSTR buffer, DWORD size, va_list_ptr arguments);
HLOCAL LocalFree(HLOCAL memory);

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result);
LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type,
                         LPBYTE data, LPDWORD dataSize);
// Value `index` of the key, in stored order; ERROR_NO_MORE_ITEMS past the last one,
// ERROR_MORE_DATA when the name (with its null) or the data does not fit.
LSTATUS RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD reserved,
                      LPDWORD type, LPBYTE data, LPDWORD dataSize);
LSTATUS RegCloseKey(HKEY key);
