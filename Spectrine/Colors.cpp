#include "Spectrine/Colors.h"

#include "Spectrine/Internal.h"

#include <cmath>
#include <new>

namespace Spectrine::Detail {

KVColorRef NewColor(std::int32_t space, const std::array<double, KVColorCoordinateCount>& coordinates)
{
    return new (std::nothrow) KVColor{space, coordinates};
}

KVColorRef* NewChart(std::size_t count)
{
    return new (std::nothrow) KVColorRef[count == 0 ? 1 : count]();
}

std::array<double, 3> XyzToYxy(const std::array<double, 3>& xyz)
{
    const double sum = xyz[0] + xyz[1] + xyz[2];
    if (sum == 0) {
        return {0, 0, 0};
    }
    return {xyz[1], xyz[0] / sum, xyz[1] / sum};
}

std::array<double, 3> YxyToXyz(const std::array<double, 3>& yxy)
{
    const double Y = yxy[0], x = yxy[1], y = yxy[2];
    return y == 0 ? std::array<double, 3>{0, 0, 0} : std::array<double, 3>{x / y * Y, Y, (1 - x - y) / y * Y};
}

}  // namespace Spectrine::Detail

namespace {

using namespace Spectrine::Detail;

bool KnownSpace(std::int32_t space)
{
    return space == KVColorSpaceRGB || space == KVColorSpaceXYZ || space == KVColorSpaceYxy;
}

bool ReadCoordinates(const double* coordinates, std::array<double, KVColorCoordinateCount>& values)
{
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!std::isfinite(coordinates[i])) {
            return false;
        }
        values[i] = coordinates[i];
    }
    return true;
}

}  // namespace

extern "C" {

KVColorRef KVColorCreate(const double* coordinates, std::int32_t count, std::int32_t colorSpace, std::int32_t reserved,
                         KVStatus* status)
{
    if (Injected("KVColorCreate", status)) {
        return nullptr;
    }
    std::array<double, KVColorCoordinateCount> values{};
    if (coordinates == nullptr || count != KVColorCoordinateCount || !KnownSpace(colorSpace) || reserved != 0 ||
        !ReadCoordinates(coordinates, values)) {
        SetStatus(status, KVErrorInvalidArgument);
        return nullptr;
    }
    KVColorRef color = NewColor(colorSpace, values);
    SetStatus(status, color != nullptr ? KVSuccess : KVErrorOutOfMemory);
    return color;
}

void KVColorRelease(KVColorRef color)
{
    delete color;
}

std::int32_t KVColorGetNumberOfCoordinates(KVColorRef color, KVStatus* status)
{
    if (Injected("KVColorGetNumberOfCoordinates", status)) {
        return 0;
    }
    if (color == nullptr) {
        SetStatus(status, KVErrorInvalidArgument);
        return 0;
    }
    SetStatus(status, KVSuccess);
    return std::int32_t(color->coordinates.size());
}

std::int32_t KVColorGetCoordinates(KVColorRef color, double* coordinates, KVStatus* status)
{
    if (Injected("KVColorGetCoordinates", status)) {
        return 0;
    }
    if (color == nullptr || coordinates == nullptr) {
        SetStatus(status, KVErrorInvalidArgument);
        return 0;
    }
    for (std::size_t i = 0; i < color->coordinates.size(); ++i) {
        coordinates[i] = color->coordinates[i];
    }
    SetStatus(status, KVSuccess);
    return std::int32_t(color->coordinates.size());
}

void KVColorSetCoordinates(KVColorRef color, const double* coordinates, KVStatus* status)
{
    if (Injected("KVColorSetCoordinates", status)) {
        return;
    }
    std::array<double, KVColorCoordinateCount> values{};
    if (color == nullptr || coordinates == nullptr || !ReadCoordinates(coordinates, values)) {
        SetStatus(status, KVErrorInvalidArgument);
        return;
    }
    color->coordinates = values;
    SetStatus(status, KVSuccess);
}

KVColorRef KVConvertColor(KVColorRef color, std::int32_t colorSpace, KVStatus* status)
{
    if (Injected("KVConvertColor", status)) {
        return nullptr;
    }
    if (color == nullptr || !KnownSpace(colorSpace)) {
        SetStatus(status, KVErrorInvalidArgument);
        return nullptr;
    }
    std::array<double, KVColorCoordinateCount> values = color->coordinates;
    if (color->space == colorSpace) {
    } else if (color->space == KVColorSpaceXYZ && colorSpace == KVColorSpaceYxy) {
        values = XyzToYxy(values);
    } else if (color->space == KVColorSpaceYxy && colorSpace == KVColorSpaceXYZ) {
        if (values[2] == 0 && values[0] != 0) {
            SetStatus(status, KVErrorInvalidArgument);
            return nullptr;
        }
        values = YxyToXyz(values);
    } else {
        SetStatus(status, KVErrorUnsupported);
        return nullptr;
    }
    KVColorRef converted = NewColor(colorSpace, values);
    SetStatus(status, converted != nullptr ? KVSuccess : KVErrorOutOfMemory);
    return converted;
}

void KVReleaseChart(KVColorRef* chart, std::int32_t count)
{
    if (chart == nullptr) {
        return;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        delete chart[i];
    }
    delete[] chart;
}

double KVGetColorTempFromXYZ(double X, double Y, double Z, KVStatus* status)
{
    if (Injected("KVGetColorTempFromXYZ", status)) {
        return 0;
    }
    const double sum = X + Y + Z;
    if (!std::isfinite(sum) || !(Y > 0) || !(sum > 0)) {
        SetStatus(status, KVErrorInvalidArgument);
        return 0;
    }
    const cmsCIExyY white = {X / sum, Y / sum, Y};
    cmsFloat64Number kelvin = 0;
    if (!cmsTempFromWhitePoint(&kelvin, &white)) {
        SetStatus(status, KVErrorUnsupported);
        return 0;
    }
    SetStatus(status, KVSuccess);
    return kelvin;
}

}  // extern "C"
