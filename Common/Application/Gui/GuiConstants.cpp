// The constants that need Qt Gui, apart so that programs without a GUI do not load it.
#include "Common/Application/Constants.h"

#include <QPageSize>
#include <QSizeF>

namespace Korvel::DisplayCalibration::Common {

const double A4WidthToHeight =
    QPageSize::definitionSize(QPageSize::A4).width() / QPageSize::definitionSize(QPageSize::A4).height();

}  // namespace Korvel::DisplayCalibration::Common
