// makeicc: writes an RGB display profile made with LittleCMS, with the tags a factory profile
// carries. `makeicc --help` lists the options.
#include "Spectrine/Spectrine.h"

#include <lcms2.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* const Help =
    "usage: makeicc OUTPUT --primaries RX,RY,GX,GY,BX,BY [options]\n"
    "\n"
    "Writes an RGB display profile (ICC version 4, matrix and tone curves) made with LittleCMS.\n"
    "\n"
    "  --primaries RX,RY,GX,GY,BX,BY  chromaticities of the red, green and blue primaries\n"
    "  --white X,Y            white point chromaticity (default 0.3127,0.3290, D65)\n"
    "  --gamma G|srgb|rec709  tone curve of all channels: a power-law exponent, the sRGB curve or\n"
    "                         the inverse of the Rec. 709 camera curve (default 2.2)\n"
    "  --luminance CD         white luminance in cd/m2: the 'lumi' tag (default: no 'lumi' tag)\n"
    "  --description TEXT     profile description (default \"Display profile\")\n"
    "  --brightness N         'meta' dictionary entry \"Brightness\" = N (default: no 'meta' tag)\n"
    "  --mhc2                 add a raw 'MHC2' tag (identity matrix, linear ramps); the measurement\n"
    "                         data then records profile type 4\n"
    "  --measurements         add the measurement data (private tag 'SCxF', written with the colour\n"
    "                         engine's serialiser): targets white, black, red, green, blue and greys\n"
    "                         64, 128, 192; measured XYZ in cd/m2 from the primaries, white, curve and\n"
    "                         luminance (black: 1/1000 of the white); display parameters below\n"
    "  --measured-gamma SPEC  tone curve the measurement data records: a number (Standard), srgb,\n"
    "                         bt1886, dicom, custom:G,A,B,C,D, none (default: from --gamma: a number\n"
    "                         gives Standard, srgb sRGB, rec709 BT1886)\n"
    "  --measured-white native|d50|d55|d65|d75\n"
    "                         white point the measurement data records (default native: the\n"
    "                         measured white patch)\n"
    "  --profile-type N       profile type the measurement data records, 0 to 4 (default 1, with\n"
    "                         --mhc2 4)\n"
    "  --help                 this text\n";

int Usage(const std::string& problem = std::string())
{
    if (!problem.empty()) {
        std::fprintf(stderr, "makeicc: %s\n", problem.c_str());
    }
    std::fputs(Help, stderr);
    return 2;
}

bool ParseNumbers(const std::string& text, std::size_t count, std::vector<double>& numbers, double low, double high)
{
    numbers.clear();
    std::stringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ',')) {
        char* end = nullptr;
        const double value = std::strtod(item.c_str(), &end);
        if (item.empty() || *end != '\0' || !std::isfinite(value) || value < low || value > high) {
            return false;
        }
        numbers.push_back(value);
    }
    return numbers.size() == count;
}

bool ParseNumber(const std::string& text, double& value, double low, double high)
{
    std::vector<double> numbers;
    if (!ParseNumbers(text, 1, numbers, low, high)) {
        return false;
    }
    value = numbers[0];
    return true;
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
    double value = 0;
    if (!ParseNumber(gamma, value, 1e-3, 10)) {
        return nullptr;
    }
    return cmsBuildGamma(nullptr, value);
}

struct Options {
    std::string output;
    std::vector<double> primaries;
    std::vector<double> white = {0.3127, 0.3290};
    std::string gamma = "2.2";
    double luminance = 0;
    std::string description = "Display profile";
    std::string brightness;
    bool mhc2 = false;
    bool measurements = false;
    std::string measuredGamma;
    std::string measuredWhite = "native";
    int profileType = -1;
};

// Owners of the engine handles used here.
template <typename T, void (*Release)(T*)>
struct Deleter {
    void operator()(T* handle) const { Release(handle); }
};
using EngineString = std::unique_ptr<KVUniString, Deleter<KVUniString, KVUniStringRelease>>;
using Params = std::unique_ptr<KVProfileDisplayParams, Deleter<KVProfileDisplayParams, KVProfileDisplayParamsRelease>>;
void CloseStream(KVCxf3Stream* stream)
{
    KVCxf3CloseStream(stream, nullptr);
}
using Stream = std::unique_ptr<KVCxf3Stream, Deleter<KVCxf3Stream, CloseStream>>;

