// File functions of kernel32 that the programs call on files of the machine. The colour directory
// belongs to the system: only an elevated process may delete files there.
#pragma once

#include "WindowsStandIn/Win32.h"

// Deletes one file ("C:/..." paths are mapped into the machine). ERROR_FILE_NOT_FOUND when there is
// none, ERROR_ACCESS_DENIED for a folder, a file that cannot be removed, or a file of the colour
// directory in a process that is not elevated.
BOOL DeleteFileW(LPCWSTR fileName);
