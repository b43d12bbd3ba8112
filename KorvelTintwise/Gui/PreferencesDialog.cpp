#include "Gui/PreferencesDialog.h"

#include "Common/Application/CheckedConnection.h"
#include "Common/Application/Constants.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/Settings/IConfiguration.h"
#include "Common/Settings/IStartupHelper.h"
#include "Gui/AcknowledgementsDialog.h"
#include "Gui/ColorGamutScene.h"
#include "Gui/CreateIconFromPattern.h"
#include "Gui/ProfileInfoData.h"
#include "Gui/SdrProfileQualityReportDlg.h"
#include "Gui/StyleSheets.h"
#include "Gui/TrayMenu.h"
#include "ProfileData/ProfileData.h"
#include "ProfileData/ProfileQualityReportParser.h"
#include "ProfileData/QualityReportPath.h"
#include "ui_PreferencesDialog.h"

#include <QDesktopServices>
#include <QFile>
#include <QScreen>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QUrl>
#include <QWindow>

namespace Constants = Korvel::DisplayCalibration::Common;
using Korvel::DisplayCalibration::Common::Application::ConnectChecked;
using Korvel::DisplayCalibration::Common::Logging::DebugLevel;
using Korvel::DisplayCalibration::Common::Logging::InfoLevel;
using Korvel::DisplayCalibration::Common::Logging::WarnLevel;

namespace {

const QList<int> TabIconSizes = {30, 45, 60, 90, 120, 150, 256};
const QString HdrProfileKey = QStringLiteral("Korvel_HDR10");
const QString NotAvailable = QStringLiteral("N/A");

// The maker's and the sibling brand's sites (reserved example hosts).
const QString KorvelHomePage = QStringLiteral("https://www.korvel.example/");
const QString KorvelPrivacyPolicy = QStringLiteral("https://www.korvel.example/legal/privacy-policy");
const QString HuebergHomePage = QStringLiteral("https://www.hueberg.example/");

const QString GroupBoxStyle =
    QStringLiteral("QGroupBox { border: 1px solid rgb(158, 162, 162); color: rgb(130, 133, 134); }");

// Set only between a failed change of the logon task and the check-box echo it causes.
bool runOnStartupRevertGuard = false;

using Chromaticity = std::pair<double, double>;

QPointF ToPoint(const Chromaticity& chromaticity)
{
    return QPointF(chromaticity.first, chromaticity.second);
}

QString Coordinate(const char* axis, double value)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(axis), QString::number(value, 'f', 4));
}

// A white-point coordinate of exactly 0 was not measured.
QString WhiteCoordinate(const char* axis, double value)
{
    return value == 0.0 ? QStringLiteral("%1: %2").arg(QLatin1String(axis), NotAvailable) : Coordinate(axis, value);
}

QString LuminanceText(const QString& text)
{
    if (text == NotAvailable || text.startsWith(QLatin1String("100%"))) {
        return text;
    }
    return Constants::NitsFormat.arg(text);
}

QIcon TabIcon(const QString& plain, const QString& active)
{
    QIcon icon;
    CreateIconFromPattern(icon, plain, TabIconSizes, QIcon::Selected, QIcon::Off);
    CreateIconFromPattern(icon, active, TabIconSizes, QIcon::Selected, QIcon::On);
    return icon;
}

void OpenLink(const QString& address)
{
    QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

}  // namespace

