#pragma once

#include <QString>

class IWbemLocator;
class IWbemServices;

namespace Korvel::DisplayCalibration::Common::HardwareInfo {

class IBiosTools {
public:
    virtual ~IBiosTools() = default;
    virtual QString GetComputerSerialNumber() = 0;
    virtual QString GetComputerModelName() = 0;
    virtual QString GetComputerProductVersion() = 0;
};

class IBiosToolsFactory {
public:
    virtual ~IBiosToolsFactory() = default;
    // A new object owned by the caller.
    virtual IBiosTools* Create() = 0;
};

class BiosToolsFactory : public IBiosToolsFactory {
public:
    IBiosTools* Create() override;
};

// The computer's identity strings from WMI (ROOT\CIMV2), upper-cased with blanks removed.
class BiosTools : public IBiosTools {
public:
    // Throws ComInitializationException or BiosToolsException.
    BiosTools();
    ~BiosTools() override;
    BiosTools(const BiosTools&) = delete;
    BiosTools& operator=(const BiosTools&) = delete;

    QString GetComputerSerialNumber() override;    // throws GetComputerSerialNumberException
    QString GetComputerModelName() override;       // throws GetComputerModelNameException
    QString GetComputerProductVersion() override;  // throws GetComputerProductVersionException

private:
    QString QueryProperty(const QString& className, const QString& propertyName);

    IWbemLocator* m_Locator = nullptr;
    IWbemServices* m_Services = nullptr;
    bool m_ComInitialized = false;
};

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
