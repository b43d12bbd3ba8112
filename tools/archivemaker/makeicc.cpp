// makeicc OUTPUT --primaries RX,RY,GX,GY,BX,BY [--white X,Y] [--gamma G|srgb|rec709] [--luminance CD]
//        [--description TEXT]
//
// Writes an RGB display profile made with LittleCMS: the given primaries and white point (D65 by
// default), one tone curve for all channels, a luminance tag and a description.
#include <lcms2.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

int Usage()
{
    std::fputs("usage: makeicc OUTPUT --primaries RX,RY,GX,GY,BX,BY [--white X,Y] [--gamma G|srgb|rec709]\n"
               "               [--luminance CD] [--description TEXT]\n",
               stderr);
    return 2;
}

bool ParseNumbers(const char* text, std::size_t count, std::vector<double>& numbers)
{
    numbers.clear();
    std::stringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ',')) {
        char* end = nullptr;
        const double value = std::strtod(item.c_str(), &end);
        if (item.empty() || *end != '\0' || value < 0 || value > 1) {
            return false;
        }
        numbers.push_back(value);
    }
    return numbers.size() == count;
}

cmsToneCurve* MakeCurve(const std::string& gamma)
{
    if (gamma == "srgb") {
        const cmsFloat64Number parameters[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
        return cmsBuildParametricToneCurve(nullptr, 4, parameters);
    }
    if (gamma == "rec709") {
        const cmsFloat64Number parameters[5] = {1 / 0.45, 1 / 1.099, 0.099 / 1.099, 1 / 4.5, 0.081};
        return cmsBuildParametricToneCurve(nullptr, 4, parameters);
    }
    char* end = nullptr;
    const double value = std::strtod(gamma.c_str(), &end);
    if (gamma.empty() || *end != '\0' || value <= 0 || value > 10) {
        return nullptr;
    }
    return cmsBuildGamma(nullptr, value);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 2 || argv[1][0] == '-') {
        return Usage();
    }
    const char* output = argv[1];
    std::vector<double> primaries;
    std::vector<double> white = {0.3127, 0.3290};
    std::string gamma = "2.2";
    double luminance = 0;
    std::string description = "Display profile";
    for (int i = 2; i < argc; i += 2) {
        if (i + 1 >= argc) {
            return Usage();
        }
        const std::string option = argv[i];
        const char* value = argv[i + 1];
        if (option == "--primaries" && ParseNumbers(value, 6, primaries)) {
        } else if (option == "--white" && ParseNumbers(value, 2, white)) {
        } else if (option == "--gamma") {
            gamma = value;
        } else if (option == "--luminance") {
            luminance = std::strtod(value, nullptr);
        } else if (option == "--description") {
            description = value;
        } else {
            std::fprintf(stderr, "makeicc: bad option %s %s\n", option.c_str(), value);
            return Usage();
        }
    }
    if (primaries.empty()) {
        return Usage();
    }

    const cmsCIExyY whitePoint = {white[0], white[1], 1.0};
    const cmsCIExyYTRIPLE xyYPrimaries = {{primaries[0], primaries[1], 1.0},
                                          {primaries[2], primaries[3], 1.0},
                                          {primaries[4], primaries[5], 1.0}};
    cmsToneCurve* curve = MakeCurve(gamma);
    if (curve == nullptr) {
        std::fprintf(stderr, "makeicc: bad gamma %s\n", gamma.c_str());
        return 2;
    }
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&whitePoint, &xyYPrimaries, curves);
    cmsFreeToneCurve(curve);
    if (profile == nullptr) {
        std::fputs("makeicc: LittleCMS refused the primaries\n", stderr);
        return 1;
    }
    cmsSetDeviceClass(profile, cmsSigDisplayClass);
    cmsMLU* text = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(text, "en", "US", description.c_str());
    bool ok = cmsWriteTag(profile, cmsSigProfileDescriptionTag, text);
    cmsMLUfree(text);
    if (luminance > 0) {
        const cmsCIEXYZ level = {0, luminance, 0};
        ok = ok && cmsWriteTag(profile, cmsSigLuminanceTag, &level);
    }
    ok = ok && cmsSaveProfileToFile(profile, output);
    cmsCloseProfile(profile);
    if (!ok) {
        std::fprintf(stderr, "makeicc: cannot write %s\n", output);
        return 1;
    }
    return 0;
}
