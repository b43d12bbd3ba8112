#include "Quillon/Startup.h"

#include "Common/Exception/DetailedException.h"
#include "Common/HardwareInfo/HardwareInfoExceptions.h"
#include "Common/HardwareInfo/InternalPanelObtainer.h"
#include "Quillon/Constants.h"
#include "Quillon/Gui/CustomMessageBox.h"

#include <QObject>

namespace HardwareInfo = Korvel::DisplayCalibration::Common::HardwareInfo;

void ReadInternalPanelId(QString& identity)
{
    try {
        HardwareInfo::InternalPanelObtainer obtainer;
        identity = obtainer.GetInternalPanelId();
    } catch (const HardwareInfo::InternalPanelObtainerException& error) {
        throw HardwareInfo::DisplayHelperException(error.what());
    }
    if (identity.isEmpty()) {
        throw DetailedException(
            QObject::tr("Korvel Tintwise is currently disabled because internal display is not available."),
            QObject::tr("In case the lid is closed and/or unsupported Project mode is set (Duplicate or Second screen "
                        "only), please open the lid and/or switch to allowed Project mode (PC screen only or "
                        "Extended), and then restart the application.") +
                "\n" +
                QObject::tr("The application does not apply color profiles to panels, which color profiles are not "
                            "created for."));
    }
}

int ShowCriticalMessage(const QString& text, QMessageBox::Icon icon)
{
    CustomMessageBox box(icon, WindowTitle, text, nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    return box.exec();
}
