// winsim reg: the machine's registry.
#include "tools/winsim/Command.h"

#include "WindowsStandIn/Registry.h"

namespace {

using namespace Winsim;
namespace Registry = WinSim::Registry;

int RegistryStatus(DWORD status, const QString& keyPath, const QString& valueName = QString())
{
    const QString what = valueName.isNull() ? keyPath : keyPath + " " + valueName;
    switch (status) {
    case ERROR_SUCCESS:
        return 0;
    case ERROR_FILE_NOT_FOUND:
        return Fail(what + ": not found");
    case ERROR_INVALID_PARAMETER:
        return Fail(what + ": not a registry path (HKEY_LOCAL_MACHINE\\... or HKEY_CURRENT_USER\\...)");
    case ERROR_BADDB:
        // Loading the hive again raises the error that names the damaged file.
        Registry::LoadHive(Registry::ParseKeyPath(keyPath)->hive);
        [[fallthrough]];
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
        if (const int rc = RegistryStatus(Registry::GetValue(args[0], args[1], value), args[0], args[1])) {
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
        return RegistryStatus(Registry::DeleteValue(args[0], args[1], Registry::Access::Unchecked), args[0],
                              args[1]);
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

const bool registered = RegisterCommand(
    QStringLiteral("reg"),
    QStringLiteral("reg get KEYPATH VALUENAME | reg set [--type TYPE] KEYPATH VALUENAME DATA | reg list KEYPATH |\n"
                   "           reg delete KEYPATH [VALUENAME] | reg readonly KEYPATH on|off"),
    QStringLiteral("reads and changes the registry (tool access: no elevation needed, read-only keys too)"), Reg);

}  // namespace
