// What Qt's QSysInfo answers on Windows, from the machine's registry ("CurrentVersion" key):
// builds from 22000 on are Windows 11.
#pragma once

#include "WindowsStandIn/Machine.h"

#include <QString>

namespace WinSim {

QString ProductVersion();      // "10" or "11"
QString PrettyProductName();   // "Windows 11 Version 24H2"

}  // namespace WinSim
