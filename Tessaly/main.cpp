// Tessaly: carries out, with administrator rights, the colour-management and registry work that
// its command line names, prints what happened and ends with an exit code.
#include "Tessaly/Commands.h"
#include "Tessaly/Options.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QString error;
    const std::optional<Tessaly::Options> options = Tessaly::ParseCommandLine(QCoreApplication::arguments(), error);
    if (!options) {
        // As QCommandLineParser::process reports it.
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(QCoreApplication::applicationName()), qUtf8Printable(error));
        return 1;
    }
    return Tessaly::Execute(*options);
}
