#include "Common/HardwareInfo/InternalPanelObtainer.h"

#include "Common/Application/Paths.h"
#include "Common/HardwareInfo/HardwareInfoExceptions.h"
#include "Common/HardwareInfo/TimestampedLog.h"
#include "WindowsStandIn/DisplayDevices.h"
#include "WindowsStandIn/FileSecurity.h"
#include "WindowsStandIn/Wmi.h"

#include <cstdio>
#include <exception>
#include <string>

namespace Korvel::DisplayCalibration::Common::HardwareInfo {
namespace {

// The video output technologies of a built-in panel: internal, embedded DisplayPort, embedded UDI.
constexpr std::int32_t InternalTechnologies[] = {std::int32_t(0x80000000u), 11, 13};

bool IsInternal(std::int32_t technology)
{
    for (const std::int32_t internal : InternalTechnologies) {
        if (technology == internal) {
            return true;
        }
    }
    return false;
}

// A failure of the COM and WMI set-up; reported as the generic exception.
struct SetUpFailure {};

}  // namespace

QString CutPanelId(const QString& deviceId)
{
    const qsizetype end = deviceId.indexOf(QLatin1Char('\\'), 9);
    return end < 0 ? deviceId.mid(8) : deviceId.mid(8, end - 8);
}

InternalPanelObtainer::InternalPanelObtainer()
{
    try {
        m_VotLog.setFileName(VotLogFilePath());
        if (!m_VotLog.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
            throw InternalPanelObtainerException(1, "Failure to open VOT log file");
        }
        Log(QStringLiteral("INFO: First parameter to SetNamedSecurityInfoA is  "));
        Log(m_VotLog.fileName());
        SetPermissions();
        Log(QStringLiteral("INFO: Log file opened."));
        ConnectToWmi();
    } catch (const InternalPanelObtainerException&) {
        throw;
    } catch (const std::exception&) {
        // The paths of the user's folders, for instance: still one of our exceptions for the callers.
        if (m_VotLog.isOpen()) {
            Log(QStringLiteral("ERROR: Unclassified exception has been caught."));
        }
        throw InternalPanelObtainerException("Unclassified exception has been caught");
    }
}

void InternalPanelObtainer::SetPermissions()
{
    const std::wstring path = m_VotLog.fileName().toStdWString();
    PSID everyone = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL oldAcl = nullptr;
    PACL newAcl = nullptr;
    bool ok = false;
    if (AllocateAndInitializeSid(&SECURITY_WORLD_SID_AUTHORITY, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
        DWORD result = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                             &oldAcl, nullptr, &descriptor);
        if (result != ERROR_SUCCESS) {
            std::printf("GetNamedSecurityInfo Error %lu\n", static_cast<unsigned long>(result));
        } else {
            EXPLICIT_ACCESS_W access{};
            access.grfAccessPermissions = GENERIC_READ | GENERIC_WRITE;
            access.grfAccessMode = GRANT_ACCESS;
            access.grfInheritance = NO_INHERITANCE;
            access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
            access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
            access.Trustee.ptstrName = reinterpret_cast<LPWSTR>(everyone);
            result = SetEntriesInAclW(1, &access, oldAcl, &newAcl);
            if (result != ERROR_SUCCESS) {
                std::printf("SetEntriesInAcl Error %lu\n", static_cast<unsigned long>(result));
            } else {
                std::wstring name = path;
                result = SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                               newAcl, nullptr);
                if (result != ERROR_SUCCESS) {
                    std::printf("SetNamedSecurityInfo Error %lu\n", static_cast<unsigned long>(result));
                } else {
                    ok = true;
                }
            }
        }
        FreeSid(everyone);
    }
    std::fflush(stdout);
    if (descriptor != nullptr) {
        LocalFree(descriptor);
    }
    if (newAcl != nullptr) {
        LocalFree(newAcl);
    }
    if (!ok) {
        Log(QStringLiteral("ERROR: setPermission failed."));
        throw InternalPanelObtainerException(1, "Failed to set permissions for VOT log file");
    }
}

