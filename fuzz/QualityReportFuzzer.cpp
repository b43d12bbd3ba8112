// A quality report of any bytes, read as the tray program reads it. Whatever the input, every number
// handed out is finite; scripts/fuzz bounds the time and memory of each input.
#include "ProfileData/ProfileQualityReportParser.h"
#include "fuzz/FuzzMachine.h"
#include "fuzz/FuzzSupport.h"

#include <log4cplus/logger.h>
#include <log4cplus/nullappender.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

namespace {

void CheckFinite(std::initializer_list<double> values)
{
    for (const double value : values) {
        if (!std::isfinite(value)) {
            std::abort();
        }
    }
}

void CheckFinite(const QList<double>& values)
{
    for (const double value : values) {
        CheckFinite({value});
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The reader logs its steps: to nowhere (without an appender log4cplus complains on every input).
    [[maybe_unused]] static const bool quiet = [] {
        log4cplus::Logger::getRoot().addAppender(log4cplus::SharedAppenderPtr(new log4cplus::NullAppender()));
        return true;
    }();
    Fuzz::MachineBiosTools();  // the reader asks the machine's BIOS for the serial number
    const std::string path = Fuzz::ScratchDirectory() + "/KVL_4A1C_sRGB_Quality.txt";
    Fuzz::WriteFile(path, data, size);

    ProfileQualityReportParser report;
    QString error;
    const bool complete = report.Load(QString::fromStdString(path), error);
    if (complete != error.isEmpty() || (size > std::size_t(ProfileQualityReportParser::MaximumSize) && complete)) {
        std::abort();
    }
    const auto white = report.GetWhitePoint();
    const auto red = report.GetRedPrimary();
    const auto green = report.GetGreenPrimary();
    const auto blue = report.GetBluePrimary();
    CheckFinite({report.GetDeltaE2000Max(), report.GetDeltaE2000Mean(), white.first, white.second, red.first,
                 red.second, green.first, green.second, blue.first, blue.second});
    CheckFinite(report.GetGammaNormalizedValues());
    CheckFinite(report.GetGammaTargetValues());
    CheckFinite(report.GetDeltaE2000Values());
    return 0;
}
