#include "WindowsStandIn/Modules.h"

#include <QString>

#include <memory>
#include <mutex>

struct HINSTANCE__ {
    std::map<std::string, FARPROC> byName;
    std::map<WORD, FARPROC> byOrdinal;
    std::function<bool()> available;
};

namespace {

struct ModuleTable {
    std::mutex mutex;
    std::map<std::string, std::unique_ptr<HINSTANCE__>> modules;  // by lower-case file name
};

ModuleTable& Table()
{
    static ModuleTable table;
    return table;
}

std::string Key(const QString& fileName)
{
    QString name = fileName;
    name.replace('\\', '/');
    name = name.section('/', -1).toLower();
    // As LoadLibrary does: a name without an extension means a ".dll"; a trailing "." means none.
    if (name.endsWith('.')) {
        name.chop(1);
    } else if (!name.contains('.')) {
        name += QStringLiteral(".dll");
    }
    return name.toStdString();
}

HMODULE Load(const QString& fileName)
{
    ModuleTable& table = Table();
    HINSTANCE__* module = nullptr;
    {
        std::lock_guard lock(table.mutex);
        const auto found = table.modules.find(Key(fileName));
        module = found != table.modules.end() ? found->second.get() : nullptr;
    }
    if (module == nullptr || (module->available && !module->available())) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return module;
}

}  // namespace

HMODULE LoadLibraryA(LPCSTR fileName)
{
    return fileName != nullptr ? Load(QString::fromLocal8Bit(fileName)) : nullptr;
}

HMODULE LoadLibraryW(LPCWSTR fileName)
{
    return fileName != nullptr ? Load(QString::fromWCharArray(fileName)) : nullptr;
}

HMODULE LoadLibraryExW(LPCWSTR fileName, HANDLE, DWORD)
{
    return LoadLibraryW(fileName);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName)
{
    if (module == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const auto value = reinterpret_cast<std::uintptr_t>(procName);
    if (value <= 0xFFFF) {
        const auto found = module->byOrdinal.find(WORD(value));
        if (found != module->byOrdinal.end()) {
            return found->second;
        }
    } else {
        const auto found = module->byName.find(procName);
        if (found != module->byName.end()) {
            return found->second;
        }
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

BOOL FreeLibrary(HMODULE module)
{
    return module != nullptr ? TRUE : FALSE;
}

namespace WinSim {

bool RegisterModule(const std::string& fileName, const std::map<std::string, FARPROC>& byName,
                    const std::map<WORD, FARPROC>& byOrdinal, std::function<bool()> available)
{
    ModuleTable& table = Table();
    std::lock_guard lock(table.mutex);
    // Areas may export from the same module: later registrations add their exports.
    std::unique_ptr<HINSTANCE__>& module = table.modules[Key(QString::fromStdString(fileName))];
    if (!module) {
        module = std::make_unique<HINSTANCE__>(HINSTANCE__{byName, byOrdinal, std::move(available)});
        return true;
    }
    module->byName.insert(byName.begin(), byName.end());
    module->byOrdinal.insert(byOrdinal.begin(), byOrdinal.end());
    if (available) {
        auto previous = std::move(module->available);
        module->available = previous ? std::function<bool()>([previous, available] { return previous() && available(); })
                                     : std::move(available);
    }
    return true;
}

}  // namespace WinSim
