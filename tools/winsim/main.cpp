// winsim: the tool for a simulated machine.
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Registry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

namespace Registry = WinSim::Registry;

const char* Usage =
    "usage: winsim create DIR [--preset NAME]\n"
    "       winsim [--machine DIR] show\n"
    "       winsim [--machine DIR] set KEY VALUE\n"
    "       winsim [--machine DIR] reg get KEYPATH VALUENAME\n"
    "       winsim [--machine DIR] reg set [--type TYPE] KEYPATH VALUENAME DATA\n"
    "       winsim [--machine DIR] reg list KEYPATH\n"
    "       winsim [--machine DIR] reg delete KEYPATH [VALUENAME]\n"
    "       winsim [--machine DIR] reg readonly KEYPATH on|off\n"
    "       winsim [--machine DIR] journal\n"
    "       winsim [--machine DIR] run [--elevated] -- PROGRAM [ARGS...]\n"
    "Without --machine, $WINSIM_MACHINE or the default machine is used.\n";

struct UsageError {
    QString message;
};

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

void Expect(const QStringList& args, qsizetype count)
{
    if (args.size() != count) {
        throw UsageError{QStringLiteral("wrong number of arguments")};
    }
}

int RegistryStatus(DWORD status, const QString& what)
{
    switch (status) {
    case ERROR_SUCCESS:
        return 0;
    case ERROR_FILE_NOT_FOUND:
        return Fail(what + ": not found");
    case ERROR_INVALID_PARAMETER:
        return Fail(what + ": not a registry path (HKEY_LOCAL_MACHINE\\... or HKEY_CURRENT_USER\\...)");
    default:
        return Fail(what + ": error " + QString::number(status));
    }
}

int Reg(QStringList args)
{
    if (args.isEmpty()) {
        throw UsageError{QStringLiteral("reg needs a subcommand")};
    }
    const QString command = args.takeFirst();
    if (command == "get") {
        Expect(args, 2);
        Registry::Value value;
        if (const int rc = RegistryStatus(Registry::GetValue(args[0], args[1], value), args[0] + " " + args[1])) {
            return rc;
        }
        Print(Registry::ValueToText(value));
        return 0;
    }
    if (command == "set") {
        DWORD type = REG_SZ;
        if (!args.isEmpty() && args.first() == "--type") {
            args.removeFirst();
            if (args.isEmpty() || Registry::TypeName(Registry::TypeFromName(args.first())) != args.first().toUpper()) {
                throw UsageError{QStringLiteral("--type needs one of REG_SZ, REG_EXPAND_SZ, REG_DWORD, REG_QWORD, "
                                                "REG_BINARY, REG_MULTI_SZ, REG_NONE")};
            }
            type = Registry::TypeFromName(args.takeFirst());
        }
        Expect(args, 3);
        const std::optional<Registry::Value> value = Registry::ValueFromText(type, args[2]);
        if (!value) {
            return Fail("\"" + args[2] + "\" is not a " + Registry::TypeName(type) + " value");
        }
        return RegistryStatus(Registry::SetValue(args[0], args[1], *value, Registry::Access::Unchecked), args[0]);
    }
    if (command == "list") {
        Expect(args, 1);
        QStringList keys;
        QStringList values;
        if (const int rc = RegistryStatus(Registry::ListSubkeys(args[0], keys), args[0])) {
            return rc;
        }
        Registry::ListValues(args[0], values);
        for (const QString& name : values) {
            Registry::Value value;
            Registry::GetValue(args[0], name, value);
            Print(name + "\t" + Registry::TypeName(value.type) + "\t" + Registry::ValueToText(value));
        }
        for (const QString& key : keys) {
            Print(key + "\\");
        }
        return 0;
    }
    if (command == "delete") {
        if (args.size() == 1) {
            return RegistryStatus(Registry::DeleteKey(args[0], Registry::Access::Unchecked), args[0]);
        }
        Expect(args, 2);
        return RegistryStatus(Registry::DeleteValue(args[0], args[1], Registry::Access::Unchecked),
                              args[0] + " " + args[1]);
    }
    if (command == "readonly") {
        Expect(args, 2);
        if (args[1] != "on" && args[1] != "off") {
            throw UsageError{QStringLiteral("readonly takes on or off")};
        }
        return RegistryStatus(Registry::SetKeyReadOnly(args[0], args[1] == "on"), args[0]);
    }
    throw UsageError{"unknown reg subcommand " + command};
}

// Parses VALUE as JSON (number, true, false, null, "text", object, array); anything else is a text.
QJsonValue ParseValue(const QString& text)
{
    const QJsonDocument document = QJsonDocument::fromJson(("[" + text + "]").toUtf8());
    if (document.isArray() && document.array().size() == 1) {
        return document.array().first();
    }
    return text;
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
    WinSim::Journal(elevated ? QStringLiteral("run-elevated") : QStringLiteral("run"), args.join(' '), machine);

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

int Main(QStringList args)
{
    if (args.size() >= 2 && args.first() == "--machine") {
        args.removeFirst();
        qputenv(WinSim::MachineVariable, args.takeFirst().toUtf8());
    }
    if (args.isEmpty()) {
        throw UsageError{QStringLiteral("no command")};
    }
    const QString command = args.takeFirst();
    if (command == "create") {
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
    if (command == "show") {
        Expect(args, 0);
        std::fputs(QJsonDocument(WinSim::LoadDescription()).toJson(QJsonDocument::Indented).constData(), stdout);
        return 0;
    }
    if (command == "set") {
        Expect(args, 2);
        WinSim::SetDescriptionValue(args[0], ParseValue(args[1]));
        return 0;
    }
    if (command == "reg") {
        return Reg(args);
    }
    if (command == "journal") {
        Expect(args, 0);
        for (const QString& line : WinSim::ReadJournal()) {
            Print(line);
        }
        return 0;
    }
    if (command == "run") {
        return Run(args);
    }
    if (command == "help" || command == "--help") {
        std::fputs(Usage, stdout);
        return 0;
    }
    throw UsageError{"unknown command " + command};
}

}  // namespace

int main(int argc, char* argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args << QString::fromLocal8Bit(argv[i]);
    }
    try {
        return Main(args);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "winsim: %s\n%s", error.message.toUtf8().constData(), Usage);
        return 2;
    } catch (const std::exception& error) {
        return Fail(QString::fromUtf8(error.what()));
    }
}
