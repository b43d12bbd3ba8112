// The preferences window: profile preview and information, settings and about pages.
#pragma once

#include "Common/Logging/Loggable.h"
#include "Gui/PreviewDialog.h"

#include <QDialog>
#include <QPointF>
#include <QVector>
#include <QVersionNumber>

#include <memory>

class ColorGamutScene;
class ProfileData;
class ProfileInfoDataDicom;
class ProfileInfoDataStandard;
class QComboBox;
class TrayMenu;
class Ui_PreferencesDialog;

namespace Korvel::DisplayCalibration::Common::HardwareInfo {
class IDisplayHelper;
}
namespace Korvel::DisplayCalibration::Common::Settings {
class IConfiguration;
class IStartupHelper;
}  // namespace Korvel::DisplayCalibration::Common::Settings

class PreferencesDialog : public QDialog, public Korvel::DisplayCalibration::Common::Logging::Loggable {
    Q_OBJECT

public:
    using ProfileList = QVector<std::shared_ptr<ProfileData>>;
    using IDisplayHelper = Korvel::DisplayCalibration::Common::HardwareInfo::IDisplayHelper;
    using IConfiguration = Korvel::DisplayCalibration::Common::Settings::IConfiguration;
    using IStartupHelper = Korvel::DisplayCalibration::Common::Settings::IStartupHelper;

    // The collaborators and the profile list belong to the caller and outlive the window.
    PreferencesDialog(TrayMenu* trayMenu, QVersionNumber version, IStartupHelper* startupHelper,
                      IDisplayHelper* displayHelper, IConfiguration* configuration, const ProfileList* profiles,
                      bool lidClosed, QWidget* parent = nullptr);
    ~PreferencesDialog() override;

    void FillProfileComboBoxes();
    QString GetCurrentProfileName() const;
    // The Preview combo box's item index of the display name `name`; -1 when empty or absent.
    int FindProfileIndex(const QString& name);
    // Shows profile `index` of the list; an index outside the list shows no profile.
    void SelectProfile(int index);
    void SetCurrentProfileIndex();
    void UpdateProfileInfo();
    void HideDdsAlignmentOptions();
    // Creates (2) or deletes (any other state) the logon task; a failure flips the check box back.
    void ApplyRunOnStartup(int state);

signals:
    void ProfileChangeTriggered(int profileIndex);
    void RunOnStartupChanged(int shouldRunOnStartup);
    void RestoreProfilesTriggered();
    void CheckForUpdateTriggered();
    void drawColorGamut(QPointF point1, QPointF point2, QPointF point3, QPointF point4);
    void clearColorGamut();

public slots:
    void OnLidStateChanged(bool closed);
    void OnBrightnessMismatchFound();
    void HideWarningSigns();
    void OnPreviewButtonClicked();
    void OnProfileInfoButtonClicked();
    void OnSettingsButtonClicked();
    void OnAboutButtonClicked();
    void OnQualityReportButtonClicked();
    void OnFullScreenPreviewClicked();
    void OnProfileComoboxItemSelected(int itemIndex);
    void OnAcknowledgementsLinkActivated();
    void OnStartupCheckBoxStateChanged(int state);
    void OnPrivacyPolicyLinkClicked();
    void OnKorvelLinkClicked();
    void OnHuebergLinkClicked();
    void OnProfileAlignmentInDDSStateChanged(int state);
    void OnSdrProfileQualityReportDlgFinished(int result);

private:
    void Initialize();
    void SetUpGamutView();
    void ConnectSignals();
    void MarkItemForDynamicRange(QComboBox* comboBox, const QString& name, int itemIndex, bool hdrOn);
    // The profile at the current index, or null when the index is outside the list.
    std::shared_ptr<ProfileData> CurrentProfile() const;
    void FillStandardForm(const ProfileData& profile);

    TrayMenu* trayMenu;
    PreviewDialog previewDialog;
    // The full-screen preview still waits for the stock photograph (no profile shown yet).
    bool stockPreviewPending = false;
    int currentProfileIndex = -1;
    IStartupHelper* startupHelper;
    IDisplayHelper* displayHelper;
    IConfiguration* configuration;
    const ProfileList* profiles;
    ColorGamutScene* gamutScene = nullptr;
    Ui_PreferencesDialog* ui = nullptr;
    std::shared_ptr<ProfileInfoDataDicom> dicomForm;
    std::shared_ptr<ProfileInfoDataStandard> standardForm;
    QVersionNumber version;
    bool lidClosed;
    // Open while the quality report is shown.
    QDialog* qualityReportDialog = nullptr;
    QWidget* shownProfileDataWidget = nullptr;
};
