// Fixed names of the system, defined once and built before main runs.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <vector>

namespace Korvel::DisplayCalibration::Common {

// Application paths and file names.
extern const QString ApplicationDataRoot;     // "C:/ProgramData/Korvel Inc/Korvel Tintwise"
extern const QString UsersFolder;             // "/Users/"
extern const QString LogFolderName;           // "log/"
extern const QString InitLogFileName;         // "Init.log"
extern const QString VotLogFileName;          // "VOT.log"
extern const std::string TemporaryDirectory;  // "C:\ProgramData\Korvel Inc\Korvel Tintwise\Temp"
extern const QString OobeTimeFileName;        // "OobeTime.log"
extern const QString OobeSettingsKey;         // "OOBE"
extern const QString UserEndedOobeValue;      // "user_ended_oobe"
extern const std::string TrimCharacters;      // space, LF, CR, tab, FF, VT

// Elevated tool and profile installation.
extern const QString ElevatedToolFileName;  // "Tessaly.exe"
extern const QString WindowsSrgbProfileFileName;
extern const QString BatchFileName;
extern const QString OutputFileName;
extern const QString ExitCodeFileName;
extern const QString LogonTaskName;
// The logon task's definition: one line of XML; %1 the task name, %2 the program's command.
extern const QString LogonTaskXmlTemplate;

// Registry.
extern const QString MakerMachineKey;  // "HKEY_LOCAL_MACHINE\SOFTWARE\Korvel Inc\"
extern const QString PanelInfoGroup;
extern const QString DefaultProfileColorSpaceValue;
extern const QString DefaultProfileGammaValue;
extern const QString DisplayDeviceIdValue;
extern const QString HdrSupportedValue;
extern const QString Hdr10SupportedValue;
extern const QString ProfileFormatValue;
extern const QString RequiredProfilesValue;
extern const QString RequiredProfilesHdr10Value;
extern const QString AlignProfilesOnDdsModeChangeKey;
extern const QString LastAppliedProfileIntegratedGpuKey;
extern const QString LastAppliedProfileDiscreteGpuKey;

// Configuration and log header.
extern const QString DefaultConfigurationFile;
extern const QString MissingParameterMessage;
extern const QString ComputerSnPlaceholder;
extern const QString DisplayHwIdPlaceholder;
extern const QString DisplayManufacturerIdPlaceholder;
extern const QString DisplayProductCodePlaceholder;
extern const QString DisplaySnPlaceholder;
extern const QString ModelNamePlaceholder;
extern const QString ProfileNamePlaceholder;
extern const QString LogHeaderStart;
extern const QString LogHeaderArguments;
extern const QString LogHeaderCurrentTime;
extern const QString LogHeaderUser;

// Panel-information reference lists.
extern const QStringList SupportedColorSpaces;
extern const QStringList SupportedGammas;
extern const QStringList KnownProfileNames;

// Profile-configuration defaults.
extern const QString DefaultProfileColorSpace;
extern const QString DefaultProfileGamma;
extern const QStringList DefaultSupportedProfiles;

// Profile names and preview images.
extern const QString DefaultProfileName;
extern const QString DicomDimProfileName;
extern const QString DicomOfficeProfileName;
extern const QString NativeProfileName;
extern const QString NativeHdrProfileName;
extern const QString PreviewImageResource;
extern const QString PreviewImageFileName;
extern const QString TransformedPreviewFileName;  // "TransformedPreview_%1.jpeg"

// Restoration.
extern const QString ProfileArchiveFileName;
extern const QString DisplayProfilesFolder;
extern const QString PanelInfoFileName;
extern const QString PanelInfoHdrFileName;

// Hardware: video output technologies of an internal connection (internal, embedded DisplayPort, embedded UDI).
extern const std::vector<std::uint32_t> InternalOutputTechnologies;

// User interface.
extern const QString WithGuiSwitch;
extern const QString NoTrayNotificationOnStartupSwitch;
extern const QString LidSwitchStateChangeGuid;  // GUID_LIDSWITCH_STATE_CHANGE
// Host (and port) of the profile server: the simulated machine's "network.profileServer", or the
// vendor's host when the machine names none.
QString ProfileServerHost();
extern const QString ProfileServerClientId;  // the client's identity towards the profile server
// The vendor's support page (the build's KORVEL_SUPPORT_URL) as a link of the boxes' rich text.
QString SupportPageLink();
extern const QString ProfileDownloadPath;  // "/v3/ColorCalibration/GetFileBySn?sn=%1"
extern const QString UpdateFeedHost;
extern const QString UpdateFeedFolder;
extern const QString UpdateFeedX86;
extern const QString UpdateFeedX64;
extern const QString UpdateFeedArm64;
extern const QString QualityReportsShortcutFileName;
extern const QString NitsFormat;  // "%1 nt"
extern const double A4WidthToHeight;  // in CommonApplicationGui (Qt Gui)

// English texts fetched through the translation function before any translation is loaded.
extern const QString LidMustBeOpenedText;
extern const QString PreviewRestrictedText;
extern const QString QualityReportPrepareFailureText;
extern const QString QualityReportPresentFailureText;

// Icon resource paths; "$dimension$" stands for a pixel size.
extern const QString DimensionPlaceholder;
extern const QString AboutIconActivePath;
extern const QString AboutIconPath;
extern const QString PreviewIconActivePath;
extern const QString PreviewIconPath;
extern const QString ProfileIconActivePath;
extern const QString ProfileIconPath;
extern const QString SettingsIconActivePath;
extern const QString SettingsIconPath;
extern const QString CloseIconPath;
extern const QString PreferencesIconPath;
extern const QString QuickSelectionIconPath;
extern const QString BackToWindowIconPath;
extern const QString FullScreenIconPath;
extern const QString CheckedIconPath;
extern const QString ComboBoxDropdownArrowIconPath;
extern const QString RadioButtonCheckedIconPath;
extern const QString RadioButtonUncheckedIconPath;
extern const QString LogoIconPath;
extern const QString LogoWarningIconPath;

}  // namespace Korvel::DisplayCalibration::Common
