// Stand-in for the account functions: the process runs as the machine's user ("user.name").
#pragma once

#include "WindowsStandIn/Win32.h"

constexpr DWORD UNLEN = 256;

// On input `size` is the buffer's length in characters; on success it is the name's length
// with its terminating null. A buffer too small fails with ERROR_INSUFFICIENT_BUFFER and the
// needed length in `size`; a machine without a user name fails with ERROR_NOT_FOUND.
BOOL GetUserNameW(LPWSTR buffer, LPDWORD size);
