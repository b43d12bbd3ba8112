#include "Common/HardwareInfo/BiosTools.h"

#include "Common/HardwareInfo/HardwareInfoExceptions.h"
#include "WindowsStandIn/Wmi.h"

#include <string>

namespace Korvel::DisplayCalibration::Common::HardwareInfo {

IBiosTools* BiosToolsFactory::Create()
{
    return new BiosTools();
}

BiosTools::BiosTools()
{
    HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(result) && result != RPC_E_CHANGED_MODE) {
        throw ComInitializationException(result, "Failed to initialize COM library");
    }
    m_ComInitialized = SUCCEEDED(result);
    const auto fail = [this](HRESULT code, const char* message) {
        if (m_Services != nullptr) {
            m_Services->Release();
            m_Services = nullptr;
        }
        if (m_Locator != nullptr) {
            m_Locator->Release();
            m_Locator = nullptr;
        }
        if (m_ComInitialized) {
            CoUninitialize();
        }
        throw BiosToolsException(code, message);
    };
    result = CreateWbemLocator(&m_Locator);
    if (FAILED(result)) {
        fail(result, "Failed to create IWbemLocator object.");
    }
    result = m_Locator->ConnectServer(L"ROOT\\CIMV2", nullptr, nullptr, nullptr, 0, nullptr, nullptr, &m_Services);
    if (FAILED(result)) {
        fail(result, "Could not connect to IWbemLocator object.");
    }
    result = CoSetProxyBlanket(m_Services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                               RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    if (FAILED(result)) {
        fail(result, "Could not set proxy blanket.");
    }
}

BiosTools::~BiosTools()
{
    m_Services->Release();
    m_Locator->Release();
    if (m_ComInitialized) {
        CoUninitialize();
    }
}

QString BiosTools::GetComputerSerialNumber()
{
    try {
        return QueryProperty(QStringLiteral("Win32_BIOS"), QStringLiteral("SerialNumber"));
    } catch (const BiosToolsException& error) {
        throw GetComputerSerialNumberException(error.Code(), "Query for BIOS data failed.");
    }
}

QString BiosTools::GetComputerModelName()
{
    try {
        return QueryProperty(QStringLiteral("Win32_ComputerSystemProduct"), QStringLiteral("Name"));
    } catch (const BiosToolsException& error) {
        throw GetComputerModelNameException(error.Code(), "Query for BIOS data failed.");
    }
}

QString BiosTools::GetComputerProductVersion()
{
    try {
        return QueryProperty(QStringLiteral("Win32_ComputerSystemProduct"), QStringLiteral("Version"));
    } catch (const BiosToolsException& error) {
        throw GetComputerProductVersionException(error.Code(), "Query for BIOS data failed.");
    }
}

QString BiosTools::QueryProperty(const QString& className, const QString& propertyName)
{
    QString result;
    const std::wstring query = (QStringLiteral("SELECT * FROM ") + className).toStdWString();
    IEnumWbemClassObject* enumerator = nullptr;
    const HRESULT status = m_Services->ExecQuery(L"WQL", query.c_str(),
                                                 WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, &enumerator);
    if (FAILED(status)) {
        throw BiosToolsException(status, "Query for BIOS data failed.");
    }
    const std::wstring property = propertyName.toStdWString();
    for (;;) {
        IWbemClassObject* object = nullptr;
        ULONG returned = 0;
        enumerator->Next(WBEM_INFINITE, 1, &object, &returned);
        if (returned == 0) {
            break;
        }
        QVariant value;
        if (SUCCEEDED(object->Get(property.c_str(), &value)) && value.typeId() == QMetaType::QString) {
            result = value.toString();
        }
        object->Release();
    }
    enumerator->Release();
    return result.toUpper().remove(QLatin1Char(' '));
}

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
