#pragma once

#include <QFile>
#include <QString>

#include <cstdint>

class IWbemLocator;
class IWbemServices;

namespace Korvel::DisplayCalibration::Common::HardwareInfo {

class IInternalPanelObtainer {
public:
    virtual ~IInternalPanelObtainer() = default;
    virtual QString GetInternalPanelId() = 0;
};

// Finds the internal panel's PnP ID among the active monitors by their video output technology
// (WMI, ROOT\WMI). Every step goes to the side log "VOT.log". Short-lived: made, asked once,
// destroyed.
class InternalPanelObtainer : public IInternalPanelObtainer {
public:
    // Every failure arrives as InternalPanelObtainerException.
    InternalPanelObtainer();
    ~InternalPanelObtainer() override;
    InternalPanelObtainer(const InternalPanelObtainer&) = delete;
    InternalPanelObtainer& operator=(const InternalPanelObtainer&) = delete;

    // The ID, or empty when no active monitor is internal. Throws InternalPanelObtainerException
    // "Query execution failed" when the WMI query cannot be run.
    QString GetInternalPanelId() override;

private:
    std::int32_t QueryVideoOutputTechnology(const QString& panelId);
    void Log(const QString& text);
    void SetPermissions();
    void ConnectToWmi();
    void ReleaseWmi();

    IWbemLocator* m_Locator = nullptr;
    IWbemServices* m_Services = nullptr;
    QFile m_VotLog;
    bool m_ComInitialized = false;
};

// The ID part of "MONITOR\SHP14C4\..." or "DISPLAY\SHP14C4\...": from index 8 up to the first
// "\" at or after index 9 (the whole rest when there is none).
QString CutPanelId(const QString& deviceId);

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