// Applies the measured tone curve to the parameters; false for a specification it does not know.
bool SetMeasuredGamma(KVProfileDisplayParamsRef params, const std::string& spec, KVStatus* status)
{
    double value = 0;
    std::vector<double> custom;
    if (spec == "none") {
        *status = KVSuccess;
    } else if (spec == "srgb") {
        KVProfileDisplayParamsSetSRGBGamma(params, status);
    } else if (spec == "bt1886") {
        KVProfileDisplayParamsSetBT1886_EOTF(params, status);
    } else if (spec == "dicom") {
        KVProfileDisplayParamsSetDICOM_EOTF(params, status);
    } else if (spec.rfind("custom:", 0) == 0 && ParseNumbers(spec.substr(7), 5, custom, -1e6, 1e6)) {
        KVProfileDisplayParamsSetCustomGamma(params, custom[0], custom[1], custom[2], custom[3], custom[4], status);
    } else if (ParseNumber(spec, value, 1e-3, 10)) {
        KVProfileDisplayParamsSetGamma(params, value, status);
    } else {
        return false;
    }
    return *status == KVSuccess;
}

// XYZ at Y = 1 of a chromaticity.
std::array<double, 3> Xyz(double x, double y)
{
    return {x / y, 1.0, (1 - x - y) / y};
}

// The columns of the matrix from linear RGB to XYZ: each primary scaled so that full RGB gives the
// white at Y = 1.
std::array<std::array<double, 3>, 3> RgbToXyz(const std::vector<double>& primaries, const std::vector<double>& white)
{
    std::array<std::array<double, 3>, 3> columns;
    for (int i = 0; i < 3; ++i) {
        columns[i] = Xyz(primaries[2 * i], primaries[2 * i + 1]);
    }
    const auto determinant = [](const std::array<std::array<double, 3>, 3>& c) {
        return c[0][0] * (c[1][1] * c[2][2] - c[2][1] * c[1][2]) - c[1][0] * (c[0][1] * c[2][2] - c[2][1] * c[0][2]) +
               c[2][0] * (c[0][1] * c[1][2] - c[1][1] * c[0][2]);
    };
    const std::array<double, 3> target = Xyz(white[0], white[1]);
    const double base = determinant(columns);
    std::array<double, 3> scales;
    for (int i = 0; i < 3; ++i) {
        auto replaced = columns;
        replaced[i] = target;
        scales[i] = determinant(replaced) / base;  // Cramer's rule
    }
    for (int i = 0; i < 3; ++i) {
        for (double& value : columns[i]) {
            value *= scales[i];
        }
    }
    return columns;
}

