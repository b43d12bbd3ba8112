// winsim: the tool for a simulated machine.
#include "tools/winsim/Command.h"

#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Shell.h"

#include <QFile>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace Winsim {
namespace {

struct Command {
    QString synopsis;
    QString description;
    Handler handler;
};

std::map<QString, Command>& Commands()
{
    static std::map<QString, Command> commands;
    return commands;
}

QString Usage()
{
    QString text = QStringLiteral("usage: winsim [--machine DIR] COMMAND [ARGS...]\n"
                                  "Without --machine, $WINSIM_MACHINE or the default machine is used.\n\n");
    for (const auto& [name, command] : Commands()) {
        text += "  " + command.synopsis + "\n      " + command.description + "\n";
    }
    return text;
}

// VALUE as JSON (number, true, false, null, "text", object, array); anything else is a text.
QJsonValue ParseValue(const QString& text)
{
    const QJsonDocument document = QJsonDocument::fromJson(("[" + text + "]").toUtf8());
    if (document.isArray() && document.array().size() == 1) {
        return document.array().first();
    }
    return text;
}

int Create(QStringList args)
{
    QString preset = QStringLiteral("default");
    if (args.size() == 3 && args[1] == "--preset") {
        preset = args[2];
    } else {
        Expect(args, 1);
    }
    WinSim::CreateMachine(args[0], preset);
    Print("created machine " + args[0] + " from preset " + preset);
    return 0;
}

int Show(QStringList args)
{
    Expect(args, 0);
    std::fputs(QJsonDocument(WinSim::LoadDescription()).toJson(QJsonDocument::Indented).constData(), stdout);
    return 0;
}

int Set(QStringList args)
{
    Expect(args, 2);
    WinSim::SetDescriptionValue(args[0], ParseValue(args[1]));
    return 0;
}

int Journal(QStringList args)
{
    Expect(args, 0);
    for (const QString& line : WinSim::ReadJournal()) {
        Print(line);
    }
    return 0;
}

int Run(QStringList args)
{
    bool elevated = false;
    while (!args.isEmpty() && args.first() != "--") {
        const QString option = args.takeFirst();
        if (option != "--elevated") {
            throw UsageError{"unknown run option " + option};
        }
        elevated = true;
    }
    if (args.size() < 2) {
        throw UsageError{QStringLiteral("run needs -- PROGRAM")};
    }
    args.removeFirst();
    EnterMachineEnvironment(elevated);
    WinSim::Journal(elevated ? QStringLiteral("run-elevated") : QStringLiteral("run"), args.join(' '));

    std::vector<QByteArray> storage;
    for (const QString& arg : args) {
        storage.push_back(arg.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& arg : storage) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    std::fflush(stdout);
    ::execvp(argv[0], argv.data());
    std::fprintf(stderr, "winsim: cannot run %s: %s\n", argv[0], std::strerror(errno));
    return 127;
}

const bool registered =
    RegisterCommand(QStringLiteral("create"), QStringLiteral("create DIR [--preset NAME]"),
                    QStringLiteral("creates a machine in DIR (absent or empty) from a preset"), Create) &&
    RegisterCommand(QStringLiteral("show"), QStringLiteral("show"),
                    QStringLiteral("prints the machine's description as JSON"), Show) &&
    RegisterCommand(QStringLiteral("set"), QStringLiteral("set KEY VALUE"),
                    QStringLiteral("changes one field of the description (dotted KEY; VALUE as JSON or text)"), Set) &&
    RegisterCommand(QStringLiteral("journal"), QStringLiteral("journal"),
                    QStringLiteral("prints the journal, one event a line"), Journal) &&
    RegisterCommand(QStringLiteral("run"), QStringLiteral("run [--elevated] -- PROGRAM [ARGS...]"),
                    QStringLiteral("runs PROGRAM as a process of the machine and exits with its exit code"), Run);

// The commands that need Qt Network register themselves when their module loads.
void LoadNetworkCommands()
{
    static bool loaded = false;
    if (loaded) {
        return;
    }
    loaded = true;
    const QByteArray module = QFile::encodeName(WinSim::ProgramDirectory() + "/winsim-network.so");
    if (::dlopen(module.constData(), RTLD_NOW | RTLD_GLOBAL) == nullptr) {
        std::fprintf(stderr, "winsim: %s\n", ::dlerror());
    }
}

int Main(QStringList args)
{
    if (args.size() >= 2 && args.first() == "--machine") {
        args.removeFirst();
        qputenv(WinSim::MachineVariable, args.takeFirst().toUtf8());
    }
    if (args.isEmpty()) {
        throw UsageError{QStringLiteral("no command")};
    }
    const QString name = args.takeFirst();
    if (name == "help" || name == "--help") {
        LoadNetworkCommands();
        std::fputs(Usage().toUtf8().constData(), stdout);
        return 0;
    }
    if (Commands().find(name) == Commands().end()) {
        LoadNetworkCommands();
    }
    const auto command = Commands().find(name);
    if (command == Commands().end()) {
        throw UsageError{"unknown command " + name};
    }
    return command->second.handler(args);
}

}  // namespace

bool RegisterCommand(const QString& name, const QString& synopsis, const QString& description, Handler handler)
{
    Commands()[name] = Command{synopsis, description, std::move(handler)};
    return true;
}

void EnterMachineEnvironment(bool elevated)
{
    const QString machine = WinSim::MachineDirectory();
    const QString user = WinSim::DescriptionValue(QStringLiteral("user.name"), machine).toString();
    qputenv(WinSim::MachineVariable, machine.toUtf8());
    if (elevated) {
        qputenv(WinSim::ElevationVariable, "1");
    } else {
        qunsetenv(WinSim::ElevationVariable);
    }
    if (!user.isEmpty()) {
        qputenv("USER", user.toUtf8());
        qputenv("USERNAME", user.toUtf8());
    }
}

void Print(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

int Fail(const QString& message)
{
    std::fprintf(stderr, "winsim: %s\n", message.toUtf8().constData());
    return 1;
}

void Expect(const QStringList& arguments, qsizetype count)
{
    if (arguments.size() != count) {
        throw UsageError{QStringLiteral("wrong number of arguments")};
    }
}

}  // namespace Winsim

int main(int argc, char* argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args << QString::fromLocal8Bit(argv[i]);
    }
    try {
        return Winsim::Main(args);
    } catch (const Winsim::UsageError& error) {
        Winsim::LoadNetworkCommands();
        std::fprintf(stderr, "winsim: %s\n%s", error.message.toUtf8().constData(), Winsim::Usage().toUtf8().constData());
        return 2;
    } catch (const std::exception& error) {
        return Winsim::Fail(QString::fromUtf8(error.what()));
    }
}
