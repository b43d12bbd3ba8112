#include "WindowsStandIn/FileSecurity.h"

#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/SimulatedDisplays.h"

#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <cstring>
#include <new>

struct SID {
    SID_IDENTIFIER_AUTHORITY authority;
    BYTE count;
    DWORD subAuthorities[8];
};

// A flat ACL: a count and that many entries, in one block of memory (released with LocalFree).
struct AclEntry {
    SID sid;
    DWORD permissions;
    ACCESS_MODE mode;
};
struct ACL {
    DWORD count;
    AclEntry entries[1];
};

namespace {

ACL* NewAcl(DWORD count)
{
    const size_t size = sizeof(ACL) + sizeof(AclEntry) * (count > 0 ? count - 1 : 0);
    auto* acl = static_cast<ACL*>(std::calloc(1, size));
    if (acl != nullptr) {
        acl->count = count;
    }
    return acl;
}

bool IsWorld(const SID& sid)
{
    return std::memcmp(sid.authority.Value, SECURITY_WORLD_SID_AUTHORITY.Value, 6) == 0 && sid.count == 1 &&
           sid.subAuthorities[0] == SECURITY_WORLD_RID;
}

}  // namespace

BOOL AllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY* authority, BYTE subAuthorityCount, DWORD sub0,
                              DWORD sub1, DWORD sub2, DWORD sub3, DWORD sub4, DWORD sub5, DWORD sub6, DWORD sub7,
                              PSID* sid)
{
    if (authority == nullptr || sid == nullptr || subAuthorityCount == 0 || subAuthorityCount > 8) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *sid = new SID{*authority, subAuthorityCount, {sub0, sub1, sub2, sub3, sub4, sub5, sub6, sub7}};
    return TRUE;
}

void* FreeSid(PSID sid)
{
    delete sid;
    return nullptr;
}

DWORD GetNamedSecurityInfoW(LPCWSTR objectName, SE_OBJECT_TYPE type, SECURITY_INFORMATION, PSID*, PSID*, PACL* dacl,
                            PACL*, PSECURITY_DESCRIPTOR* descriptor)
{
    if (objectName == nullptr || type != SE_FILE_OBJECT || descriptor == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (const LONG fault = WinSim::Displays::Fault("GetNamedSecurityInfoW"); fault != 0) {
        return DWORD(fault);
    }
    const QFileInfo file(WinSim::MapWindowsPath(QString::fromWCharArray(objectName)));
    if (!file.exists()) {
        return ERROR_FILE_NOT_FOUND;
    }
    // The permissions the file already gives everyone, as one entry.
    ACL* acl = NewAcl(1);
    if (acl == nullptr) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    acl->entries[0].sid = SID{SECURITY_WORLD_SID_AUTHORITY, 1, {SECURITY_WORLD_RID}};
    acl->entries[0].mode = GRANT_ACCESS;
    acl->entries[0].permissions = (file.permission(QFile::ReadOther) ? GENERIC_READ : 0) |
                                  (file.permission(QFile::WriteOther) ? GENERIC_WRITE : 0);
    *descriptor = acl;
    if (dacl != nullptr) {
        *dacl = acl;
    }
    return ERROR_SUCCESS;
}

DWORD SetEntriesInAclW(ULONG count, EXPLICIT_ACCESS_W* entries, PACL oldAcl, PACL* newAcl)
{
    if (newAcl == nullptr || (count > 0 && entries == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (const LONG fault = WinSim::Displays::Fault("SetEntriesInAclW"); fault != 0) {
        return DWORD(fault);
    }
    const DWORD old = oldAcl != nullptr ? oldAcl->count : 0;
    ACL* acl = NewAcl(old + count);
    if (acl == nullptr) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    for (DWORD i = 0; i < old; ++i) {
        acl->entries[i] = oldAcl->entries[i];
    }
    for (ULONG i = 0; i < count; ++i) {
        if (entries[i].Trustee.TrusteeForm != TRUSTEE_IS_SID || entries[i].Trustee.ptstrName == nullptr) {
            std::free(acl);
            return ERROR_INVALID_PARAMETER;
        }
        acl->entries[old + i] = {*reinterpret_cast<SID*>(entries[i].Trustee.ptstrName), entries[i].grfAccessPermissions,
                                 entries[i].grfAccessMode};
    }
    *newAcl = acl;
    return ERROR_SUCCESS;
}

DWORD SetNamedSecurityInfoW(LPWSTR objectName, SE_OBJECT_TYPE type, SECURITY_INFORMATION info, PSID, PSID, PACL dacl,
                            PACL)
{
    if (objectName == nullptr || type != SE_FILE_OBJECT || (info & DACL_SECURITY_INFORMATION) == 0 || dacl == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (const LONG fault = WinSim::Displays::Fault("SetNamedSecurityInfoW"); fault != 0) {
        return DWORD(fault);
    }
    QFile file(WinSim::MapWindowsPath(QString::fromWCharArray(objectName)));
    if (!file.exists()) {
        return ERROR_FILE_NOT_FOUND;
    }
    DWORD world = 0;
    for (DWORD i = 0; i < dacl->count; ++i) {
        const AclEntry& entry = dacl->entries[i];
        if (!IsWorld(entry.sid)) {
            continue;
        }
        if (entry.mode == DENY_ACCESS) {
            world &= ~entry.permissions;
        } else if (entry.mode == GRANT_ACCESS || entry.mode == SET_ACCESS) {
            world |= entry.permissions;
        }
    }
    QFile::Permissions permissions = file.permissions() & ~(QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther |
                                                            QFile::WriteOther);
    if ((world & GENERIC_READ) != 0) {
        permissions |= QFile::ReadGroup | QFile::ReadOther;
    }
    if ((world & GENERIC_WRITE) != 0) {
        permissions |= QFile::WriteGroup | QFile::WriteOther;
    }
    if (!file.setPermissions(permissions)) {
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}
