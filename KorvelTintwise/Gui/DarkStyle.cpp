#include "Gui/DarkStyle.h"

#include "Common/Application/Constants.h"

namespace Common = Korvel::DisplayCalibration::Common;

DarkStyle::DarkStyle()
    : KorvelTintwiseStyle(QColor(37, 40, 42), QColor(138, 142, 142), QColor(114, 116, 117), QColor(243, 243, 243),
                          QColor(130, 133, 134), QColor(30, 32, 34), QColor(45, 48, 50), QColor(55, 58, 60),
                          QColor(158, 162, 162), 2, 12, QStringLiteral(":/images/Dark/Widgets/%1"),
                          Common::RadioButtonCheckedIconPath, Common::RadioButtonUncheckedIconPath,
                          Common::CheckedIconPath, Common::ComboBoxDropdownArrowIconPath, Common::LogoIconPath)
{
}
