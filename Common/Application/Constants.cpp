#include "Common/Application/Constants.h"

#include "WindowsStandIn/Machine.h"

#include <QObject>

namespace Korvel::DisplayCalibration::Common {

const QString ApplicationDataRoot = QStringLiteral("C:/ProgramData/Korvel Inc/Korvel Tintwise");
const QString UsersFolder = QStringLiteral("/Users/");
const QString LogFolderName = QStringLiteral("log/");
const QString InitLogFileName = QStringLiteral("Init.log");
const QString VotLogFileName = QStringLiteral("VOT.log");
const std::string TemporaryDirectory = "C:\\ProgramData\\Korvel Inc\\Korvel Tintwise\\Temp";
const QString OobeTimeFileName = QStringLiteral("OobeTime.log");
const QString OobeSettingsKey = QStringLiteral("OOBE");
const QString UserEndedOobeValue = QStringLiteral("user_ended_oobe");
const std::string TrimCharacters = " \n\r\t\f\v";

const QString ElevatedToolFileName = QStringLiteral("Tessaly.exe");
const QString WindowsSrgbProfileFileName = QStringLiteral("sRGB Color Space Profile.icm");
const QString BatchFileName = QStringLiteral("TempScript.bat");
const QString OutputFileName = QStringLiteral("stdout.txt");
const QString ExitCodeFileName = QStringLiteral("exitcode.txt");
const QString LogonTaskName = QStringLiteral("KorvelTintwiseStartup");
const QString LogonTaskXmlTemplate = QStringLiteral(
    "<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
    "<Task version=\"1.4\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
    "<RegistrationInfo><URI>\\%1</URI></RegistrationInfo>"
    "<Triggers><LogonTrigger><Enabled>true</Enabled><Delay>PT10S</Delay></LogonTrigger></Triggers>"
    "<Principals><Principal id=\"Author\"><GroupId>S-1-5-32-545</GroupId><RunLevel>LeastPrivilege</RunLevel>"
    "</Principal></Principals>"
    "<Settings><MultipleInstancesPolicy>StopExisting</MultipleInstancesPolicy>"
    "<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>"
    "<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries><AllowHardTerminate>true</AllowHardTerminate>"
    "<StartWhenAvailable>false</StartWhenAvailable><RunOnlyIfNetworkAvailable>false</RunOnlyIfNetworkAvailable>"
    "<IdleSettings><StopOnIdleEnd>false</StopOnIdleEnd><RestartOnIdle>false</RestartOnIdle></IdleSettings>"
    "<AllowStartOnDemand>true</AllowStartOnDemand><Enabled>true</Enabled><Hidden>false</Hidden>"
    "<RunOnlyIfIdle>false</RunOnlyIfIdle><DisallowStartOnRemoteAppSession>false</DisallowStartOnRemoteAppSession>"
    "<UseUnifiedSchedulingEngine>true</UseUnifiedSchedulingEngine><WakeToRun>false</WakeToRun>"
    "<ExecutionTimeLimit>PT0S</ExecutionTimeLimit><Priority>7</Priority></Settings>"
    "<Actions Context=\"Author\"><Exec><Command>%2</Command>"
    "<Arguments>--no-tray-notification-on-startup</Arguments></Exec></Actions></Task>");

const QString MakerMachineKey = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel Inc\\");
const QString PanelInfoGroup = QStringLiteral("PanelInfo");
const QString DefaultProfileColorSpaceValue = QStringLiteral("DefaultProfileColorSpace");
const QString DefaultProfileGammaValue = QStringLiteral("DefaultProfileGamma");
const QString DisplayDeviceIdValue = QStringLiteral("DisplayDeviceId");
const QString HdrSupportedValue = QStringLiteral("HdrSupported");
const QString Hdr10SupportedValue = QStringLiteral("Hdr10Supported");
const QString ProfileFormatValue = QStringLiteral("ProfileFormat");
const QString RequiredProfilesValue = QStringLiteral("RequiredProfiles");
const QString RequiredProfilesHdr10Value = QStringLiteral("RequiredProfilesHdr10");
const QString AlignProfilesOnDdsModeChangeKey = QStringLiteral("AlignProfilesOnDDSModeChange");
const QString LastAppliedProfileIntegratedGpuKey = QStringLiteral("LastAppliedProfileIntegratedGPU");
const QString LastAppliedProfileDiscreteGpuKey = QStringLiteral("LastAppliedProfileDiscreteGPU");

const QString DefaultConfigurationFile = QStringLiteral("config/config.xml");
const QString MissingParameterMessage = QStringLiteral("Empty or no entry for mandatory configuration parameter '%1'");
const QString ComputerSnPlaceholder = QStringLiteral("{ComputerSn}");
const QString DisplayHwIdPlaceholder = QStringLiteral("{DisplayHwId}");
const QString DisplayManufacturerIdPlaceholder = QStringLiteral("{DisplayManufacturerId}");
const QString DisplayProductCodePlaceholder = QStringLiteral("{DisplayProductCode}");
const QString DisplaySnPlaceholder = QStringLiteral("{DisplaySn}");
const QString ModelNamePlaceholder = QStringLiteral("{ModelName}");
const QString ProfileNamePlaceholder = QStringLiteral("{ProfileName}");
const QString LogHeaderStart = QStringLiteral("start");
const QString LogHeaderArguments = QStringLiteral("arguments: ");
const QString LogHeaderCurrentTime = QStringLiteral("Current time: ");
const QString LogHeaderUser = QStringLiteral("User: ");

const QStringList SupportedColorSpaces = {"sRGB", "AdobeRGB", "DCIP3", "DisplayP3"};
const QStringList SupportedGammas = {"2.2", "2.6", "sRGB", "REC709"};
const QStringList KnownProfileNames = {"AdobeRGB", "DCIP3",   "DisplayP3", "DICOM_Dim", "DICOM_Office", "Korvel_HDR10",
                                       "REC709",   "sRGB",    "Default",   "Native",    "P3"};

const QString DefaultProfileColorSpace = QStringLiteral("AdobeRGB");
const QString DefaultProfileGamma = QStringLiteral("2.2");
const QStringList DefaultSupportedProfiles = {"sRGB", "AdobeRGB", "REC709", "DCIP3", "Default", "Native"};

const QString DefaultProfileName = QStringLiteral("Default");
const QString DicomDimProfileName = QStringLiteral("DICOM_Dim");
const QString DicomOfficeProfileName = QStringLiteral("DICOM_Office");
const QString NativeProfileName = QStringLiteral("Native");
const QString NativeHdrProfileName = QStringLiteral("Native_HDR");
const QString PreviewImageResource = QStringLiteral(":/images/Preview.jpeg");
const QString PreviewImageFileName = QStringLiteral("Preview.jpeg");
const QString TransformedPreviewFileName = QStringLiteral("TransformedPreview_%1.jpeg");

const QString ProfileArchiveFileName = QStringLiteral("ProfileArchive.zip");
const QString DisplayProfilesFolder = QStringLiteral("DisplayProfiles");
const QString PanelInfoFileName = QStringLiteral("PanelInfo.xml");
const QString PanelInfoHdrFileName = QStringLiteral("PanelInfoHdr.xml");

const std::vector<std::uint32_t> InternalOutputTechnologies = {0x80000000u, 11u, 13u};

const QString WithGuiSwitch = QStringLiteral("--withGUI");
const QString NoTrayNotificationOnStartupSwitch = QStringLiteral("--no-tray-notification-on-startup");
const QString LidSwitchStateChangeGuid = QStringLiteral("{BA3E0F4D-B817-4094-A2D1-D56379E6A0F3}");
QString ProfileServerHost()
{
    try {
        const QString host = WinSim::DescriptionValue(QStringLiteral("network.profileServer")).toString();
        if (!host.isEmpty()) {
            return host;
        }
    } catch (const WinSim::MachineError&) {
    }
    return QStringLiteral("profiles.korvel.example");
}
QString SupportPageLink()
{
    return QStringLiteral("<a href=\"%1\">%1</a>").arg(QStringLiteral(KORVEL_SUPPORT_URL));
}
const QString ProfileServerClientId = QStringLiteral("Wm4qTz8vRk2NcJ7pLx0bQe5HsY1uGd9aKf3iVo6rBt0=");
const QString ProfileDownloadPath = QStringLiteral("/v3/ColorCalibration/GetFileBySn?sn=%1");
const QString UpdateFeedHost = QStringLiteral("https://download.korvel.example");
const QString UpdateFeedFolder = QStringLiteral("/downloads/autoupdate/KorvelTintwise/Vantrel");
const QString UpdateFeedX86 = QStringLiteral("/KorvelTintwise_win_appcast.xml");
const QString UpdateFeedX64 = QStringLiteral("/KorvelTintwise_win64_appcast.xml");
const QString UpdateFeedArm64 = QStringLiteral("/KorvelTintwise_winarm64_appcast.xml");
const QString QualityReportsShortcutFileName = QStringLiteral("QualityReportsShortcut.txt");
const QString NitsFormat = QStringLiteral("%1 nt");

const QString LidMustBeOpenedText =
    QObject::tr("The lid must be opened to apply color profiles created for the panel, so please open the lid to "
                "allow application to apply color profiles.");
const QString PreviewRestrictedText =
    QObject::tr("Preview usage is restricted to 'PC screen only' and 'Extended' modes. To display preview image, "
                "please switch to one of mentioned modes.");
const QString QualityReportPrepareFailureText =
    QObject::tr("Failure to prepare selected profile quality report. Reason: %1");
const QString QualityReportPresentFailureText =
    QObject::tr("Failure to present selected profile quality report. Error code: %1");

namespace {
const QString PreferencesIcons = QStringLiteral(":/images/Dark/Preferences/%1");
const QString MenuIcons = QStringLiteral(":/images/Dark/Menu/%1");
const QString FullScreenIcons = QStringLiteral(":/images/Dark/FullScreen/%1");
const QString WidgetIcons = QStringLiteral(":/images/Dark/Widgets/%1");
const QString LogoIcons = QStringLiteral(":/images/icons/%1");

QString Icon(const QString& directory, const char* name)
{
    return directory.arg(QLatin1String(name) + QLatin1String(".png"));
}
}  // namespace

const QString DimensionPlaceholder = QStringLiteral("$dimension$");
const QString AboutIconActivePath = Icon(PreferencesIcons, "about_icon_active_$dimension$x$dimension$");
const QString AboutIconPath = Icon(PreferencesIcons, "about_icon_$dimension$x$dimension$");
const QString PreviewIconActivePath = Icon(PreferencesIcons, "preview_icon_active_$dimension$x$dimension$");
const QString PreviewIconPath = Icon(PreferencesIcons, "preview_icon_$dimension$x$dimension$");
const QString ProfileIconActivePath = Icon(PreferencesIcons, "profile_icon_active_$dimension$x$dimension$");
const QString ProfileIconPath = Icon(PreferencesIcons, "profile_icon_$dimension$x$dimension$");
const QString SettingsIconActivePath = Icon(PreferencesIcons, "settings_icon_active_$dimension$x$dimension$");
const QString SettingsIconPath = Icon(PreferencesIcons, "settings_icon_$dimension$x$dimension$");
const QString CloseIconPath = Icon(MenuIcons, "close_icon_$dimension$x$dimension$");
const QString PreferencesIconPath = Icon(MenuIcons, "preferences_icon_$dimension$x$dimension$");
const QString QuickSelectionIconPath = Icon(MenuIcons, "quickselection_icon_$dimension$x$dimension$");
const QString BackToWindowIconPath = Icon(FullScreenIcons, "back_to_window_icon_$dimension$x$dimension$");
const QString FullScreenIconPath = Icon(FullScreenIcons, "full_screen_icon_$dimension$x$dimension$");
const QString CheckedIconPath = Icon(WidgetIcons, "checked_icon_256x256");
const QString ComboBoxDropdownArrowIconPath = Icon(WidgetIcons, "combo_box_dropdown_arrow_32x32");
const QString RadioButtonCheckedIconPath = Icon(WidgetIcons, "radio_button_checked_16x16");
const QString RadioButtonUncheckedIconPath = Icon(WidgetIcons, "radio_button_unchecked_16x16");
const QString LogoIconPath = Icon(LogoIcons, "icon-logo$dimension$x$dimension$");
const QString LogoWarningIconPath = Icon(LogoIcons, "icon-logo-warning$dimension$x$dimension$");

}  // namespace Korvel::DisplayCalibration::Common