// The measurement text: targets, the XYZ the primaries, white, curve and luminance give for them,
// display parameters.
bool MeasurementText(const Options& options, const cmsToneCurve* curve, std::string& text)
{
    const double luminance = options.luminance > 0 ? options.luminance : 100.0;
    const auto columns = RgbToXyz(options.primaries, options.white);
    const std::array<double, 3> white = Xyz(options.white[0], options.white[1]);
    const std::vector<std::array<double, 3>> targets = {{255, 255, 255}, {0, 0, 0},       {255, 0, 0},     {0, 255, 0},
                                                        {0, 0, 255},     {64, 64, 64},    {128, 128, 128}, {192, 192, 192}};
    std::vector<KVColorRef> measured, device;
    bool ok = true;
    for (const auto& target : targets) {
        double value[3] = {0, 0, 0};
        for (int channel = 0; channel < 3; ++channel) {
            const double linear = cmsEvalToneCurveFloat(curve, cmsFloat32Number(target[channel] / 255));
            const double level = target[channel] == 255 ? 1.0 : target[channel] == 0 ? 0.0 : linear;
            for (int i = 0; i < 3; ++i) {
                value[i] += columns[channel][i] * level * luminance;
            }
        }
        if (target == std::array<double, 3>{0, 0, 0}) {
            // The black patch shows the panel's flare.
            for (int i = 0; i < 3; ++i) {
                value[i] = white[i] * luminance / 1000;
            }
        }
        KVStatus status = KVSuccess;
        measured.push_back(KVColorCreate(value, 3, KVColorSpaceXYZ, 0, &status));
        ok = ok && status == KVSuccess;
        device.push_back(KVColorCreate(target.data(), 3, KVColorSpaceRGB, 0, &status));
        ok = ok && status == KVSuccess;
    }

    KVStatus status = KVSuccess;
    const Params params(KVProfileDisplayParamsCreate(&status));
    ok = ok && params != nullptr;
    std::string gamma = options.measuredGamma;
    if (gamma.empty()) {
        gamma = options.gamma == "rec709" ? "bt1886" : options.gamma;
    }
    if (ok && !SetMeasuredGamma(params.get(), gamma, &status)) {
        std::fprintf(stderr, "makeicc: bad measured gamma %s\n", gamma.c_str());
        ok = false;
    }
    static const std::map<std::string, std::int32_t> Illuminants = {
        {"d50", KVIlluminantD50}, {"d55", KVIlluminantD55}, {"d65", KVIlluminantD65}, {"d75", KVIlluminantD75}};
    if (ok && options.measuredWhite == "native") {
        KVProfileDisplayParamsSetNativeWhitePoint(params.get(), &status);
    } else if (ok && Illuminants.count(options.measuredWhite) != 0) {
        KVProfileDisplayParamsSetWhitePointCIEIlluminant(params.get(), Illuminants.at(options.measuredWhite), &status);
    } else if (ok) {
        std::fprintf(stderr, "makeicc: bad measured white %s\n", options.measuredWhite.c_str());
        ok = false;
    }
    const int type = options.profileType >= 0 ? options.profileType : options.mhc2 ? 4 : 1;
    const std::function<void()> settings[] = {
        [&] { KVProfileDisplayParamsSetTargetLuminosity(params.get(), luminance, &status); },
        [&] { KVProfileDisplayParamsSetContrastRatio(params.get(), 1000, &status); },
        [&] { KVProfileDisplayParamsSetBlackLuminance(params.get(), luminance / 1000, &status); },
        [&] { KVProfileDisplayParamsSetProfileVersion(params.get(), 4, &status); },
        [&] { KVProfileDisplayParamsSetProfileType(params.get(), type, &status); },
    };
    for (const auto& set : settings) {
        if (ok) {
            set();
            ok = status == KVSuccess;
        }
    }

    const Stream stream(ok ? KVCxf3OpenStream(&status) : nullptr);
    ok = ok && stream != nullptr;
    const EngineString measurementName(KVUniStringCreateFromUtf8("Measurement"));
    const EngineString targetName(KVUniStringCreateFromUtf8("Target"));
    if (ok) {
        KVCxf3AddColors(stream.get(), measurementName.get(), measured.data(), std::int32_t(measured.size()),
                        params.get(), nullptr, &status);
        ok = status == KVSuccess;
    }
    if (ok) {
        KVCxf3AddColors(stream.get(), targetName.get(), device.data(), std::int32_t(device.size()), params.get(), nullptr,
                        &status);
        ok = status == KVSuccess;
    }
    if (ok) {
        KVCxf3AddProfileParams(stream.get(), params.get(), &status);
        ok = status == KVSuccess;
    }
    const char* written = nullptr;
    std::size_t length = 0;
    if (ok) {
        KVCxf3WriteStream(stream.get(), &written, &length, &status);
        ok = status == KVSuccess;
    }
    if (ok) {
        text.assign(written, length);
    }
    for (KVColorRef color : measured) {
        KVColorRelease(color);
    }
    for (KVColorRef color : device) {
        KVColorRelease(color);
    }
    return ok;
}

bool WriteMeasurementTag(cmsHPROFILE profile, const std::string& text)
{
    // Documented in Spectrine/Cxf3.h: 'utf8', four zero bytes, the text, a NUL.
    std::string raw("utf8\0\0\0\0", 8);
    raw += text;
    raw += '\0';
    return cmsWriteRawTag(profile, cmsTagSignature(KVCxfTagSignature), raw.data(), cmsUInt32Number(raw.size()));
}

void PutBig32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(std::uint8_t(value >> shift));
    }
}

void PutFixed(std::vector<std::uint8_t>& out, double value)
{
    PutBig32(out, std::uint32_t(std::int32_t(std::lround(value * 65536.0))));
}

// A raw 'MHC2' tag: luminance range, an identity 3 x 4 matrix and a two-entry linear ramp a channel.
bool WriteMhc2Tag(cmsHPROFILE profile, double luminance)
{
    constexpr std::uint32_t Entries = 2, Header = 36, Matrix = 48, Lut = 8 + 4 * Entries;
    std::vector<std::uint8_t> raw = {'M', 'H', 'C', '2', 0, 0, 0, 0};
    PutBig32(raw, Entries);
    PutFixed(raw, 0.0);
    PutFixed(raw, luminance > 0 ? luminance : 100.0);
    PutBig32(raw, Header);
    for (std::uint32_t channel = 0; channel < 3; ++channel) {
        PutBig32(raw, Header + Matrix + channel * Lut);
    }
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 4; ++column) {
            PutFixed(raw, row == column ? 1.0 : 0.0);
        }
    }
    for (int channel = 0; channel < 3; ++channel) {
        raw.insert(raw.end(), {'s', 'f', '3', '2', 0, 0, 0, 0});
        PutFixed(raw, 0.0);
        PutFixed(raw, 1.0);
    }
    return cmsWriteRawTag(profile, cmsTagSignature(KVTagSignature("MHC2")), raw.data(), cmsUInt32Number(raw.size()));
}

