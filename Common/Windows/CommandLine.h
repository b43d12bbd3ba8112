// Runs one command line through a batch file, elevated or not, and reads back its exit code and
// output. Runs are serialised across the processes of one user (they share the scripts folder).
#pragma once

#include "Common/Exception/OsErrorException.h"

#include <QString>

#include <cstdint>

namespace Korvel::DisplayCalibration::Common::Windows {

KORVEL_DECLARE_OS_ERROR_EXCEPTION(CommandLineException);

class CommandLine {
public:
    // Returns the command's exit code as written back by the batch file (0), or 0xFFFFFFFF when
    // none could be read (the command failed). `output` receives what it printed, on one line.
    // Throws CommandLineException when the batch file cannot be written or started, or the user
    // refuses the elevation prompt. Blocks until the command has ended.
    static std::uint32_t Run(const QString& command, bool elevated, QString& output);

    // The path with native separators, enclosed in double quotes.
    static QString QuotePath(const QString& path);
    // One value of a command line in double quotes, which Windows' argument rules give back to the
    // program unchanged: backslashes before the closing quote are doubled. A value that cannot pass
    // unchanged is refused with OsErrorException: an empty one, one holding a double quote, CR, LF
    // or NUL, and one longer than a command line may be.
    static QString QuoteArgument(const QString& value);
    // The longest line cmd reads from a batch file.
    static constexpr qsizetype MaximumLineLength = 8191;

private:
    static void Cleanup();
    static void WriteScript(const QString& command);
    static void Execute(bool elevated);
    static QString ReadOutput();
    static std::uint32_t ReadExitCode();

    static QString scriptPath;
    static QString outputPath;
    static QString exitCodePath;
};

}  // namespace Korvel::DisplayCalibration::Common::Windows
