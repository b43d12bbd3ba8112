// File security stand-ins: a file's discretionary ACL on the simulated machine maps to its
// permission bits. An entry for the world SID (S-1-1-0) that grants GENERIC_READ and/or
// GENERIC_WRITE makes the file readable and/or writable by group and others.
#pragma once

#include "WindowsStandIn/Win32.h"

struct SID;
struct ACL;
using PSID = SID*;
using PACL = ACL*;
using PSECURITY_DESCRIPTOR = void*;

struct SID_IDENTIFIER_AUTHORITY {
    BYTE Value[6];
};
inline constexpr SID_IDENTIFIER_AUTHORITY SECURITY_WORLD_SID_AUTHORITY = {{0, 0, 0, 0, 0, 1}};
constexpr DWORD SECURITY_WORLD_RID = 0;

enum SE_OBJECT_TYPE { SE_UNKNOWN_OBJECT_TYPE = 0, SE_FILE_OBJECT = 1 };
using SECURITY_INFORMATION = DWORD;
constexpr SECURITY_INFORMATION DACL_SECURITY_INFORMATION = 0x4;

constexpr DWORD NO_INHERITANCE = 0x0;

enum ACCESS_MODE { NOT_USED_ACCESS = 0, GRANT_ACCESS = 1, SET_ACCESS = 2, DENY_ACCESS = 3 };
enum TRUSTEE_FORM { TRUSTEE_IS_SID = 0, TRUSTEE_IS_NAME = 1 };
enum TRUSTEE_TYPE { TRUSTEE_IS_UNKNOWN = 0, TRUSTEE_IS_USER = 1, TRUSTEE_IS_GROUP = 2, TRUSTEE_IS_WELL_KNOWN_GROUP = 5 };

struct TRUSTEE_W {
    void* pMultipleTrustee;
    DWORD MultipleTrusteeOperation;
    TRUSTEE_FORM TrusteeForm;
    TRUSTEE_TYPE TrusteeType;
    LPWSTR ptstrName;  // with TRUSTEE_IS_SID: the PSID
};

struct EXPLICIT_ACCESS_W {
    DWORD grfAccessPermissions;
    ACCESS_MODE grfAccessMode;
    DWORD grfInheritance;
    TRUSTEE_W Trustee;
};

BOOL AllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY* authority, BYTE subAuthorityCount, DWORD sub0,
                              DWORD sub1, DWORD sub2, DWORD sub3, DWORD sub4, DWORD sub5, DWORD sub6, DWORD sub7,
                              PSID* sid);
void* FreeSid(PSID sid);

// The descriptor (released with LocalFree) holds the ACL handed out in `dacl`.
DWORD GetNamedSecurityInfoW(LPCWSTR objectName, SE_OBJECT_TYPE type, SECURITY_INFORMATION info, PSID* owner,
                            PSID* group, PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor);
// The new ACL is released with LocalFree.
DWORD SetEntriesInAclW(ULONG count, EXPLICIT_ACCESS_W* entries, PACL oldAcl, PACL* newAcl);
DWORD SetNamedSecurityInfoW(LPWSTR objectName, SE_OBJECT_TYPE type, SECURITY_INFORMATION info, PSID owner,
                            PSID group, PACL dacl, PACL sacl);
