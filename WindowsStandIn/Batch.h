// The stand-in's command interpreter for batch files. It follows cmd's rules for what the
// programs write into batch files:
// - one command line a line; "chcp N", "echo TEXT" and "rem" are built in;
// - %NAME% expands to the environment variable (any case), %errorLevel% to the current exit
//   code, an undefined name to nothing; "%%" gives "%"; expansion happens once per line, before
//   the line runs (so %errorLevel% is the value from before the line);
// - outside double quotes: "^" escapes the next character, "&", "&&" and "||" join commands,
//   ">", ">>", "<", "N>" and "N>&M" redirect;
// - a program gets its arguments split by Windows' rules (SplitCommandLine);
// - program paths: "\" is a separator and "C:" paths lie in the machine; a path to "X.exe" runs the
//   built "X" beside it; a "Tessaly.exe" that is not there runs the Tessaly of the program folder;
//   "SchTasks" runs the stand-in task tool (`RunTaskTool`) in the interpreter's own process, as
//   Windows' hidden console tool shows nothing either; the description's "programs"
//   ({"Tessaly.exe": "/path/of/a/program"}) puts a program of this system in place of a named one.
// Every program run goes into the journal ("run" or "run-elevated") with its command line.
#pragma once

#include <QString>
#include <QStringList>

#include <QByteArrayList>

#include <functional>

namespace WinSim {

// What one run of the interpreter works in: the environment and working directory of the programs
// it starts (and of its %NAME% and %cd%), whether it runs elevated, and its standard streams.
struct BatchSession {
    QByteArrayList environment;  // "NAME=value" entries
    QString directory;           // empty: this process's working directory
    bool elevated = false;
    int input = 0;
    int output = 1;
    int error = 2;
};

// This process's environment, directory and standard streams, elevated when the process is.
BatchSession CurrentBatchSession();

// Runs the batch file and returns the exit code of its last command.
int RunBatchFile(const QString& path);
int RunBatchFile(const QString& path, const BatchSession& session);

// Writes the text (UTF-8) whole to a stream descriptor, as far as it takes it.
void WriteToStream(int fd, const QString& text);

// Percent expansion of one batch line; `lookup` answers a variable name (any case) or a null string.
QString ExpandBatchLine(const QString& line, const std::function<QString(const QString&)>& lookup);

// The program a command's first word names, mapped as above, or an empty string when there is none;
// `leadingArguments` receives what the mapping puts before the command's own arguments.
QString ResolveProgram(const QString& name, QStringList& leadingArguments);

// Splits a command line's argument text into arguments as Windows programs do (backslashes before a
// double quote, quoted runs, "" inside quotes).
QStringList SplitCommandLine(const QString& text);

}  // namespace WinSim
