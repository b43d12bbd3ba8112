// On request, marks the moment a program's tray icon is first painted by a tray host: when
// $WINSIM_TRAY_PAINT_MARK names a file, the first paint of Qt's tray icon window appends one line
// "painted <CLOCK_MONOTONIC nanoseconds>" to it. The simulated user installs it in every GUI
// program; a program without the simulated user (a benchmark's peer) installs it itself.
#pragma once

namespace WinSim {

inline constexpr const char* TrayPaintMarkVariable = "WINSIM_TRAY_PAINT_MARK";

// Installs the filter on the application object when the variable is set; needs a QApplication.
void InstallTrayPaintMark();

}  // namespace WinSim
