#include "Gui/KorvelCalibrationApplication.h"

#include "Gui/MainWindow.h"

#include <exception>

bool KorvelCalibrationApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        MainWindow::ShowUnexpectedError(error, true);
        MainWindow::ExitEventLoop(0);
    } catch (...) {
        MainWindow::ShowErrorMessage(QObject::tr("Unexpected unknown error occurred."), true);
        MainWindow::ExitEventLoop(0);
    }
    return false;
}
