// Tessaly's command-line grammar: long options, each taking a value and given any number of times.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace Tessaly {

// What a command line asks for. Each list holds an option's values in the order given; an
// option that was not given has an empty list.
struct Options {
    std::optional<QString> colorCalibration;  // the last value given
    QStringList installProfiles;
    QStringList installHdr10Profiles;
    QStringList replaceProfiles;
    // "NAME=SHA256HEX" per installed file the installation was prepared from, checked by the
    // options that install.
    QStringList preparedFrom;
    QStringList uninstallProfiles;
    std::optional<QString> registryPath;  // the last value given
    QStringList addRegistryKeys;
    QStringList updateRegistryKeys;
    QStringList removeRegistryKeys;
    QStringList registryValues;
};

// Parses `arguments` (the program name first, as QCoreApplication::arguments() gives them).
// An unknown option or a missing value gives nullopt with the parser's message in `error`.
// Needs no application object and touches nothing outside.
std::optional<Options> ParseCommandLine(const QStringList& arguments, QString& error);

// The parser's help text, printed when there is nothing to do.
QString HelpText();

}  // namespace Tessaly
