#pragma once

#include "Common/HardwareInfo/DdsInfoObtainer.h"
#include "Common/HardwareInfo/DdsMode.h"
#include "Common/HardwareInfo/Edid.h"
#include "Common/Windows/WindowsVersion.h"

#include <QList>
#include <QString>

#include <cstdint>

struct HKEY__;

namespace Korvel::DisplayCalibration::Common::HardwareInfo {

struct DisplayAdapterInfo {
    QString DeviceName;    // GDI device name, "\\.\DISPLAY1"
    QString DeviceString;  // the adapter's description
};

struct DisplayMonitorInfo {
    QString DeviceID;  // the device-interface path when enumerated with interface names
    QString DeviceString;
    std::uint32_t StateFlags = 0;
};

class IDisplayHelper {
public:
    virtual ~IDisplayHelper() = default;
    virtual int GetBrightnessLevel() = 0;
    virtual const QList<std::uint32_t>& GetAvailableBrightnessLevels() const = 0;
    virtual void SetBrightnessLevel(int level) = 0;
    virtual void SetBrightnessLevelForced(int level) = 0;
    virtual void SetBrightnessLevelInPowerScheme(int level) = 0;
    virtual bool IsDuplicateTopology() = 0;
    virtual bool IsInternalDisplayInTopology() = 0;
    virtual bool IsDdsActive() = 0;
    virtual bool IsInternalPanelOnDdsTarget() = 0;
    virtual bool IsInternalDisplayAvailable() = 0;
    virtual DdsMode GetDdsMode() = 0;
    virtual QList<DisplayAdapterInfo> GetAdapters() = 0;
    virtual QList<DisplayMonitorInfo> GetMonitors(const DisplayAdapterInfo& adapter) = 0;
    virtual QString GetDisplayId(const QString& adapterDeviceName) = 0;
    virtual QString GetInternalPanelId() const = 0;
    virtual QString GetManufacturerId() const = 0;
    virtual QString GetProductCode() const = 0;
    virtual QString GetSerialNumber() const = 0;
    virtual QString GetAdapterDeviceName() const = 0;
    virtual QString GetPanelText() const = 0;
    virtual bool IsHdrActive() = 0;
    virtual void SetHdrState(bool enable) = 0;
    virtual unsigned int GetBitsPerColor() = 0;
    virtual bool IsAdvancedColorEnabled() = 0;
    virtual bool IsACMSupported() = 0;
    virtual bool IsAutoColorManagementEnabled() = 0;
    virtual void IdentifyInternalPanel() = 0;
    virtual bool EnableWindowsCalibrationManagement() = 0;
};

class IDisplayHelperFactory {
public:
    virtual ~IDisplayHelperFactory() = default;
    // A new object owned by the caller.
    virtual IDisplayHelper* Create(QString internalPanelId) = 0;
};

class DisplayHelperFactory : public IDisplayHelperFactory {
public:
    IDisplayHelper* Create(QString internalPanelId) override;
};

// The internal panel: identity, brightness, topology, dynamic display switching, HDR and
// colour-management state.
class DisplayHelper : public IDisplayHelper {
public:
    // Throws DisplayHelperException (no internal panel or no EDID for it),
    // GetAvailableBrightnessLevelsException, or std::runtime_error (no readable Windows display version).
    explicit DisplayHelper(const QString& internalPanelId);
    ~DisplayHelper() override;
    DisplayHelper(const DisplayHelper&) = delete;
    DisplayHelper& operator=(const DisplayHelper&) = delete;

    int GetBrightnessLevel() override;
    const QList<std::uint32_t>& GetAvailableBrightnessLevels() const override;
    void SetBrightnessLevel(int level) override;
    void SetBrightnessLevelForced(int level) override;
    void SetBrightnessLevelInPowerScheme(int level) override;
    bool IsDuplicateTopology() override;
    bool IsInternalDisplayInTopology() override;
    bool IsDdsActive() override;
    bool IsInternalPanelOnDdsTarget() override;
    bool IsInternalDisplayAvailable() override;
    DdsMode GetDdsMode() override;
    QList<DisplayAdapterInfo> GetAdapters() override;
    QList<DisplayMonitorInfo> GetMonitors(const DisplayAdapterInfo& adapter) override;
    QString GetDisplayId(const QString& adapterDeviceName) override;
    QString GetInternalPanelId() const override;
    QString GetManufacturerId() const override;
    QString GetProductCode() const override;
    QString GetSerialNumber() const override;
    QString GetAdapterDeviceName() const override;
    QString GetPanelText() const override;
    bool IsHdrActive() override;
    void SetHdrState(bool enable) override;
    unsigned int GetBitsPerColor() override;
    bool IsAdvancedColorEnabled() override;
    bool IsACMSupported() override;
    bool IsAutoColorManagementEnabled() override;
    void IdentifyInternalPanel() override;
    bool EnableWindowsCalibrationManagement() override;

    // Whether a Windows display version is 24H2 or later.
    static bool IsAtLeast24H2(const Windows::WindowsDisplayVersion& version);

private:
    // The monitor interfaces' records; `unread` gets the error of the first interface that could not
    // be listed (0: none).
    QList<MonitorEdidRecord> ReadMonitorEdids(std::int32_t& unread);
    MonitorEdidRecord ParseEdid(HKEY__* deviceKey);
    std::uint32_t GetDisplayTopology();
    // The first MonitorDataStore group of the internal panel: the value `name` as text, else `fallback`.
    QString ReadMonitorDataStoreValue(const QString& name, const QString& fallback, const char* logLabel);

    QList<std::uint32_t> m_BrightnessLevels;
    QString m_ManufacturerId;
    QString m_ProductCode;
    QString m_SerialNumber;
    QString m_AdapterDeviceName;
    QString m_PanelText;
    QString m_InternalPanelId;
    bool m_NvApiAvailable = false;
    DdsInfoObtainer m_DdsInfoObtainer;
    QString m_MonitorDataStorePath;
    Windows::WindowsDisplayVersion m_WindowsVersion;
};

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
