#include "Spectrine/Internal.h"

#include "WindowsStandIn/StateFile.h"

#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <unistd.h>

namespace Spectrine::Detail {

bool Injected(const char* function, KVStatus* status)
{
    try {
        // Never make the default machine just to look for failures in it.
        if (qEnvironmentVariableIsEmpty(WinSim::MachineVariable) &&
            !QFileInfo::exists(WinSim::DefaultMachineDirectory())) {
            return false;
        }
        if (const auto code = WinSim::InjectedFailure(QString::fromLatin1(function))) {
            SetStatus(status, KVStatus(*code));
            return true;
        }
    } catch (...) {
        // A machine that cannot be read injects nothing.
    }
    return false;
}

std::string FilePath(KVUniStringRef path)
{
    std::string file = path != nullptr ? path->utf8 : std::string();
    std::replace(file.begin(), file.end(), '\\', '/');
    return file;
}

bool ReadFile(const std::string& path, std::vector<std::uint8_t>& content, KVStatus* status)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        SetStatus(status, KVErrorFileNotFound);
        return false;
    }
    std::uint8_t buffer[65536];
    bool ok = true;
    for (;;) {
        const std::size_t read = std::fread(buffer, 1, sizeof buffer, file);
        content.insert(content.end(), buffer, buffer + read);
        if (read < sizeof buffer) {
            ok = std::ferror(file) == 0;
            break;
        }
    }
    std::fclose(file);
    if (!ok) {
        SetStatus(status, KVErrorFileRead);
    }
    return ok;
}

cmsHPROFILE OpenProfile(KVUniStringRef path, KVStatus* status, cmsContext context)
{
    constexpr std::size_t HeaderSize = 128;
    if (path == nullptr) {
        SetStatus(status, KVErrorInvalidArgument);
        return nullptr;
    }
    std::vector<std::uint8_t> content;
    if (!ReadFile(FilePath(path), content, status)) {
        return nullptr;
    }
    // A file shorter than the size its header declares is truncated: refuse it rather than
    // silently losing the tags beyond its end.
    if (content.size() < HeaderSize) {
        SetStatus(status, KVErrorInvalidProfile);
        return nullptr;
    }
    if (ReadBigEndian32(content.data()) > content.size()) {
        SetStatus(status, KVErrorInvalidProfile);
        return nullptr;
    }
    cmsHPROFILE handle = cmsOpenProfileFromMemTHR(context, content.data(), cmsUInt32Number(content.size()));
    if (handle == nullptr) {
        SetStatus(status, KVErrorInvalidProfile);
        return nullptr;
    }
    SetStatus(status, KVSuccess);
    return handle;
}

bool ReplaceFile(const std::string& path, const std::function<bool(const std::string& temporary)>& write,
                 KVStatus* status)
{
    static std::atomic<unsigned> counter{0};
    const std::string temporary =
        path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
    if (path.empty() || !write(temporary) || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        SetStatus(status, KVErrorFileWrite);
        return false;
    }
    SetStatus(status, KVSuccess);
    return true;
}

}  // namespace Spectrine::Detail
