#include "Gui/KorvelCalibrationApplication.h"

#include "Gui/MainWindow.h"

bool KorvelCalibrationApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        MainWindow::EndOnUnexpectedError();
    }
    return false;
}
