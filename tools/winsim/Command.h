// winsim subcommands. Each area of the stand-in adds its own in a file of its own:
//
//     static const bool registered = Winsim::RegisterCommand(
//         "colour", "colour", "prints the colour-system state as JSON", [](QStringList args) { ...; return 0; });
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace Winsim {

// Thrown by a handler for wrong arguments: winsim prints it with the usage and exits with 2.
struct UsageError {
    QString message;
};

// A handler gets the arguments after the command's name and returns the exit code.
using Handler = std::function<int(QStringList arguments)>;
bool RegisterCommand(const QString& name, const QString& synopsis, const QString& description, Handler handler);

// Makes this process's environment that of a program of the machine (its machine, its user, elevated
// or not), for the programs it starts.
void EnterMachineEnvironment(bool elevated);

void Print(const QString& text);      // one line on standard output
int Fail(const QString& message);     // "winsim: <message>" on standard error; returns 1
void Expect(const QStringList& arguments, qsizetype count);  // UsageError unless exactly `count`

}  // namespace Winsim
