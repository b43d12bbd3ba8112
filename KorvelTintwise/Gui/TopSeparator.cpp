#include "Gui/TopSeparator.h"

TopSeparator::TopSeparator(QWidget* parent, Qt::WindowFlags flags) : QFrame(parent, flags) {}