PreferencesDialog::PreferencesDialog(TrayMenu* trayMenu, QVersionNumber version, IStartupHelper* startupHelper,
                                     IDisplayHelper* displayHelper, IConfiguration* configuration,
                                     const ProfileList* profiles, bool lidClosed, QWidget* parent)
    : QDialog(parent),
      Loggable("PreferencesDialog"),
      trayMenu(trayMenu),
      previewDialog(displayHelper, this),
      startupHelper(startupHelper),
      displayHelper(displayHelper),
      configuration(configuration),
      profiles(profiles),
      version(std::move(version)),
      lidClosed(lidClosed)
{
    gamutScene = new ColorGamutScene(GamutDiagramPicture, this);
    ui = new Ui_PreferencesDialog;
    setAttribute(Qt::WA_NativeWindow);
    ui->setupUi(this);

    dicomForm = std::make_shared<ProfileInfoDataDicom>(ui->ProfileInfo_Page);
    dicomForm->hide();
    standardForm = std::make_shared<ProfileInfoDataStandard>(ui->ProfileInfo_Page);
    standardForm->hide();

    if (QWindow* handle = windowHandle()) {
        const QSize screen = handle->screen()->geometry().size();
        move((screen.width() - width()) / 2, (screen.height() - height()) / 2);
    }

    Initialize();
    ConnectSignals();

    shownProfileDataWidget = ui->ProfileData_ProfileInfo_Widget;
    ui->ProfileData_ProfileInfo_Widget->hide();

    // The stock photograph until a profile is shown: decoded only when drawn (the button) or when
    // the full-screen preview opens.
    previewDialog.SetPreviewPixmap(QPixmap());
    stockPreviewPending = true;
    ui->PreviewImage_PreviewPage_PushButton->setIcon(CreatePictureIcon(Constants::PreviewImageResource));

    FillProfileComboBoxes();

    HideDdsAlignmentOptions();
}

PreferencesDialog::~PreferencesDialog()
{
    delete gamutScene;
    delete ui;
    delete qualityReportDialog;
    standardForm.reset();
    dicomForm.reset();
}

void PreferencesDialog::Initialize()
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    ui->About_Button->setIcon(TabIcon(Constants::AboutIconPath, Constants::AboutIconActivePath));
    ui->Preview_Button->setIcon(TabIcon(Constants::PreviewIconPath, Constants::PreviewIconActivePath));
    ui->ProfileInfo_Button->setIcon(TabIcon(Constants::ProfileIconPath, Constants::ProfileIconActivePath));
    ui->Settings_Button->setIcon(TabIcon(Constants::SettingsIconPath, Constants::SettingsIconActivePath));

    QIcon fullScreen;
    CreateIconFromPattern(fullScreen, Constants::FullScreenIconPath, PreviewDialog::FullScreenIconSizes, QIcon::Normal, QIcon::Off);
    ui->FullScreen_PreviewPage_PushButton->setIcon(fullScreen);

    ui->PreferencesDialog_StackedWidget->setCurrentIndex(0);
    SetUpGamutView();

    if (startupHelper->IsEnabled()) {
        ui->Startup_SettingsPage_CheckBox->setChecked(true);
    }
    LogText(InfoLevel, "Setting initial value of profiles alignment on DDS mode change to: false");
    ui->ProfileAlignmentInDDS_SettingsPage_CheckBox->setChecked(false);
    ui->ApplicationVersion_AboutPage_Label->setText(tr("version: %1").arg(version.toString()));

    ui->AboutProfile_PreviewPage_GroupBox->setStyleSheet(GroupBoxStyle + VerticalScrollBarStyleSheet(10));

    ui->QualityReport_PreviewPage_PushButton->hide();
    ui->QualityReport_ProfileInfoPage_PushButton->hide();
    ui->Warning_ProfileInfoPage_Label->hide();
    ui->Warning_PreviewPage_Label->hide();
}

void PreferencesDialog::SetUpGamutView()
{
    QGraphicsView* view = ui->GamutDiagram_ProfileInfoPage_GraphicsView;
    view->show();
    view->setScene(gamutScene);
    view->setRenderHint(QPainter::Antialiasing, true);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setTransformationAnchor(QGraphicsView::NoAnchor);
    view->setCacheMode(QGraphicsView::CacheBackground);
    view->setInteractive(false);
    view->setRenderHint(QPainter::SmoothPixmapTransform, true);
    const QRectF sceneRect = gamutScene->sceneRect();
    view->setMinimumSize(static_cast<int>(sceneRect.width()), static_cast<int>(sceneRect.height()));

    // The scene has no meta-object of its own: member-function connections.
    connect(this, &PreferencesDialog::drawColorGamut, gamutScene, &ColorGamutScene::drawColorGamut,
            Qt::DirectConnection);
    connect(this, &PreferencesDialog::clearColorGamut, gamutScene, &ColorGamutScene::clearColorGamut,
            Qt::DirectConnection);
}

