// Style-sheet rules shared by the program's windows.
#pragma once

#include <QString>

// A light vertical scroll bar of the given width with a dark handle and no arrow buttons.
QString VerticalScrollBarStyleSheet(int width);
