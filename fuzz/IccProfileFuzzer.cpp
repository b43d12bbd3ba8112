// ICC profiles through the colour engine's reading family, as the profile helper and the profile
// data reader call it.
#include "Spectrine/Spectrine.h"
#include "fuzz/FuzzSupport.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = Fuzz::ScratchDirectory() + "/profile.icc";
    Fuzz::WriteFile(path, data, size);

    KVUniStringRef enginePath = KVUniStringCreateFromUtf8(path.c_str());
    KVStatus status = KVSuccess;
    KVIsTagInProfile(enginePath, KVTagSignature("meta"), &status);
    KVFree(KVProfileGetWhiteXYZ(enginePath, &status));
    if (KVProfileRef profile = KVProfileFromPathCreate(enginePath, &status)) {
        KVUniStringRelease(KVProfileGetDescription(profile, &status));
        KVUniStringRef name = KVUniStringCreateFromUtf8("Brightness");
        KVUniStringRelease(KVProfileGetMetaDataValueForName(profile, name, &status));
        KVUniStringRelease(name);
        KVProfileRelease(profile);
    }
    KVUniStringRelease(enginePath);
    return 0;
}
