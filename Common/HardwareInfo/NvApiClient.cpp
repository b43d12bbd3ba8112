#include "Common/HardwareInfo/NvApiClient.h"

#include "WindowsStandIn/Modules.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

namespace Korvel::DisplayCalibration::Common::HardwareInfo {
namespace {

// The one process-wide lock around initialisation and unloading.
class CSingletonCriticalSection {
public:
    virtual ~CSingletonCriticalSection() = default;
    static CSingletonCriticalSection& Instance()
    {
        static CSingletonCriticalSection section;
        return section;
    }
    std::recursive_mutex mutex;
};

struct ClientState {
    HMODULE module = nullptr;
    NvApi::QueryInterfaceFunction queryInterface = nullptr;
    NvApi::InitializeFunction initialize = nullptr;
    NvApi::InitializeFunction initializeEx = nullptr;
    NvApi::InstrumentBeforeFunction instrumentBefore = nullptr;
    NvApi::InstrumentAfterFunction instrumentAfter = nullptr;
    std::atomic<NvApi::DdsQueryFunction> ddsQuery{nullptr};
    int state = 0;
    std::int32_t loadCount = 0;
    std::int32_t initCount = 0;
    std::atomic<bool> unloading{false};
    std::atomic<std::int32_t> callsInFlight{0};
};

ClientState& State()
{
    static ClientState state;
    return state;
}

template <typename Function>
Function Lookup(NvApi::QueryInterfaceFunction queryInterface, std::uint32_t id)
{
    return reinterpret_cast<Function>(queryInterface(id));
}

// Only a bare file name, and only from the system directory.
HMODULE TrustedLoadLibrary(const wchar_t* name, DWORD flags)
{
    const QString text = QString::fromWCharArray(name);
    if (text.contains(QLatin1Char('\\')) || text.contains(QLatin1Char('/'))) {
        SetLastError(ERROR_BAD_ARGUMENTS);
        return nullptr;
    }
    return LoadLibraryExW(name, nullptr, (flags & ~DWORD(0x1F08)) | LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void ClearEntries(ClientState& state)
{
    state.module = nullptr;
    state.queryInterface = nullptr;
    state.initialize = nullptr;
    state.initializeEx = nullptr;
    state.instrumentBefore = nullptr;
    state.instrumentAfter = nullptr;
    state.ddsQuery = nullptr;
}

std::int32_t NvApiResolveEntries(HMODULE module)
{
    ClientState& state = State();
    state.queryInterface = reinterpret_cast<NvApi::QueryInterfaceFunction>(GetProcAddress(module, "nvapi_QueryInterface"));
    if (state.queryInterface == nullptr) {
        return NvApiGeneralError;
    }
    state.initializeEx = Lookup<NvApi::InitializeFunction>(state.queryInterface, NvApi::InitializeExId);
    state.initialize = Lookup<NvApi::InitializeFunction>(state.queryInterface, NvApi::InitializeId);
    if (state.initialize == nullptr) {
        return NvApiGeneralError;
    }
    const std::int32_t status = state.initialize();
    if (status != 0) {
        return status;
    }
    // Both instrumentation entries are called around a query: keep them only as a pair.
    state.instrumentBefore = Lookup<NvApi::InstrumentBeforeFunction>(state.queryInterface, NvApi::InstrumentBeforeId);
    state.instrumentAfter = Lookup<NvApi::InstrumentAfterFunction>(state.queryInterface, NvApi::InstrumentAfterId);
    if (state.instrumentBefore == nullptr || state.instrumentAfter == nullptr) {
        state.instrumentBefore = nullptr;
        state.instrumentAfter = nullptr;
    }
    return 0;
}

std::int32_t NvApiLoadLibrary()
{
    ClientState& state = State();
    if (state.module != nullptr) {
        return 0;
    }
    HMODULE module = TrustedLoadLibrary(L"nvapi.dll", LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) {
        return NvApiLibraryNotFound;
    }
    const std::int32_t status = NvApiResolveEntries(module);
    if (status != 0) {
        FreeLibrary(module);
        ClearEntries(state);
        return status;
    }
    state.module = module;
    state.loadCount = 1;
    state.state = 1;
    state.initCount = 1;
    return 0;
}

std::int32_t NvApiEnsureLoaded()
{
    ClientState& state = State();
    for (int wait = 0; state.unloading && wait < 10; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (state.unloading) {
        return NvApiGeneralError;
    }
    return state.module != nullptr ? 0 : NvApiLoadLibrary();
}

std::int32_t NvApiUnloadImpl(bool force)
{
    ClientState& state = State();
    state.unloading = true;
    struct Clear {
        ClientState& state;
        ~Clear() { state.unloading = false; }
    } clear{state};

    if (state.module == nullptr || state.queryInterface == nullptr || state.state != 1) {
        return NvApiNotInitialized;
    }
    const auto releaseEx = Lookup<NvApi::UnloadExFunction>(state.queryInterface, NvApi::UnloadExId);
    const auto releasePlain = Lookup<NvApi::UnloadFunction>(state.queryInterface, NvApi::UnloadId);
    if (releaseEx == nullptr && releasePlain == nullptr) {
        return NvApiFunctionMissing;
    }
    if (state.initCount == 0 && !force) {
        return NvApiNotInitialized;
    }
    --state.loadCount;
    --state.initCount;
    if (state.initCount > 0 && !force) {
        return 0;
    }
    if (state.callsInFlight.load() != 0) {
        ++state.loadCount;
        ++state.initCount;
        return NvApiStillInUse;
    }
    const std::int32_t result = releaseEx != nullptr ? releaseEx(0) : releasePlain();
    if (result != 0) {
        ++state.loadCount;
        ++state.initCount;
        return NvApiGeneralError;
    }
    state.state = 0;
    if (state.loadCount > 0 && !force) {
        return 0;
    }
    FreeLibrary(state.module);
    ClearEntries(state);
    state.loadCount = 0;
    state.initCount = 0;
    return 0;
}

}  // namespace

std::int32_t NvApiInitialize()
{
    std::lock_guard lock(CSingletonCriticalSection::Instance().mutex);
    ClientState& state = State();
    ++state.callsInFlight;
    const std::int32_t loads = state.loadCount;
    const std::int32_t inits = state.initCount;
    std::int32_t status = NvApiEnsureLoaded();
    if (status == 0) {
        if (state.state == 1) {
            state.loadCount = loads + 1;
            state.initCount = inits + 1;
        } else if (state.initialize != nullptr) {
            status = state.initialize();
            if (status == 0) {
                state.state = 1;
                state.loadCount = loads + 1;
                state.initCount = inits + 1;
            }
        } else {
            status = NvApiGeneralError;
        }
    }
    --state.callsInFlight;
    return status;
}

std::int32_t NvApiDdsQuery(NvApi::DdsQuery* query)
{
    ClientState& state = State();
    ++state.callsInFlight;
    std::int32_t status = NvApiEnsureLoaded();
    if (status != 0) {
        --state.callsInFlight;
        return status;
    }
    NvApi::DdsQueryFunction function = state.ddsQuery.load();
    if (function == nullptr) {
        function = Lookup<NvApi::DdsQueryFunction>(state.queryInterface, NvApi::DdsQueryId);
        state.ddsQuery = function;
    }
    if (function == nullptr) {
        --state.callsInFlight;
        return NvApiFunctionMissing;
    }
    if (state.instrumentBefore != nullptr) {
        state.instrumentBefore(NvApi::DdsQueryId, nullptr);
    }
    status = function(query);
    if (state.instrumentAfter != nullptr) {
        state.instrumentAfter(NvApi::DdsQueryId, nullptr, status);
    }
    --state.callsInFlight;
    return status;
}

std::int32_t NvApiUnload()
{
    std::lock_guard lock(CSingletonCriticalSection::Instance().mutex);
    return NvApiUnloadImpl(false);
}

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
