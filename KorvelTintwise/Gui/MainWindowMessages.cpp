// MainWindow: message boxes, the shared failure texts and the start-up notices.
#include "Gui/MainWindow.h"

#include "Common/Application/Constants.h"
#include "Gui/PreferencesDialog.h"
#include "Gui/TrayMenu.h"

#include <QColor>
#include <QCoreApplication>

using namespace Korvel::DisplayCalibration::Common::Logging;

namespace {

// The dark palette's background and highlighted text (DarkStyle).
const QColor BoxBackground(37, 40, 42);
const QColor BoxText(243, 243, 243);

struct ErrorTexts {
    QString support;
    // The support text without its shutdown sentence, for failures the program runs on after.
    QString contactSupport;
    QString calibrationState;
    QString enableCalibration;
    QString activeProfile;
    QString brightnessRead;
    QString brightnessSet;
    QString activation;
    QString userProfileList;
    QString continueWork;
    QString restoration;
    QString lid;
};

ErrorTexts& Texts()
{
    static ErrorTexts texts;
    return texts;
}

bool& ExitPending()
{
    static bool pending = false;
    return pending;
}

QString Rgb(const QColor& color)
{
    return QStringLiteral("rgb(%1, %2, %3)").arg(color.red()).arg(color.green()).arg(color.blue());
}

// The ERROR lines of the static boxes go to the controller's logger with the text as message.
void LogControllerError(const QString& text)
{
    Loggable("MainWindow").LogTextRef(ErrorLevel, text.toStdString());
}

}  // namespace