void InternalPanelObtainer::ConnectToWmi()
{
    try {
        Log(QStringLiteral("INFO: Initializing COM..."));
        HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (FAILED(result) && result != RPC_E_CHANGED_MODE) {
            throw SetUpFailure{};
        }
        m_ComInitialized = SUCCEEDED(result);

        Log(QStringLiteral("INFO: Initializing security..."));
        result = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
        // Security can be set once per process; an earlier obtainer of this process already did.
        if (FAILED(result) && result != RPC_E_TOO_LATE) {
            Log(QStringLiteral("ERROR: Failure to initialize security."));
            throw SetUpFailure{};
        }

        Log(QStringLiteral("INFO: Creating WBEM locator instance..."));
        if (FAILED(CreateWbemLocator(&m_Locator))) {
            Log(QStringLiteral("ERROR: Failure to create WBEM locator instance."));
            throw SetUpFailure{};
        }

        Log(QStringLiteral("INFO: Connecting WBEM locator to server..."));
        if (FAILED(m_Locator->ConnectServer(L"ROOT\\WMI", nullptr, nullptr, nullptr, 0, nullptr, nullptr, &m_Services))) {
            Log(QStringLiteral("ERROR: WBEM locator connection to server failure."));
            throw SetUpFailure{};
        }

        Log(QStringLiteral("INFO: Setting proxy blanket..."));
        if (FAILED(CoSetProxyBlanket(m_Services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                     RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
            Log(QStringLiteral("ERROR: Failure to set proxy blanket."));
            throw SetUpFailure{};
        }
    } catch (...) {
        ReleaseWmi();
        if (m_ComInitialized) {
            CoUninitialize();
            m_ComInitialized = false;
        }
        Log(QStringLiteral("ERROR: Unclassified exception has been caught."));
        throw InternalPanelObtainerException("Unclassified exception has been caught");
    }
}

void InternalPanelObtainer::ReleaseWmi()
{
    if (m_Services != nullptr) {
        m_Services->Release();
        m_Services = nullptr;
    }
    if (m_Locator != nullptr) {
        m_Locator->Release();
        m_Locator = nullptr;
    }
}

InternalPanelObtainer::~InternalPanelObtainer()
{
    ReleaseWmi();
    if (m_ComInitialized) {
        CoUninitialize();
    }
    m_VotLog.close();
}

void InternalPanelObtainer::Log(const QString& text)
{
    WriteTimestampedLogLine(m_VotLog, text);
}

QString InternalPanelObtainer::GetInternalPanelId()
{
    Log(QStringLiteral("INFO: Enumerating through display devices..."));
    DISPLAY_DEVICEW adapter{};
    adapter.cb = sizeof adapter;
    for (DWORD i = 0; EnumDisplayDevicesW(nullptr, i, &adapter, 0); ++i) {
        Log(QStringLiteral("INFO: Enumerating through monitors..."));
        DISPLAY_DEVICEW monitor{};
        monitor.cb = sizeof monitor;
        for (DWORD j = 0; EnumDisplayDevicesW(adapter.DeviceName, j, &monitor, 0); ++j) {
            if ((monitor.StateFlags & DISPLAY_DEVICE_ACTIVE) == 0 ||
                (monitor.StateFlags & DISPLAY_DEVICE_MIRRORING_DRIVER) != 0) {
                continue;
            }
            const QString id = CutPanelId(QString::fromWCharArray(monitor.DeviceID));
            Log(QStringLiteral("INFO: Internal panel ID candidate: ") + id);
            if (IsInternal(QueryVideoOutputTechnology(id))) {
                Log(QStringLiteral("INFO: Internal panel found. [ID = ") + id + QStringLiteral("]"));
                return id;
            }
        }
    }
    Log(QStringLiteral("INFO: Nothing found."));
    return QString();
}

std::int32_t InternalPanelObtainer::QueryVideoOutputTechnology(const QString& panelId)
{
    std::int32_t vot = -1;
    Log(QStringLiteral("INFO: Executing query..."));
    IEnumWbemClassObject* enumerator = nullptr;
    const HRESULT status = m_Services->ExecQuery(
        L"WQL", L"SELECT InstanceName, VideoOutputTechnology FROM WmiMonitorConnectionParams",
        WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, &enumerator);
    if (FAILED(status)) {
        Log(QStringLiteral("ERROR: ."));
        throw InternalPanelObtainerException(status, "Query execution failed");
    }
    Log(QStringLiteral("INFO: Looping through the list..."));
    IWbemClassObject* object = nullptr;
    for (;;) {
        ULONG returned = 0;
        const HRESULT next = enumerator->Next(WBEM_INFINITE, 1, &object, &returned);
        Log(QStringLiteral("INFO: Returned: ") + QString::number(returned));
        if (returned == 0 || FAILED(next)) {
            Log(QStringLiteral("ERROR: Failure, bailing out..."));
            object = nullptr;
            vot = -1;
            break;
        }
        Log(QStringLiteral("INFO: Obtaining instance name..."));
        QVariant instanceName;
        bool matches = false;
        if (SUCCEEDED(object->Get(L"InstanceName", &instanceName)) && !instanceName.isNull() &&
            !instanceName.toString().isEmpty()) {
            const QString id = CutPanelId(instanceName.toString());
            Log(QStringLiteral("INFO: Obtained panel ID: ") + id);
            matches = id == panelId;
        }
        if (!matches) {
            object->Release();
            object = nullptr;
            continue;
        }
        Log(QStringLiteral("INFO: Searched panel found."));
        QVariant technology;
        if (SUCCEEDED(object->Get(L"VideoOutputTechnology", &technology))) {
            if (technology.isNull()) {
                Log(QStringLiteral("WARNING: Other VOT."));
                vot = -1;
            } else {
                vot = std::int32_t(technology.toLongLong());
                Log(QStringLiteral("INFO: VOT: ") + QString::number(vot));
            }
        } else {
            vot = -1;
        }
        Log(QStringLiteral("INFO: Internal panel found."));
        break;
    }
    Log(QStringLiteral("INFO: Cleaning up..."));
    enumerator->Release();
    if (object != nullptr) {
        object->Release();
    }
    Log(QStringLiteral("INFO: Internal panel ID VOT: ") + QString::number(vot));
    return vot;
}

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