void PreferencesDialog::ConnectSignals()
{
    const struct {
        const QObject* sender;
        const char* signal;
        const char* method;
    } wiring[] = {
        {ui->Preview_Button, SIGNAL(clicked()), SLOT(OnPreviewButtonClicked())},
        {ui->ProfileInfo_Button, SIGNAL(clicked()), SLOT(OnProfileInfoButtonClicked())},
        {ui->Settings_Button, SIGNAL(clicked()), SLOT(OnSettingsButtonClicked())},
        {ui->About_Button, SIGNAL(clicked()), SLOT(OnAboutButtonClicked())},
        {ui->QualityReport_PreviewPage_PushButton, SIGNAL(clicked()), SLOT(OnQualityReportButtonClicked())},
        {ui->QualityReport_ProfileInfoPage_PushButton, SIGNAL(clicked()), SLOT(OnQualityReportButtonClicked())},
        {ui->FullScreen_PreviewPage_PushButton, SIGNAL(clicked()), SLOT(OnFullScreenPreviewClicked())},
        {ui->PreviewImage_PreviewPage_PushButton, SIGNAL(clicked()), SLOT(OnFullScreenPreviewClicked())},
        {ui->SelectProfile_PreviewPage_ComboBox, SIGNAL(activated(int)), SLOT(OnProfileComoboxItemSelected(int))},
        {ui->SelectProfile_ProfileInfoPage_ComboBox, SIGNAL(activated(int)), SLOT(OnProfileComoboxItemSelected(int))},
        {ui->AcknowledgementsLink_AboutPage_PushButton, SIGNAL(clicked()), SLOT(OnAcknowledgementsLinkActivated())},
        {ui->Startup_SettingsPage_CheckBox, SIGNAL(stateChanged(int)), SIGNAL(RunOnStartupChanged(int))},
        {ui->RestoreFromCloud_SettingsPage_PushButton, SIGNAL(clicked()), SIGNAL(RestoreProfilesTriggered())},
        {ui->CheckForUpdates_AboutPage_PushButton, SIGNAL(clicked()), SIGNAL(CheckForUpdateTriggered())},
        {ui->PrivacyPolicyLink_AboutPage_PushButton, SIGNAL(clicked()), SLOT(OnPrivacyPolicyLinkClicked())},
        {ui->KorvelLink_AboutPage_PushButton, SIGNAL(clicked()), SLOT(OnKorvelLinkClicked())},
        {ui->HuebergLink_AboutPage_PushButton, SIGNAL(clicked()), SLOT(OnHuebergLinkClicked())},
        {ui->ProfileAlignmentInDDS_SettingsPage_CheckBox, SIGNAL(stateChanged(int)),
         SLOT(OnProfileAlignmentInDDSStateChanged(int))},
    };
    for (const auto& connection : wiring) {
        ConnectChecked(connection.sender, connection.signal, this, connection.method);
    }
}

void PreferencesDialog::FillProfileComboBoxes()
{
    QComboBox* boxes[] = {ui->SelectProfile_PreviewPage_ComboBox, ui->SelectProfile_ProfileInfoPage_ComboBox};
    for (QComboBox* box : boxes) {
        box->clear();
        box->insertItem(0, QIcon(), QString());
    }
    const bool hdrOn = displayHelper->IsHdrActive();
    for (int i = 0; i < profiles->size(); ++i) {
        const ProfileData& profile = *profiles->at(i);
        for (QComboBox* box : boxes) {
            box->insertItem(i + 1, QIcon(), profile.GetDisplayName());
        }
        for (QComboBox* box : boxes) {
            MarkItemForDynamicRange(box, profile.GetName(), i + 1, hdrOn);
        }
    }
}

