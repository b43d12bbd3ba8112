#include "Common/Application/MultipleInstancesGuard.h"
#include "Common/Application/Translations.h"
#include "Common/Archive/ProfileArchiver.h"
#include "Common/Exception/DetailedException.h"
#include "Common/HardwareInfo/BiosTools.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/Network/ArchiveUploader.h"
#include "Common/Network/TwoPhaseArchiveDownloaderFactory.h"
#include "Common/Profile/ProfileHelper.h"
#include "Common/Security/DecrypterFactory.h"
#include "Quillon/Configuration.h"
#include "Quillon/Constants.h"
#include "Quillon/Gui/CustomMessageBox.h"
#include "Quillon/Gui/QuillonDialog.h"
#include "Quillon/Gui/QuillonStyle.h"
#include "Quillon/ProfileManager.h"
#include "Quillon/Startup.h"
#include "Quillon/UserInputValidator.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <cstdlib>
#include <exception>
#include <memory>

namespace Common = Korvel::DisplayCalibration::Common;

namespace {

// Refusals end with 0, as closing the dialog does.
constexpr int Refused = 0;
constexpr int Failed = 1;

int Run()
{
    QString panelId;
    ReadInternalPanelId(panelId);

    const std::shared_ptr<Common::HardwareInfo::IBiosTools> biosTools(Common::HardwareInfo::BiosToolsFactory().Create());
    const auto displayHelperFactory = std::make_shared<Common::HardwareInfo::DisplayHelperFactory>();
    const std::shared_ptr<Common::Profile::IProfileHelper> profileHelper(Common::Profile::ProfileHelperFactory().Create());
    ProfileManager::PutBackDefaultsOfKilledUpdate(*profileHelper);
    const std::shared_ptr<Common::Network::IArchiveDownloader> archiveDownloader =
        Common::Network::TwoPhaseArchiveDownloaderFactory().Create();
    const std::shared_ptr<Common::Archive::IProfileArchiver> profileArchiver(
        Common::Archive::ProfileArchiverFactory().Create());
    QFile publicKey(QStringLiteral(":/digitalsignature/public_key"));
    publicKey.open(QIODevice::ReadOnly);
    const std::shared_ptr<Common::Security::IDecrypter> decrypter =
        Common::Security::DecrypterFactory().CreateDecrypter(publicKey.readAll(), false);
    const std::shared_ptr<Common::Network::IArchiveUploader> archiveUploader(
        Common::Network::ArchiveUploaderFactory().Create());
    const std::shared_ptr<IUserInputValidator> validator = UserInputValidatorFactory().Create();
    std::shared_ptr<Common::HardwareInfo::IDisplayHelper> displayHelper(displayHelperFactory->Create(panelId));
    const auto configuration = std::make_shared<Configuration>(displayHelper);

    if (displayHelper->IsHdrActive()) {
        CustomMessageBox box(QMessageBox::Critical, WindowTitle,
                             QObject::tr("HDR mode is turned on. Please turn off HDR mode and restart application."),
                             nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
        box.exec();
        return Refused;
    }
    if (displayHelper->IsDuplicateTopology() || !displayHelper->IsInternalDisplayInTopology()) {
        ShowCriticalMessage(QObject::tr("Display is not in \"PC screen only\" mode. Please switch display to \"PC "
                                        "screeen only\" and restart application!"),
                            QMessageBox::Critical);
        return Refused;
    }
    displayHelper.reset();

    QuillonDialog dialog(configuration, panelId, biosTools, archiveDownloader, archiveUploader, profileHelper,
                         displayHelperFactory, decrypter, profileArchiver, validator, WindowTitle);
    return dialog.exec();
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(ApplicationName);
    QApplication::setStyle(new DarkStyle());
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    Common::Application::InstallTranslatorsFromDirectory(QCoreApplication::applicationDirPath() + "/translations");
    Common::Application::InstallTranslatorsFromDirectory(QCoreApplication::applicationDirPath() +
                                                         "/translations/Quillon");

    Common::Application::MultipleInstancesGuard guard(InstanceGuardKey);
    if (guard.IsAnotherInstanceRunning() == 1) {
        std::exit(0);
    }

    int result = Failed;
    try {
        result = Run();
    } catch (const DetailedException& error) {
        // No internal panel: a refusal like the others.
        ShowCriticalMessage(error.Message() + "\n\n" + error.Details(), QMessageBox::Critical);
        result = Refused;
    } catch (const std::exception& error) {
        ShowCriticalMessage(QString::fromUtf8(error.what()), QMessageBox::Critical);
        result = Failed;
    }
    // Network managers released with deleteLater go while the application still exists.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return result;
}
