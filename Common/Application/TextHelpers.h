#pragma once

#include <string>

namespace Korvel::DisplayCalibration::Common {

// Strip, in place, the characters space, line feed, carriage return, tab, form feed and vertical tab.
void TrimLeft(std::string& text);
void TrimRight(std::string& text);
void Trim(std::string& text);

}  // namespace Korvel::DisplayCalibration::Common
