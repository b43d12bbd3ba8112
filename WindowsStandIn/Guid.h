// GUID as Windows lays it out.
#pragma once

#include "WindowsStandIn/Win32.h"

#include <QString>

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};

inline bool operator==(const GUID& a, const GUID& b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) {
        return false;
    }
    for (int i = 0; i < 8; ++i) {
        if (a.Data4[i] != b.Data4[i]) {
            return false;
        }
    }
    return true;
}

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" in upper case, without braces.
QString GuidToText(const GUID& guid);
// Accepts the text with or without braces; false when it is not a GUID.
bool GuidFromText(const QString& text, GUID& guid);
