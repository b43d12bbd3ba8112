// Tessaly's command line. The input's parts between zero bytes are, first, the arguments as Tessaly
// parses them; then the values of a command built for it (paths, names, a prepared-from file name),
// which must arrive in its options exactly as given after the batch file's percent expansion and
// Windows' argument splitting.
#include "Common/Exception/OsErrorException.h"
#include "Common/Profile/TessalyCommand.h"
#include "Tessaly/Options.h"
#include "WindowsStandIn/Batch.h"
#include "fuzz/FuzzSupport.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdlib>

namespace {

using Korvel::DisplayCalibration::Common::Profile::PreparedFromValue;
using Korvel::DisplayCalibration::Common::Profile::TessalyCommand;

void CheckRoundTrip(const QStringList& values)
{
    // A digest as the caller read it; the name is what the input holds.
    const QByteArray digest(32, '\x5a');
    QString text;
    try {
        text = TessalyCommand(QStringLiteral("\"C:\\Program Files\\Korvel\\Tessaly.exe\""))
                   .InstallProfiles(values)
                   .ReplaceProfiles(values)
                   .PreparedFromDigests({{values.front(), digest}})
                   .UninstallProfile(values.front())
                   .AddRegistryValue(values.back(), values.front())
                   .Text();
    } catch (const Korvel::DisplayCalibration::Common::Exception::OsErrorException&) {
        return;  // refused before anything runs
    }
    // The command runner writes each "%" as "%%"; cmd expands the line once.
    const QString line = QString(text).replace(QLatin1Char('%'), QLatin1String("%%"));
    const QStringList arguments =
        WinSim::SplitCommandLine(WinSim::ExpandBatchLine(line, [](const QString&) { return QString(); }));
    QString error;
    const auto options = Tessaly::ParseCommandLine(arguments, error);
    if (!options || options->installProfiles != values || options->replaceProfiles != values ||
        options->preparedFrom != QStringList{PreparedFromValue(values.front(), digest)} ||
        options->uninstallProfiles != QStringList{values.front()} ||
        options->addRegistryKeys != QStringList{values.back()} ||
        options->registryValues != QStringList{values.front()}) {
        std::abort();  // a value did not arrive as it was given
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QStringList arguments{QStringLiteral("Tessaly")};
    for (const std::string_view part : Fuzz::SplitAtZeros(data, size)) {
        arguments << QString::fromUtf8(part.data(), qsizetype(part.size()));
    }
    QString error;
    Tessaly::ParseCommandLine(arguments, error);
    CheckRoundTrip(arguments.mid(1));
    return 0;
}