void PreferencesDialog::MarkItemForDynamicRange(QComboBox* comboBox, const QString& name, int itemIndex, bool hdrOn)
{
    auto* model = qobject_cast<QStandardItemModel*>(comboBox->model());
    QStandardItem* item = model != nullptr ? model->item(itemIndex, 0) : nullptr;
    if (item == nullptr) {
        return;
    }
    const bool hdrProfile = name.contains(HdrProfileKey, Qt::CaseInsensitive);
    if (hdrOn == hdrProfile) {
        item->setToolTip(QString());
        item->setFlags(item->flags() | Qt::ItemIsEnabled);
        item->setData(QColor(Qt::white), Qt::ForegroundRole);
        return;
    }
    item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
    item->setData(QColor(Qt::darkGray), Qt::ForegroundRole);
    item->setToolTip(hdrProfile
                         ? tr("THIS IS HDR PROFILE!\nIn order to use it, enable HDR settings in Windows:\n"
                              "    1. Select the Start button or Search field, then enter settings. Select Settings > "
                              "System > Display > Windows HD Color Settings.\n"
                              "    2. If you have multiple displays connected to your PC, choose the internal display.\n"
                              "    3. Turn on Use HDR.")
                         : tr("THIS IS SDR PROFILE!\nIn order to use it, disable HDR settings in Windows:\n"
                              "    1. Select the Start button or Search field, then enter settings. Select Settings > "
                              "System > Display > Windows HD Color Settings.\n"
                              "    2. If you have multiple displays connected to your PC, choose the internal display.\n"
                              "    3. Turn off Use HDR."));
}

QString PreferencesDialog::GetCurrentProfileName() const
{
    return ui->SelectProfile_PreviewPage_ComboBox->currentText();
}

int PreferencesDialog::FindProfileIndex(const QString& name)
{
    if (name.isEmpty()) {
        return -1;
    }
    QComboBox* box = ui->SelectProfile_PreviewPage_ComboBox;
    for (int i = 0; i < box->count(); ++i) {
        const QString text = box->itemText(i);
        LogTextRef(InfoLevel, text.toStdString());
        if (text.size() == name.size() && text == name) {
            return i;
        }
    }
    return -1;
}

std::shared_ptr<ProfileData> PreferencesDialog::CurrentProfile() const
{
    if (currentProfileIndex < 0 || currentProfileIndex >= profiles->size()) {
        return nullptr;
    }
    return profiles->at(currentProfileIndex);
}

void PreferencesDialog::SelectProfile(int index)
{
    if (index < 0 || index >= profiles->size()) {
        SetCurrentProfileIndex();
        return;
    }
    currentProfileIndex = index;
    const ProfileData& profile = *profiles->at(index);
    ui->SelectProfile_PreviewPage_ComboBox->setCurrentIndex(index + 1);
    ui->SelectProfile_ProfileInfoPage_ComboBox->setCurrentIndex(index + 1);
    ui->AboutProfile_PreviewPage_TextEdit->setText(profile.GetDescription());

    UpdateProfileInfo();

    const QString reportPath = QualityReportPath(profile.GetFullPath());
    const bool hasReport = !reportPath.isEmpty() && QFile::exists(reportPath);
    ui->QualityReport_PreviewPage_PushButton->setVisible(hasReport);
    ui->QualityReport_ProfileInfoPage_PushButton->setVisible(hasReport);

    ui->PreviewImage_PreviewPage_PushButton->setIcon(QIcon(profile.GetScaledPreviewImage()));
    previewDialog.SetPreviewPixmap(profile.GetPreviewImage());
    stockPreviewPending = false;
}

void PreferencesDialog::SetCurrentProfileIndex()
{
    currentProfileIndex = -1;
    ui->SelectProfile_PreviewPage_ComboBox->setCurrentIndex(-1);
    ui->SelectProfile_ProfileInfoPage_ComboBox->setCurrentIndex(-1);
    ui->QualityReport_PreviewPage_PushButton->hide();
    ui->QualityReport_ProfileInfoPage_PushButton->hide();
    UpdateProfileInfo();
}

void PreferencesDialog::UpdateProfileInfo()
{
    shownProfileDataWidget->hide();
    const auto profile = CurrentProfile();
    if (!profile) {
        ui->AboutProfile_PreviewPage_GroupBox->hide();
        return;
    }
    const QString& name = profile->GetName();
    if (name == Constants::DicomOfficeProfileName || name == Constants::DicomDimProfileName) {
        shownProfileDataWidget = dicomForm.get();
        dicomForm->show();
        ui->AboutProfile_PreviewPage_GroupBox->show();
        ui->AboutProfile_PreviewPage_TextEdit->setText(profile->GetDescription());
        emit clearColorGamut();
        return;
    }
    FillStandardForm(*profile);
}

