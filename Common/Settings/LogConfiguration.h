// Log and program configuration: "metaconfig.xml" in the program's directory names, per internal
// panel, the configuration file with the "logging" and "profiles" sections. Every failure is a
// Core::Exception: 0x03010100 (a file did not open) or 0x03010101 (content missing or wrong).
#pragma once

#include "Common/Logging/Loggable.h"
#include "Common/Settings/ILogConfiguration.h"

#include <QString>
#include <QXmlStreamReader>

#include <memory>

namespace Korvel::DisplayCalibration::Common::HardwareInfo {
class IBiosTools;
class IDisplayHelper;
}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo

namespace Korvel::DisplayCalibration::Common::Settings {

inline constexpr std::int32_t ConfigurationFileError = 0x03010100;
inline constexpr std::int32_t ConfigurationContentError = 0x03010101;

class LogConfiguration : public ILogConfiguration, public Logging::Loggable {
public:
    // Neither helper is owned; both must outlive the configuration. `programDirectory` holds
    // "metaconfig.xml"; a relative configuration file name is opened from the current directory.
    LogConfiguration(HardwareInfo::IBiosTools* biosTools, HardwareInfo::IDisplayHelper* displayHelper,
                     const QString& programDirectory = QString());

    QString Refresh(bool reread) override;
    const std::vector<ProfilesFilter>& ProfilesFilters() const override { return profilesFilters; }
    QStringList SupportedProfileFiles(const QStringList& names) override;
    QString LogFile() const override { return logFile; }
    int Level() const override { return level; }
    bool Console() const override { return console; }
    QString FileMessageFormat() const override { return fileMessageFormat; }
    QString ConsoleMessageFormat() const override { return consoleMessageFormat; }

private:
    void ReadIdentity();
    void ReadConfiguration(const QString& programDirectory);
    QString FindConfigFileName(const QString& metaconfigPath);
    void ReadProfilesSection();
    void ReadProfilesFilter();
    void ReadLoggingSection();
    void ThrowIfMalformed();
    void TraceConfiguration();
    // The raw format with this machine's values in place of the placeholders.
    QString ApplyPlaceholders(QString format);
    void ReplacePlaceholder(QString& format, const QString& placeholder, const QString& value);

    QXmlStreamReader reader;
    std::vector<ProfilesFilter> profilesFilters;
    QString fileNameFormat;
    QString rawFileNameFormat;
    QString logFile;
    std::int32_t level = 20000;
    bool console = false;
    QString fileMessageFormat = QStringLiteral("%D{%Y.%m.%d %H:%M:%S,%q} [%t] %p %c{2} &lt;%x&gt;: %m%n [%I]");
    QString consoleMessageFormat = QStringLiteral("%r [%t] %p %c{2} &lt;%x&gt; - %m%n");
    HardwareInfo::IBiosTools* biosTools;
    HardwareInfo::IDisplayHelper* displayHelper;
    QString displayManufacturerId;
    QString displayProductCode;
    QString panelId;
    QString displaySerialNumber;
    QString computerSerialNumber;
    QString computerModelName;
};

// The configuration of the tray program's start-up, over a new display helper for the internal
// panel and new BIOS tools, both kept for the life of the process.
std::shared_ptr<ILogConfiguration> CreateLogConfiguration(const QString& internalPanelId);

}  // namespace Korvel::DisplayCalibration::Common::Settings
