#include "Spectrine/ImageTransform.h"

#include "Spectrine/Internal.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

using namespace Spectrine::Detail;

constexpr int Quality = 90;

// libjpeg reports errors by calling error_exit, which jumps back to the caller.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void ErrorExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void Silent(j_common_ptr)
{
}

// The error handling of one libjpeg object: errors jump to `errors.jump`, messages are dropped.
jpeg_error_mgr* Errors(ErrorManager& errors)
{
    jpeg_error_mgr* manager = jpeg_std_error(&errors.base);
    manager->error_exit = ErrorExit;
    manager->output_message = Silent;
    return manager;
}

}  // namespace

namespace Spectrine::Detail {

bool DecodeJpeg(std::FILE* file, Image& image, KVStatus* status)
{
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = Errors(errors);
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&info);
        SetStatus(status, KVErrorInvalidData);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
        jpeg_destroy_decompress(&info);
        SetStatus(status, KVErrorUnsupported);
        return false;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    image.width = info.output_width;
    image.height = info.output_height;
    const std::size_t stride = std::size_t(image.width) * 3;
    image.pixels.resize(stride * image.height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.pixels.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

bool EncodeJpeg(std::FILE* file, const Image& image)
{
    jpeg_compress_struct info;
    ErrorManager errors;
    info.err = Errors(errors);
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = image.width;
    info.image_height = image.height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, Quality, TRUE);
    // Full-resolution colour: a preview shows the profile's effect on colour edges too.
    for (int i = 0; i < info.num_components; ++i) {
        info.comp_info[i].h_samp_factor = 1;
        info.comp_info[i].v_samp_factor = 1;
    }
    jpeg_start_compress(&info, TRUE);
    const std::size_t stride = std::size_t(image.width) * 3;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(image.pixels.data()) + stride * info.next_scanline;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace Spectrine::Detail

namespace {

// One LittleCMS context for one call, so that calls on several threads share nothing.
class Context {
public:
    Context() : context(cmsCreateContext(nullptr, nullptr)) {}
    ~Context()
    {
        if (transform != nullptr) {
            cmsDeleteTransform(transform);
        }
        for (cmsHPROFILE profile : {display, srgb}) {
            if (profile != nullptr) {
                cmsCloseProfile(profile);
            }
        }
        if (context != nullptr) {
            cmsDeleteContext(context);
        }
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    cmsContext context;
    cmsHPROFILE display = nullptr;
    cmsHPROFILE srgb = nullptr;
    cmsHTRANSFORM transform = nullptr;
};

}  // namespace

extern "C" {

void KVImageTransform(KVUniStringRef source, KVUniStringRef profile, KVUniStringRef destination, KVStatus* status)
{
    if (Injected("KVImageTransform", status)) {
        return;
    }
    if (source == nullptr || profile == nullptr || destination == nullptr || FilePath(destination).empty()) {
        SetStatus(status, KVErrorInvalidArgument);
        return;
    }
    // The image first: on a fresh thread, creating the transform before decoding was measured
    // three times slower (LittleCMS's curve sampling in pow), decoding first not.
    Image image;
    std::FILE* input = std::fopen(FilePath(source).c_str(), "rb");
    if (input == nullptr) {
        SetStatus(status, KVErrorFileNotFound);
        return;
    }
    const bool decoded = DecodeJpeg(input, image, status);
    std::fclose(input);
    if (!decoded) {
        return;
    }

    Context cms;
    if (cms.context == nullptr) {
        SetStatus(status, KVErrorOutOfMemory);
        return;
    }
    cms.display = OpenProfile(profile, status, cms.context);
    if (cms.display == nullptr) {
        return;
    }
    cms.srgb = cmsCreate_sRGBProfileTHR(cms.context);
    if (cms.srgb == nullptr || cmsGetColorSpace(cms.display) != cmsSigRgbData) {
        SetStatus(status, KVErrorInvalidProfile);
        return;
    }
    cms.transform =
        cmsCreateTransformTHR(cms.context, cms.display, TYPE_RGB_8, cms.srgb, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
    if (cms.transform == nullptr) {
        SetStatus(status, KVErrorInvalidProfile);
        return;
    }
    cmsDoTransform(cms.transform, image.pixels.data(), image.pixels.data(),
                   cmsUInt32Number(std::size_t(image.width) * image.height));

    ReplaceFile(
        FilePath(destination),
        [&](const std::string& temporary) {
            std::FILE* output = std::fopen(temporary.c_str(), "wb");
            if (output == nullptr) {
                return false;
            }
            const bool encoded = EncodeJpeg(output, image);
            return std::fclose(output) == 0 && encoded;
        },
        status);
}

}  // extern "C"
