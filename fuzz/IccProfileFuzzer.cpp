// ICC profiles through the colour engine's reading family, as the profile helper and the profile
// data reader call it: tags, 'meta' values, description, white, and the embedded measurement text.
#include "Spectrine/Spectrine.h"
#include "fuzz/FuzzSupport.h"

#include <cstdint>

namespace {

void ReadMeasurements(KVUniStringRef path)
{
    KVStatus status = KVSuccess;
    KVUniStringRef text = KVProfileGetCxfDataBuffer(path, &status);
    if (text == nullptr) {
        return;
    }
    KVCxf3StreamRef stream = KVCxf3OpenStream(&status);
    KVCxf3ProcessFileParamsRef processParams = KVCxf3ProcessFileParamsCreate(&status);
    KVColorRef* measurements = nullptr;
    KVColorRef* targets = nullptr;
    std::int32_t count = 0;
    KVProfileDisplayParamsRef params = nullptr;
    KVUniStringRef errorText = nullptr;
    KVDataUnmarshalFromCxf3(stream, text, processParams, &measurements, &targets, &count, &params, &errorText, &status);
    KVReleaseChart(measurements, count);
    KVReleaseChart(targets, count);
    KVProfileDisplayParamsRelease(params);
    KVUniStringRelease(errorText);

    measurements = targets = nullptr;
    count = 0;
    params = nullptr;
    std::int32_t indices[5] = {};
    std::int32_t greyCount = 0;
    double flare = 0;
    KVDisplayDataWithFlareUnmarshalFromCxf3(stream, text, &measurements, &targets, &count, &indices[0], &indices[1],
                                            &indices[2], &indices[3], &indices[4], &flare, &params, &greyCount,
                                            &status);
    KVReleaseChart(measurements, count);
    KVReleaseChart(targets, count);
    KVProfileDisplayParamsRelease(params);
    KVCxf3ProcessFileParamsRelease(processParams);
    KVCxf3CloseStream(stream, &status);
    KVUniStringRelease(text);
}

}  // namespace

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
    ReadMeasurements(enginePath);
    KVUniStringRelease(enginePath);
    return 0;
}
