#include "ProfileData/ProfileTable.h"

#include <QObject>

#include <mutex>

namespace ProfileTable {
namespace {

QVector<ProfileData>& Table()
{
    static QVector<ProfileData> table;
    return table;
}

int DefaultKind(const QString& colorSpace)
{
    if (colorSpace == QLatin1String("sRGB")) {
        return ColorSpaceSrgb;
    }
    if (colorSpace == QLatin1String("DCIP3")) {
        return ColorSpaceDciP3;
    }
    if (colorSpace == QLatin1String("DisplayP3")) {
        return ColorSpaceDisplayP3;
    }
    return ColorSpaceAdobeRgb;
}

ConstantLists Build(const QString& defaultColorSpace)
{
    const int d = DefaultKind(defaultColorSpace);
    const QString srgb = QObject::tr(
        "sRGB (standard Red Green Blue) is an RGB color space that Microsoft created in 1996 to use on monitors, "
        "printers, and the Internet. It was standardized by the IEC as IEC 61966-2-1:1999 and is the default color "
        "space of images without a color profile, above all 8-bit images. It uses the primaries of ITU-R BT.709 and "
        "a transfer curve close to that of CRT displays, and assumes the viewing conditions of a home or office.");
    const QString adobe = QObject::tr(
        "Adobe RGB color space is an RGB color space developed by Adobe Systems, Inc. in 1998. It was designed to "
        "cover most of the colors that CMYK color printers can reproduce on an RGB display. It holds about half of "
        "the visible colors specified by the CIELAB color space and is wider than sRGB above all in the cyan-green "
        "hues.");
    const QString rec709 = QObject::tr(
        "ITU-R Recommendation BT.709, more commonly known by the abbreviations Rec. 709 or BT.709, standardizes the "
        "format of high-definition television, having 16:9 (widescreen) aspect ratio. The first edition of the "
        "standard was approved in 1990.");
    const QString dciP3 = QObject::tr(
        "DCI-P3, or DCI/P3, is a common RGB color space for digital movie projection from the American film "
        "industry.");
    const QString p3 = QObject::tr(
        "P3 is a color space created by Apple Inc. It uses the primaries of DCI-P3 with the D65 white point and the "
        "transfer curve of sRGB (close to gamma 2.2) in place of the pure 2.6 gamma of DCI-P3.");
    const QString dicomOffice = QObject::tr(
        "DICOM is the standard for the communication and management of medical imaging information and related "
        "data. DICOM_Office profile is intended for use in bright environment.");
    const QString dicomDim = QObject::tr(
        "DICOM is the standard for the communication and management of medical imaging information and related "
        "data. DICOM_Dim profile is intended for use in dim environment.");
    const QString defaultText =
        QObject::tr("Default color profile has same gamma correction as %1 but has maximum brightness.")
            .arg(defaultColorSpace);
    const QString native = QObject::tr("Linear (uncalibrated) color profile.");
    const QString hdr = QObject::tr(
        "High Dynamic Range mode (HDR) is a Windows feature that supports HDR enabled applications to take advantage "
        "of the full color and luminance ranges produced by the display, allowing the maximum dynamic range and the "
        "widest color gamut available. HDR10 is an open standard announced by the Consumer Technology Association in "
        "2015: it uses the REC2100 color space, the PQ (SMPTE ST 2084) transfer curve and the D65 white point "
        "(6500K). To use it, the color management of the operating system has to be switched to HDR mode.");
    ConstantLists lists;
    lists.keys = {"sRGB",         "AdobeRGB",  "REC709",  "DCIP3",  "DisplayP3",    "DICOM_Office",
                  "DICOM_Dim",    "Default",   "Native",  "Korvel_HDR10", "P3"};
    lists.displayNames = {"sRGB",      "Adobe RGB", "Rec. 709",       "DCI-P3",          "P3", "DICOM_Office",
                          "DICOM_Dim", "Default",   "Not calibrated", "HDR 10 (calibrated)", "P3"};
    lists.kinds = {ColorSpaceSrgb, ColorSpaceAdobeRgb, ColorSpaceSrgb, ColorSpaceDciP3,  ColorSpaceDisplayP3, d, d, d,
                   ColorSpaceNone, ColorSpaceBt2020,   ColorSpaceDisplayP3};
    lists.descriptions = {srgb, adobe, rec709, dciP3, p3, dicomOffice, dicomDim, defaultText, native, hdr, p3};
    return lists;
}

}  // namespace

const ConstantLists& Constants(const QString& defaultColorSpace)
{
    static std::once_flag once;
    static ConstantLists lists;
    std::call_once(once, [&] { lists = Build(defaultColorSpace); });
    return lists;
}

const QVector<ProfileData>& Entries()
{
    return Table();
}

void Replace(QVector<ProfileData> entries)
{
    Table() = std::move(entries);
}

}  // namespace ProfileTable
