#include "Gui/CreateIconFromPattern.h"

#include "Common/Application/Constants.h"

void CreateIconFromPattern(QIcon& icon, const QString& pattern, const QList<int>& sizes, QIcon::Mode mode,
                           QIcon::State state)
{
    for (const int size : sizes) {
        const QString path =
            QString(pattern).replace(Korvel::DisplayCalibration::Common::DimensionPlaceholder, QString::number(size));
        icon.addFile(path, QSize(size, size), mode, state);
    }
}
