#include "Quillon/Gui/QuillonDialog.h"

#include "Common/Application/CheckedConnection.h"
#include "Common/Application/Constants.h"
#include "Common/Application/Paths.h"
#include "Common/Network/IArchiveUploader.h"
#include "Quillon/Constants.h"
#include "Quillon/Gui/CustomMessageBox.h"
#include "Quillon/Gui/ProgressDialog.h"
#include "Quillon/Gui/QuillonStyle.h"
#include "Quillon/IConfiguration.h"
#include "Quillon/ProfileManager.h"
#include "Quillon/UserInputValidator.h"
#include "WindowsStandIn/Time.h"
#include "ui_QuillonDialog.h"

#include <QDir>
#include <QEvent>
#include <QTimer>

namespace Common = Korvel::DisplayCalibration::Common;
using Common::Application::ConnectChecked;

namespace {

constexpr int ProgressBaseWidth = 450;
constexpr unsigned GuardMilliseconds = 130000;

// The run-time texts, translated by each dialog's constructor.
QString SubmitText;
QString CancelText;
QString LabelText;
QString ToolTipText;
QString PlaceholderText;
QString InvalidSerialText;
QString InstallationFailedText;
QString UploadFailedText;
QString SuccessText;
QString TakingTooLongText;

}  // namespace

QuillonDialog::QuillonDialog(std::shared_ptr<IConfiguration> configuration, const QString& internalPanelId,
                             std::shared_ptr<Common::HardwareInfo::IBiosTools> biosTools,
                             std::shared_ptr<Common::Network::IArchiveDownloader> archiveDownloader,
                             std::shared_ptr<Common::Network::IArchiveUploader> archiveUploader,
                             std::shared_ptr<Common::Profile::IProfileHelper> profileHelper,
                             std::shared_ptr<Common::HardwareInfo::IDisplayHelperFactory> displayHelperFactory,
                             std::shared_ptr<Common::Security::IDecrypter> decrypter,
                             std::shared_ptr<Common::Archive::IProfileArchiver> profileArchiver,
                             std::shared_ptr<IUserInputValidator> validator, const QString& title, QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::QuillonDialog>()), validator(std::move(validator)),
      configuration(std::move(configuration)), profileHelper(std::move(profileHelper)), biosTools(std::move(biosTools)),
      archiveDownloader(std::move(archiveDownloader)), archiveUploader(std::move(archiveUploader)),
      displayHelperFactory(std::move(displayHelperFactory)), profileArchiver(std::move(profileArchiver)),
      decrypter(std::move(decrypter)), title(title)
{
    profileManager = std::make_shared<ProfileManager>(this->configuration, internalPanelId, this->biosTools,
                                                      this->archiveDownloader, this->profileHelper,
                                                      this->displayHelperFactory, this->decrypter,
                                                      this->profileArchiver, title);
    setWindowTitle(title);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    RemoveTemporaryFiles();
    form->setupUi(this);
    RetranslateTexts();

    AdjustHeight();
    form->lineEditPanelID->setFocus(Qt::OtherFocusReason);
    form->lineEditPanelID->setMaxLength(this->validator->GetRequiredLength());
    form->lineEditPanelID->setToolTip(ToolTipText);
    form->lineEditPanelID->setPlaceholderText(PlaceholderText);
    form->lineEditPanelID->setText(QString());
    form->lineEditPanelID->setContextMenuPolicy(Qt::NoContextMenu);
    form->labelPanelID->setText(LabelText);
    form->pushButtonUpdateProfiles->setText(SubmitText);
    form->pushButtonCancel->setText(CancelText);
    form->pushButtonUpdateProfiles->setDefault(true);

    ConnectChecked(form->pushButtonUpdateProfiles, SIGNAL(clicked()), this, SLOT(OnUpdateProfilesClicked()));
    ConnectChecked(form->pushButtonCancel, SIGNAL(clicked()), this, SLOT(OnCancelClicked()));
    ConnectChecked(profileManager.get(), SIGNAL(ProfilesInstalledSuccessfully()), this,
                   SLOT(OnProfilesInstalledSuccessfully()));
    ConnectChecked(profileManager.get(), SIGNAL(ProfilesInstallationFailed(QString)), this,
                   SLOT(OnProfilesInstallationFailed(QString)));
    ConnectChecked(this->archiveUploader.get(), SIGNAL(ArchiveUploadFinished(QByteArray)), this,
                   SLOT(OnArchiveUploadFinished(QByteArray)));
    ConnectChecked(this->archiveUploader.get(), SIGNAL(ArchiveUploadFailed(QString)), this,
                   SLOT(OnArchiveUploadFailed(QString)));
    UpdateGeometry();
}

QuillonDialog::~QuillonDialog()
{
    RemoveTemporaryFiles();
}