void PreferencesDialog::FillStandardForm(const ProfileData& profile)
{
    // The chromaticities in the eight cells, the profile's gamma text, and the gamut drawn.
    const auto showValues = [this, &profile](const Chromaticity& red, const Chromaticity& green,
                                             const Chromaticity& blue, const Chromaticity& white) {
        standardForm->SetRedX(Coordinate("x", red.first));
        standardForm->SetRedY(Coordinate("y", red.second));
        standardForm->SetGreenX(Coordinate("x", green.first));
        standardForm->SetGreenY(Coordinate("y", green.second));
        standardForm->SetBlueX(Coordinate("x", blue.first));
        standardForm->SetBlueY(Coordinate("y", blue.second));
        standardForm->SetWhitePointX(WhiteCoordinate("x", white.first));
        standardForm->SetWhitePointY(WhiteCoordinate("y", white.second));
        standardForm->SetGamma(profile.GetGammaText());
        emit drawColorGamut(ToPoint(red), ToPoint(green), ToPoint(blue), ToPoint(white));
    };
    const bool noColorSpace = profile.GetColorSpaceType() == 4;

    standardForm->show();
    showValues(profile.GetRedPrimary(), profile.GetGreenPrimary(), profile.GetBluePrimary(), profile.GetWhitePoint());
    shownProfileDataWidget = standardForm.get();
    standardForm->show();

    const QString reportPath = QualityReportPath(profile.GetFullPath());
    ProfileQualityReportParser report;
    QString error;
    if (reportPath.isEmpty() || !QFile::exists(reportPath)) {
        if (noColorSpace) {
            emit clearColorGamut();
            standardForm->hide();
        }
        standardForm->SetLuminance(LuminanceText(profile.GetLuminanceText()));
    } else if (!report.Load(reportPath, error)) {
        standardForm->SetLuminance(LuminanceText(profile.GetLuminanceText()));
    } else {
        standardForm->SetLuminance(Constants::NitsFormat.arg(report.GetCalibratedLuminance()));
        showValues(report.GetRedPrimary(), report.GetGreenPrimary(), report.GetBluePrimary(), report.GetWhitePoint());
        if (noColorSpace) {
            standardForm->SetLuminance(tr("100% brightness"));
        }
    }
    ui->AboutProfile_PreviewPage_GroupBox->show();
    ui->AboutProfile_PreviewPage_TextEdit->setText(profile.GetDescription());
}

void PreferencesDialog::HideDdsAlignmentOptions()
{
    ui->DdsAlignmentWidget->hide();
    LogText(InfoLevel, "DDS alignment options are hidden");
}

void PreferencesDialog::ApplyRunOnStartup(int state)
{
    if (runOnStartupRevertGuard) {
        runOnStartupRevertGuard = false;
        return;
    }
    const Qt::CheckState previous = ui->Startup_SettingsPage_CheckBox->checkState();
    try {
        if (state == Qt::Checked) {
            startupHelper->Enable();
        } else {
            startupHelper->Disable();
        }
    } catch (...) {
        runOnStartupRevertGuard = true;
        ui->Startup_SettingsPage_CheckBox->setCheckState(previous == Qt::Unchecked ? Qt::Checked : Qt::Unchecked);
    }
}

void PreferencesDialog::OnLidStateChanged(bool closed)
{
    lidClosed = closed;
}

void PreferencesDialog::OnBrightnessMismatchFound()
{
    const QString tip = tr("Brightness not accurate for the selected profile, \nReselect the profile to the correct brightness.");
    for (QLabel* sign : {ui->Warning_PreviewPage_Label, ui->Warning_ProfileInfoPage_Label}) {
        sign->show();
        sign->setToolTip(tip);
    }
}

void PreferencesDialog::HideWarningSigns()
{
    ui->Warning_PreviewPage_Label->hide();
    ui->Warning_ProfileInfoPage_Label->hide();
}

void PreferencesDialog::OnPreviewButtonClicked()
{
    ui->PreferencesDialog_StackedWidget->setCurrentIndex(0);
}

