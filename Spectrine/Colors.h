// Colours and charts. A colour is three coordinates in one colour space; a chart is an array of
// colours allocated by the engine, handed out with its count and freed with KVReleaseChart.
#pragma once

#include "Spectrine/Base.h"

extern "C" {

typedef struct KVColor* KVColorRef;

// Colour spaces.
constexpr std::int32_t KVColorSpaceRGB = 0;  // device RGB, 0 to 255 per channel
constexpr std::int32_t KVColorSpaceXYZ = 1;  // CIE XYZ; measured colours in cd/m²
constexpr std::int32_t KVColorSpaceYxy = 4;  // luminance Y, chromaticity x and y

// Every colour of the engine has this many coordinates.
constexpr std::int32_t KVColorCoordinateCount = 3;

// A new colour of `count` coordinates (KVColorCoordinateCount) in `colorSpace`. `reserved` must be
// 0. Non-finite coordinates are refused.
KVColorRef KVColorCreate(const double* coordinates, std::int32_t count, std::int32_t colorSpace, std::int32_t reserved,
                         KVStatus* status);
void KVColorRelease(KVColorRef color);

std::int32_t KVColorGetNumberOfCoordinates(KVColorRef color, KVStatus* status);
// Copies the coordinates into `coordinates` (room for KVColorCoordinateCount) and returns how many
// were copied; 0 on failure.
std::int32_t KVColorGetCoordinates(KVColorRef color, double* coordinates, KVStatus* status);
// Replaces the coordinates (as many as the colour has); non-finite values are refused.
void KVColorSetCoordinates(KVColorRef color, const double* coordinates, KVStatus* status);

// A new colour: `color` in `colorSpace`. XYZ and Yxy convert into each other (black, and any XYZ
// whose coordinates sum to 0, is Yxy (0, 0, 0)); a colour converts to its own space as a copy;
// device RGB converts to nothing else (KVErrorUnsupported).
KVColorRef KVConvertColor(KVColorRef color, std::int32_t colorSpace, KVStatus* status);

// Releases the colours of a chart and the chart itself; a null chart is allowed.
void KVReleaseChart(KVColorRef* chart, std::int32_t count);

// Correlated colour temperature in kelvin of the colour X, Y, Z (Robertson's method, as LittleCMS
// computes it). KVErrorInvalidArgument for a Y or coordinate sum not above 0, KVErrorUnsupported
// for a chromaticity outside the method's range.
double KVGetColorTempFromXYZ(double X, double Y, double Z, KVStatus* status);

}  // extern "C"
