// A simulated machine for the fuzz targets that read the computer's identity, made once per process.
#pragma once

#include "Common/Application/ServiceDeclarations.h"

#include <QString>

namespace Fuzz {

// The BIOS tools of a default machine in the scratch folder (answers read once) and the display
// helper of its internal panel.
Korvel::DisplayCalibration::Common::HardwareInfo::IBiosTools& MachineBiosTools();
Korvel::DisplayCalibration::Common::HardwareInfo::IDisplayHelper& MachineDisplayHelper();

// The current folder while it lives (libFuzzer reads its corpus by relative paths).
class CurrentDirectory {
public:
    explicit CurrentDirectory(const QString& directory);
    ~CurrentDirectory();
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    QString previous;
};

// The folder of the running program, which holds the shipped "metaconfig.xml" and "config/".
QString ProgramDirectory();

// The configuration the shipped files give on that machine.
Korvel::DisplayCalibration::Common::Settings::ILogConfiguration& ShippedConfiguration();

}  // namespace Fuzz