int MainWindow::ShowMessageBox(const QString& text, QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                               const QString& details)
{
    if (IsExitPending()) {
        return QMessageBox::NoButton;
    }
    const QString sheet =
        QStringLiteral("QMessageBox {background-color: %1; color: %2;}").arg(Rgb(BoxBackground), Rgb(BoxText)) +
        QStringLiteral("QScrollBar:vertical { border: 2px solid rgb(130, 133, 134); background: rgb(230, 233, 234); "
                       "width: 10px; margin: 0px 0 0px 0; }"
                       "QScrollBar::handle:vertical { background: rgb(37, 40, 42); min-height: 50px; }"
                       "QScrollBar::add-line:vertical { height: 0px; subcontrol-position: bottom; "
                       "subcontrol-origin: margin; }"
                       "QScrollBar::sub-line:vertical { height: 0px; subcontrol-position: top; "
                       "subcontrol-origin: margin; }"
                       "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }");
    QMessageBox box(icon, QCoreApplication::applicationName(), text, buttons, nullptr,
                    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.setStyleSheet(sheet);
    box.setTextFormat(Qt::RichText);
    if (!details.isEmpty()) {
        box.setDetailedText(details);
    }
    return box.exec();
}

void MainWindow::ShowErrorMessage(const QString& text, bool appendSupportText)
{
    QString message = text;
    if (appendSupportText) {
        message += QStringLiteral("<br><br>") + SupportText();
    }
    LogControllerError(message);
    ShowMessageBox(message, QMessageBox::Critical, QMessageBox::Ok, QString());
}

void MainWindow::ShowUnexpectedError(const std::exception& error, bool shutdown)
{
    const QString text = QObject::tr("Unexpected error occurred:<br>%1").arg(QString::fromUtf8(error.what()));
    if (shutdown) {
        ShowErrorMessage(text, true);
    } else {
        ShowErrorMessage(text + QStringLiteral("<br><br>") + Texts().contactSupport, false);
    }
}

void MainWindow::EndOnUnexpectedError()
{
    try {
        throw;
    } catch (const std::exception& error) {
        ShowUnexpectedError(error, true);
    } catch (...) {
        ShowErrorMessage(QObject::tr("Unexpected unknown error occurred."), true);
    }
    ExitEventLoop(0);
}

void MainWindow::ShowWarningMessage(const QString& text, const QString& details)
{
    LogControllerError(details.isEmpty() ? text : text + " [Details: " + details + "]");
    ShowMessageBox(text, QMessageBox::Information, QMessageBox::Ok, details);
}

void MainWindow::InitializeErrorMessages()
{
    ErrorTexts& texts = Texts();
    const QString application = QCoreApplication::applicationName();
    const QString link = Korvel::DisplayCalibration::Common::SupportPageLink();
    texts.support = QObject::tr("We are sorry for the inconvenience. Please contact support at %1.<br>%2 will shutdown.")
                        .arg(link, application);
    texts.contactSupport = QObject::tr("We are sorry for the inconvenience. Please contact support at %1.").arg(link);
    texts.calibrationState =
        QObject::tr("Failed to determine the status of Windows display calibration. Please restart the computer and "
                    "try it again. If problem remains, please contact support at %1.")
            .arg(link);
    texts.enableCalibration = QObject::tr("Failed to enable Windows display calibration.");
    texts.activeProfile = QObject::tr("Failed to determine the active profile. Please restart the computer and try it "
                                      "again. If problem remains, please contact support at %1.")
                              .arg(link);
    texts.brightnessRead = QObject::tr("Failed to determine the brightness level. Please restart the computer and try "
                                       "it again. If problem remains, please contact support at %1.")
                               .arg(link);
    texts.brightnessSet = QObject::tr("Failed to set the brightness level. Please restart the computer and try it "
                                      "again. If problem remains, please contact support at %1.")
                              .arg(link);
    texts.activation = QObject::tr("Failed to activate the profile. Please restart the computer and try it again. If "
                                   "problem remains, please contact support at %1.")
                           .arg(link);
    texts.userProfileList =
        QObject::tr("Failed to enable \"Use my settings for this device\" option. Please restart the computer and try "
                    "it again. If problem remains, please contact support at %1.")
            .arg(link);
    texts.continueWork =
        QObject::tr("%1 will continue to work with the existing ICC profiles customized for your display.")
            .arg(application);
    texts.restoration = QObject::tr("Failed to restore the ICC profiles customized for your display. Please restart the "
                                    "computer and try it again. If problem remains, please contact support at %1.")
                            .arg(link);
    texts.lid = QObject::tr("The lid must be opened to apply color profiles created for the panel, so please open the "
                            "lid to allow application to apply color profiles.");
}

const QString& MainWindow::SupportText()
{
    return Texts().support;
}

const QString& MainWindow::CalibrationStateText()
{
    return Texts().calibrationState;
}

const QString& MainWindow::EnableCalibrationText()
{
    return Texts().enableCalibration;
}

const QString& MainWindow::ActiveProfileText()
{
    return Texts().activeProfile;
}

const QString& MainWindow::BrightnessReadText()
{
    return Texts().brightnessRead;
}

const QString& MainWindow::BrightnessSetText()
{
    return Texts().brightnessSet;
}

const QString& MainWindow::ActivationText()
{
    return Texts().activation;
}

const QString& MainWindow::UserProfileListText()
{
    return Texts().userProfileList;
}

const QString& MainWindow::ContinueText()
{
    return Texts().continueWork;
}

const QString& MainWindow::RestorationText()
{
    return Texts().restoration;
}

const QString& MainWindow::LidText()
{
    return Texts().lid;
}

void MainWindow::ExitEventLoop(int code)
{
    ExitPending() = true;
    QCoreApplication::exit(code);
}

bool MainWindow::IsExitPending()
{
    return ExitPending();
}

void MainWindow::ShowAnotherInstanceNotification()
{
    LogText(TraceLevel, "Showing another instance startup notification message...");
    const QString application = QCoreApplication::applicationName();
    if (trayMenu == nullptr) {
        LogPieces(ErrorLevel, "MainWindow", "Invalid tray menu.");
        ShowErrorMessage(tr("Invalid tray menu.<br> %1 will shutdown.").arg(application), false);
        ExitEventLoop(1);
        return;
    }
    trayMenu->ShowInformationNotification(tr("%1 is already running. You can use system tray icon to switch between "
                                             "the ICC profiles or to open preferences window.")
                                              .arg(application));
    LogText(DebugLevel, "Another instance startup notification message shown.");
}

void MainWindow::ShowHdrModeNotice(bool hdr)
{
    if (hdr) {
        trayMenu->ShowHdrProfilesOnly();
        if (preferencesDialog != nullptr) {
            preferencesDialog->UpdateProfileInfo();
        }
        trayMenu->ShowInformationNotification(
            tr("Detected the HDR mode of operating system was enabled, the display device will switch to HDR color "
               "scheme. Please disable HDR mode if you want to resume SDR Korvel color calibration solution."));
    } else {
        trayMenu->ShowSdrProfilesOnly();
        if (preferencesDialog != nullptr) {
            preferencesDialog->UpdateProfileInfo();
        }
    }
    hdrMode = hdr;
    OnMarkProfileIfActive();
}

void MainWindow::LogIfLidClosed(const QString& operation)
{
    if (lidClosed) {
        LogPieces(WarnLevel, "Lid is closed. Omitting ", operation.toStdString());
    }
}