void PreferencesDialog::OnProfileInfoButtonClicked()
{
    ui->PreferencesDialog_StackedWidget->setCurrentIndex(1);
}

void PreferencesDialog::OnSettingsButtonClicked()
{
    ui->PreferencesDialog_StackedWidget->setCurrentIndex(2);
}

void PreferencesDialog::OnAboutButtonClicked()
{
    ui->PreferencesDialog_StackedWidget->setCurrentIndex(3);
}

void PreferencesDialog::OnQualityReportButtonClicked()
{
    const auto profile = CurrentProfile();
    if (!profile) {
        return;
    }
    ProfileQualityReportParser report;
    QString error;
    if (!report.Load(QualityReportPath(profile->GetFullPath()), error)) {
        trayMenu->ShowWarningNotification(Constants::QualityReportPrepareFailureText.arg(error));
        return;
    }
    auto* dialog =
        new SdrProfileQualityReportDlg(this, SdrQualityReportData::FromReport(report, QualityReportPath(profile->GetFullPath())));
    qualityReportDialog = dialog;
    ConnectChecked(dialog, SIGNAL(finished(int)), this, SLOT(OnSdrProfileQualityReportDlgFinished(int)));
    dialog->setModal(true);
    dialog->show();
    dialog->raise();
}

void PreferencesDialog::OnSdrProfileQualityReportDlgFinished(int result)
{
    if (result != 0) {
        trayMenu->ShowWarningNotification(Constants::QualityReportPresentFailureText.arg(result));
    }
    // The dialog is still in its own finished() signal: it goes once control is back in the event loop.
    if (qualityReportDialog != nullptr) {
        qualityReportDialog->deleteLater();
        qualityReportDialog = nullptr;
    }
}

void PreferencesDialog::OnFullScreenPreviewClicked()
{
    if (lidClosed) {
        LogText(WarnLevel, "The lid is closed. Preview cannot be shown on external panel.");
        trayMenu->ShowWarningNotification(Constants::LidMustBeOpenedText);
        return;
    }
    if (!displayHelper->IsInternalDisplayAvailable()) {
        trayMenu->ShowWarningNotification(Constants::PreviewRestrictedText);
        return;
    }
    if (stockPreviewPending) {
        previewDialog.SetPreviewPixmap(QPixmap::fromImage(ReadPicture(Constants::PreviewImageResource)));
        stockPreviewPending = false;
    }
    previewDialog.ShowOnInternalPanel(true);
    previewDialog.exec();
}

void PreferencesDialog::OnProfileComoboxItemSelected(int itemIndex)
{
    if (itemIndex == 0) {
        ui->SelectProfile_PreviewPage_ComboBox->setCurrentIndex(currentProfileIndex + 1);
        ui->SelectProfile_ProfileInfoPage_ComboBox->setCurrentIndex(currentProfileIndex + 1);
        return;
    }
    emit ProfileChangeTriggered(itemIndex - 1);
    HideWarningSigns();
}

void PreferencesDialog::OnAcknowledgementsLinkActivated()
{
    AcknowledgementsDialog dialog(&version, nullptr);
    dialog.exec();
}

void PreferencesDialog::OnStartupCheckBoxStateChanged(int state)
{
    emit RunOnStartupChanged(state == Qt::Checked ? 1 : 0);
}

void PreferencesDialog::OnPrivacyPolicyLinkClicked()
{
    OpenLink(KorvelPrivacyPolicy);
}

void PreferencesDialog::OnKorvelLinkClicked()
{
    OpenLink(KorvelHomePage);
}

void PreferencesDialog::OnHuebergLinkClicked()
{
    OpenLink(HuebergHomePage);
}

void PreferencesDialog::OnProfileAlignmentInDDSStateChanged(int state)
{
    const bool value = state != 0;
    LogPieces(InfoLevel, "Setting profiles alignment on DDS mode change to: ", value ? "true" : "false");
    configuration->SetAlignProfilesOnDDSModeChange(value);
    LogPieces(DebugLevel, "Profiles alignment on DDS mode change set to: ",
              configuration->AlignProfilesOnDDSModeChange() ? "true" : "false");
}
