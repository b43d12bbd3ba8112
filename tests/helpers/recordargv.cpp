// recordargv [ARGS...]: journals its arguments as a JSON array ("argv [...]") and exits with 0.
// A test puts it in place of a program (the description's "programs") to see the argv it gets.
#include "WindowsStandIn/Machine.h"

#include <QJsonArray>
#include <QJsonDocument>

int main(int argc, char* argv[])
{
    QJsonArray arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.append(QString::fromUtf8(argv[i]));
    }
    WinSim::Journal(QStringLiteral("argv"), QString::fromUtf8(QJsonDocument(arguments).toJson(QJsonDocument::Compact)));
    return 0;
}
