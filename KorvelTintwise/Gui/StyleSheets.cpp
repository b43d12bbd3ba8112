#include "Gui/StyleSheets.h"

QString VerticalScrollBarStyleSheet(int width)
{
    return QStringLiteral(
               "QScrollBar:vertical { border: 2px solid rgb(130, 133, 134); background: rgb(230, 233, 234); "
               "width: %1px; margin: 0px 0 0px 0; }"
               "QScrollBar::handle:vertical { background: rgb(37, 40, 42); min-height: 50px; }"
               "QScrollBar::add-line:vertical { height: 0px; subcontrol-position: bottom; subcontrol-origin: margin; }"
               "QScrollBar::sub-line:vertical { height: 0px; subcontrol-position: top; subcontrol-origin: margin; }"
               "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }")
        .arg(width);
}
