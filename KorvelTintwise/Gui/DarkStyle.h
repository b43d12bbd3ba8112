// The program's dark look: KorvelTintwiseStyle with the program's colours and pictures.
#pragma once

#include "Gui/KorvelTintwiseStyle.h"

class DarkStyle : public KorvelTintwiseStyle {
public:
    DarkStyle();
};
