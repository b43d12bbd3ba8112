// The tray program's entry: builds the running system in its fixed order, runs the event loop and
// tears everything down again.
#pragma once

#include <QString>

// The program's whole run; returns the process exit code (some paths end the process at once).
int RunKorvelTintwise(int argc, char* argv[]);

// The internal panel's identity: up to 30 tries one second apart. Throws DetailedException when
// none is found.
QString ObtainInternalPanelId();