bool WriteBrightness(cmsHPROFILE profile, const std::string& brightness)
{
    cmsHANDLE dictionary = cmsDictAlloc(nullptr);
    const std::wstring value(brightness.begin(), brightness.end());
    bool ok = dictionary != nullptr && cmsDictAddEntry(dictionary, L"Brightness", value.c_str(), nullptr, nullptr) &&
              cmsWriteTag(profile, cmsSigMetaTag, dictionary);
    if (dictionary != nullptr) {
        cmsDictFree(dictionary);
    }
    return ok;
}

}  // namespace

int main(int argc, char* argv[])
{
    Options options;
    const std::map<std::string, std::function<bool(const std::string&)>> valued = {
        {"--primaries", [&](const std::string& v) { return ParseNumbers(v, 6, options.primaries, 0, 1); }},
        {"--white", [&](const std::string& v) { return ParseNumbers(v, 2, options.white, 0, 1); }},
        {"--gamma", [&](const std::string& v) { options.gamma = v; return true; }},
        {"--luminance", [&](const std::string& v) { return ParseNumber(v, options.luminance, 0, 1e5); }},
        {"--description", [&](const std::string& v) { options.description = v; return true; }},
        {"--brightness",
         [&](const std::string& v) {
             double value = 0;
             options.brightness = v;
             return ParseNumber(v, value, 0, 100) && v.find_first_not_of("0123456789") == std::string::npos;
         }},
        {"--measured-gamma", [&](const std::string& v) { options.measuredGamma = v; return true; }},
        {"--measured-white", [&](const std::string& v) { options.measuredWhite = v; return true; }},
        {"--profile-type",
         [&](const std::string& v) {
             options.profileType = v.size() == 1 && v[0] >= '0' && v[0] <= '4' ? v[0] - '0' : -1;
             return options.profileType >= 0;
         }},
    };
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help") {
            std::fputs(Help, stdout);
            return 0;
        }
        if (argument == "--mhc2") {
            options.mhc2 = true;
        } else if (argument == "--measurements") {
            options.measurements = true;
        } else if (valued.count(argument) != 0) {
            if (i + 1 >= argc || !valued.at(argument)(argv[i + 1])) {
                return Usage("bad value for " + argument);
            }
            ++i;
        } else if (argument.rfind("--", 0) != 0 && options.output.empty()) {
            options.output = argument;
        } else {
            return Usage("unknown argument " + argument);
        }
    }
    if (options.output.empty() || options.primaries.empty()) {
        return Usage("OUTPUT and --primaries are needed");
    }

    const cmsCIExyY whitePoint = {options.white[0], options.white[1], 1.0};
    const cmsCIExyYTRIPLE xyYPrimaries = {{options.primaries[0], options.primaries[1], 1.0},
                                          {options.primaries[2], options.primaries[3], 1.0},
                                          {options.primaries[4], options.primaries[5], 1.0}};
    cmsToneCurve* curve = MakeCurve(options.gamma);
    if (curve == nullptr) {
        return Usage("bad gamma " + options.gamma);
    }
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&whitePoint, &xyYPrimaries, curves);
    if (profile == nullptr) {
        cmsFreeToneCurve(curve);
        std::fputs("makeicc: LittleCMS refused the primaries\n", stderr);
        return 1;
    }
    cmsSetDeviceClass(profile, cmsSigDisplayClass);
    cmsMLU* text = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(text, "en", "US", options.description.c_str());
    bool ok = cmsWriteTag(profile, cmsSigProfileDescriptionTag, text);
    cmsMLUfree(text);
    if (options.luminance > 0) {
        const cmsCIEXYZ level = {0, options.luminance, 0};
        ok = ok && cmsWriteTag(profile, cmsSigLuminanceTag, &level);
    }
    if (ok && !options.brightness.empty()) {
        ok = WriteBrightness(profile, options.brightness);
    }
    if (ok && options.mhc2) {
        ok = WriteMhc2Tag(profile, options.luminance);
    }
    if (ok && options.measurements) {
        std::string measurements;
        ok = MeasurementText(options, curve, measurements) && WriteMeasurementTag(profile, measurements);
        if (!ok) {
            std::fputs("makeicc: cannot make the measurement data\n", stderr);
        }
    }
    cmsFreeToneCurve(curve);
    ok = ok && cmsSaveProfileToFile(profile, options.output.c_str());
    cmsCloseProfile(profile);
    if (!ok) {
        std::fprintf(stderr, "makeicc: cannot write %s\n", options.output.c_str());
        return 1;
    }
    return 0;
}
