#include "Common/Application/TextHelpers.h"

#include "Common/Application/Constants.h"

namespace Korvel::DisplayCalibration::Common {

void TrimLeft(std::string& text)
{
    text.erase(0, text.find_first_not_of(TrimCharacters));
}

void TrimRight(std::string& text)
{
    const size_t last = text.find_last_not_of(TrimCharacters);
    text.erase(last == std::string::npos ? 0 : last + 1);
}

void Trim(std::string& text)
{
    TrimLeft(text);
    TrimRight(text);
}

}  // namespace Korvel::DisplayCalibration::Common