void QuillonDialog::RetranslateTexts()
{
    SubmitText = QObject::tr("Submit");
    CancelText = QObject::tr("Cancel");
    LabelText = QObject::tr("Enter Panel SN: ");
    ToolTipText = QObject::tr("Enter 23-characters long serial number of the panel, e.g. 8S1234567890AAAABBBB123");
    PlaceholderText = QObject::tr("");
    InvalidSerialText = QObject::tr("Entered Panel SN is NOT valid!<br>Entered value should be 23 characters long and "
                                    "it should start with \u201c8S\u201d.<br>For example: \n8S0123456789AAAABBBB123.<br>"
                                    "Please, try again.");
    InstallationFailedText = QObject::tr("Profile installation failed!<br>Reason: %1");
    UploadFailedText = QObject::tr("Archive upload failed!<br>Reason: %1.");
    SuccessText = QObject::tr("Profile archive updated successfully!");
    TakingTooLongText = QObject::tr("Update of profiles is taking longer than expected. Please, close the application "
                                    "and try again later.");
}

void QuillonDialog::AdjustHeight()
{
    if (form->lineEditPanelID == nullptr) {
        return;
    }
    const int height = int(45 * GetVerticalScaleFactor(this));
    form->lineEditPanelID->setMinimumHeight(height);
    form->lineEditPanelID->resize(form->lineEditPanelID->width(), height);
}

void QuillonDialog::UpdateGeometry()
{
    const int height = int(700 * GetVerticalScaleFactor(this));
    const int width = int(1050 * GetHorizontalScaleFactor(this));
    QRect area = geometry();
    area.setHeight(height);
    area.setWidth(width);
    setGeometry(area);
    setMinimumHeight(height);
    setMinimumWidth(width);
}

void QuillonDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        AdjustHeight();
        UpdateGeometry();
    }
    QWidget::changeEvent(event);
}

void QuillonDialog::OnUpdateProfilesClicked()
{
    QString serial = form->lineEditPanelID->text();
    int position = 0;
    if (validator->validate(serial, position) != QValidator::Acceptable) {
        ShowMessage(InvalidSerialText, QMessageBox::Critical);
        return;
    }
    progressDialog = std::make_shared<ProgressDialog>(title, ProgressBaseWidth, this);
    setCursor(Qt::BusyCursor);
    timer = std::make_shared<QTimer>(this);
    ConnectChecked(timer.get(), SIGNAL(timeout()), this, SLOT(OnUpdateTakesTooLong()));
    timer->setSingleShot(true);
    timer->start(int(WinSim::ScaledWait(GuardMilliseconds)));
    // Disabled before the download starts: its outcome enables it again, however soon it comes.
    form->pushButtonUpdateProfiles->setEnabled(false);
    profileManager->SetDownloadUrl(profileManager->BuildDownloadUrl(form->lineEditPanelID->text().toUpper()));
    profileManager->StartDownload();
}

void QuillonDialog::OnCancelClicked()
{
    close();
}

void QuillonDialog::OnProfilesInstalledSuccessfully()
{
    archiveUploader->UploadArchive(UploadUrl(), profileManager->GetArchivePath());
}

void QuillonDialog::OnArchiveUploadFinished(QByteArray)
{
    EndAttempt(SuccessText, QMessageBox::Information);
}

void QuillonDialog::OnArchiveUploadFailed(QString reason)
{
    if (reason.isEmpty()) {
        reason = QStringLiteral("Unknown server error.");
    }
    EndAttempt(UploadFailedText.arg(reason), QMessageBox::Critical);
}

void QuillonDialog::OnProfilesInstallationFailed(QString reason)
{
    EndAttempt(InstallationFailedText.arg(reason), QMessageBox::Critical);
}

void QuillonDialog::OnUpdateTakesTooLong()
{
    EndWaiting();
    ShowMessage(TakingTooLongText, QMessageBox::Critical);
}

void QuillonDialog::EndWaiting()
{
    if (progressDialog) {
        progressDialog->reset();
    }
    if (timer) {
        timer->stop();
    }
}

void QuillonDialog::EndAttempt(const QString& text, QMessageBox::Icon icon)
{
    EndWaiting();
    ShowMessage(text, icon);
    form->pushButtonUpdateProfiles->setEnabled(true);
    RemoveTemporaryFiles();
}

void QuillonDialog::ShowMessage(const QString& text, QMessageBox::Icon icon)
{
    setCursor(Qt::ArrowCursor);
    CustomMessageBox box(icon, title, text, nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.exec();
}

void QuillonDialog::RemoveTemporaryFiles()
{
    Common::RemoveFolder(QDir(Common::ApplicationDataDirectory()).filePath(WorkingFolderName));
}
