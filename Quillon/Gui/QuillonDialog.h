#pragma once

#include "Quillon/ServiceDeclarations.h"

#include <QByteArray>
#include <QDialog>
#include <QMessageBox>
#include <QString>

#include <memory>

class ProfileManager;
class ProgressDialog;
class QTimer;

namespace Ui {
class QuillonDialog;
}

// Quillon's one window: the replacement panel's serial, "Submit" and "Cancel". A submitted serial
// has the profile manager download, check and install that panel's archive, then the uploader send
// it back under this computer's identity; a busy box and a guard timer run meanwhile and every
// outcome is one message box. The working folder is removed before, after each attempt and at the end.
class QuillonDialog : public QDialog {
    Q_OBJECT

public:
    QuillonDialog(std::shared_ptr<IConfiguration> configuration, const QString& internalPanelId,
                  std::shared_ptr<Korvel::DisplayCalibration::Common::HardwareInfo::IBiosTools> biosTools,
                  std::shared_ptr<Korvel::DisplayCalibration::Common::Network::IArchiveDownloader> archiveDownloader,
                  std::shared_ptr<Korvel::DisplayCalibration::Common::Network::IArchiveUploader> archiveUploader,
                  std::shared_ptr<Korvel::DisplayCalibration::Common::Profile::IProfileHelper> profileHelper,
                  std::shared_ptr<Korvel::DisplayCalibration::Common::HardwareInfo::IDisplayHelperFactory> displayHelperFactory,
                  std::shared_ptr<Korvel::DisplayCalibration::Common::Security::IDecrypter> decrypter,
                  std::shared_ptr<Korvel::DisplayCalibration::Common::Archive::IProfileArchiver> profileArchiver,
                  std::shared_ptr<IUserInputValidator> validator, const QString& title, QWidget* parent = nullptr);
    ~QuillonDialog() override;

private slots:
    void OnUpdateProfilesClicked();
    void OnCancelClicked();
    void OnProfilesInstalledSuccessfully();
    void OnProfilesInstallationFailed(QString reason);
    void OnArchiveUploadFailed(QString reason);
    void OnArchiveUploadFinished(QByteArray reply);
    void OnUpdateTakesTooLong();

protected:
    void changeEvent(QEvent* event) override;

private:
    void RemoveTemporaryFiles();
    void AdjustHeight();
    void UpdateGeometry();
    void ShowMessage(const QString& text, QMessageBox::Icon icon);
    void RetranslateTexts();
    // Hides the busy box and stops the guard timer.
    void EndWaiting();
    // The end of an attempt: the busy box and timer stop, the message shows, "Submit" is back and
    // the working folder goes.
    void EndAttempt(const QString& text, QMessageBox::Icon icon);

    std::unique_ptr<Ui::QuillonDialog> form;
    std::shared_ptr<IUserInputValidator> validator;
    std::shared_ptr<IConfiguration> configuration;
    std::shared_ptr<Korvel::DisplayCalibration::Common::Profile::IProfileHelper> profileHelper;
    std::shared_ptr<Korvel::DisplayCalibration::Common::HardwareInfo::IBiosTools> biosTools;
    std::shared_ptr<Korvel::DisplayCalibration::Common::Network::IArchiveDownloader> archiveDownloader;
    std::shared_ptr<Korvel::DisplayCalibration::Common::Network::IArchiveUploader> archiveUploader;
    std::shared_ptr<Korvel::DisplayCalibration::Common::HardwareInfo::IDisplayHelperFactory> displayHelperFactory;
    std::shared_ptr<Korvel::DisplayCalibration::Common::Archive::IProfileArchiver> profileArchiver;
    std::shared_ptr<Korvel::DisplayCalibration::Common::Security::IDecrypter> decrypter;
    QString title;
    std::shared_ptr<ProfileManager> profileManager;
    std::shared_ptr<ProgressDialog> progressDialog;
    std::shared_ptr<QTimer> timer;
};
