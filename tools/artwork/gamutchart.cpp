// gamutchart CMF_TABLE OUTPUT.png
// Draws the CIE 1931 xy chromaticity diagram (278 x 302, with alpha) from a colour-matching-function
// table in CGATS form (three sets X, Y, Z over SPECTRAL_START_NM..SPECTRAL_END_NM): the spectral
// locus filled with its colours (xyY to sRGB through LittleCMS), a grid every 0.1, axis labels
// 0.0 to 0.8 and some wavelengths, on a dark ground. Plotting area: x 0..0.8 on columns 20..269,
// y 0..0.9 on rows 286..5.
#include "ArtworkTool.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPointF>
#include <QPolygonF>

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr int Width = 278;
constexpr int Height = 302;
constexpr int Left = 20;
constexpr int Right = 269;
constexpr int Top = 5;
constexpr int Bottom = 286;
constexpr double XRange = 0.8;
constexpr double YRange = 0.9;

const QColor Ground(37, 40, 42);
const QColor GridLine(58, 62, 64);
const QColor Axis(130, 133, 134);
const QColor Label(160, 164, 164);

// Chromaticity to image coordinates (pixel edges; pixel c covers c..c+1).
QPointF ToImage(double x, double y)
{
    return QPointF(Left + x / XRange * (Right - Left), Bottom - y / YRange * (Bottom - Top));
}

QPointF ToChromaticity(double column, double row)
{
    return QPointF((column - Left) / (Right - Left) * XRange, (Bottom - row) / (Bottom - Top) * YRange);
}

struct LocusPoint {
    double wavelength;
    QPointF xy;
};

// The spectral locus, in wavelength order; empty when the table cannot be read.
std::vector<LocusPoint> ReadLocus(const char* path)
{
    std::vector<LocusPoint> locus;
    cmsHANDLE table = cmsIT8LoadFromFile(nullptr, path);
    if (table == nullptr) {
        return locus;
    }
    const double start = cmsIT8GetPropertyDbl(table, "SPECTRAL_START_NM");
    const double end = cmsIT8GetPropertyDbl(table, "SPECTRAL_END_NM");
    const int bands = static_cast<int>(cmsIT8GetPropertyDbl(table, "SPECTRAL_BANDS"));
    const int sets = static_cast<int>(cmsIT8GetPropertyDbl(table, "NUMBER_OF_SETS"));
    if (bands >= 2 && sets >= 3 && end > start) {
        for (int band = 0; band < bands; ++band) {
            const double x = cmsIT8GetDataRowColDbl(table, 0, band);
            const double y = cmsIT8GetDataRowColDbl(table, 1, band);
            const double z = cmsIT8GetDataRowColDbl(table, 2, band);
            const double sum = x + y + z;
            if (sum > 0.0) {
                locus.push_back({start + band * (end - start) / (bands - 1), QPointF(x / sum, y / sum)});
            }
        }
    }
    cmsIT8Free(table);
    return locus;
}

struct Releaser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, Releaser>;

// xy chromaticities (D65-relative) to 8-bit sRGB at the largest luminance the sRGB cube holds.
class ChromaticityColors {
public:
    ChromaticityColors()
    {
        cmsCIExyY d65 = {0.3127, 0.3290, 1.0};
        cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
        cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
        cmsToneCurve* curves[3] = {linear, linear, linear};
        Profile xyz(cmsCreateXYZProfile());
        Profile linearRgb(cmsCreateRGBProfile(&d65, &primaries, curves));
        Profile srgb(cmsCreate_sRGBProfile());
        cmsFreeToneCurve(linear);
        cmsxyY2XYZ(&white, &d65);
        toLinear = cmsCreateTransform(xyz.get(), TYPE_XYZ_DBL, linearRgb.get(), TYPE_RGB_DBL,
                                      INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE | cmsFLAGS_NOOPTIMIZE);
        toSrgb = cmsCreateTransform(linearRgb.get(), TYPE_RGB_DBL, srgb.get(), TYPE_RGB_8,
                                    INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE);
    }
    ~ChromaticityColors()
    {
        cmsDeleteTransform(toLinear);
        cmsDeleteTransform(toSrgb);
    }
    bool IsValid() const { return toLinear != nullptr && toSrgb != nullptr; }

    QColor Color(const QPointF& xy) const
    {
        const cmsCIExyY xyY = {xy.x(), xy.y(), 1.0};
        cmsCIEXYZ relative;
        cmsxyY2XYZ(&relative, &xyY);
        // Our D65 white becomes the connection space's D50 white.
        cmsCIEXYZ adapted;
        cmsAdaptToIlluminant(&adapted, &white, cmsD50_XYZ(), &relative);
        double rgb[3];
        cmsDoTransform(toLinear, &adapted, rgb, 1);
        for (double& channel : rgb) {
            channel = std::max(channel, 0.0);
        }
        const double peak = std::max({rgb[0], rgb[1], rgb[2]});
        if (peak > 0.0) {
            for (double& channel : rgb) {
                channel /= peak;
            }
        }
        unsigned char encoded[3];
        cmsDoTransform(toSrgb, rgb, encoded, 1);
        return QColor(encoded[0], encoded[1], encoded[2]);
    }

private:
    cmsCIEXYZ white {};
    cmsHTRANSFORM toLinear = nullptr;
    cmsHTRANSFORM toSrgb = nullptr;
};

void DrawGrid(QImage& image)
{
    for (int step = 1; step < 8; ++step) {
        const int column = qRound(ToImage(step / 10.0, 0).x());
        for (int row = Top; row <= Bottom; ++row) {
            image.setPixelColor(column, row, GridLine);
        }
    }
    for (int step = 1; step < 9; ++step) {
        const int row = qRound(ToImage(0, step / 10.0).y());
        for (int column = Left; column <= Right; ++column) {
            image.setPixelColor(column, row, GridLine);
        }
    }
}

void FillLocus(QImage& image, const QPolygonF& locus, const ChromaticityColors& colors)
{
    constexpr int Samples = 4;
    const QRect bounds = locus.boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1) & image.rect();
    for (int row = bounds.top(); row <= bounds.bottom(); ++row) {
        for (int column = bounds.left(); column <= bounds.right(); ++column) {
            int covered = 0;
            for (int i = 0; i < Samples; ++i) {
                for (int j = 0; j < Samples; ++j) {
                    const QPointF sample(column + (i + 0.5) / Samples, row + (j + 0.5) / Samples);
                    covered += locus.containsPoint(sample, Qt::WindingFill) ? 1 : 0;
                }
            }
            if (covered == 0) {
                continue;
            }
            const QColor fill = colors.Color(ToChromaticity(column + 0.5, row + 0.5));
            const QColor under = image.pixelColor(column, row);
            const double share = static_cast<double>(covered) / (Samples * Samples);
            image.setPixelColor(column, row,
                                QColor::fromRgbF(under.redF() + (fill.redF() - under.redF()) * share,
                                                 under.greenF() + (fill.greenF() - under.greenF()) * share,
                                                 under.blueF() + (fill.blueF() - under.blueF()) * share));
        }
    }
}

void DrawAxes(QImage& image)
{
    for (int row = Top; row <= Bottom; ++row) {
        image.setPixelColor(Left, row, Axis);
        image.setPixelColor(Right, row, Axis);
    }
    for (int column = Left; column <= Right; ++column) {
        image.setPixelColor(column, Top, Axis);
        image.setPixelColor(column, Bottom, Axis);
    }
}

void DrawLabels(QImage& image, const std::vector<LocusPoint>& locus)
{
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(8);
    painter.setFont(font);
    painter.setPen(Label);
    const QFontMetrics metrics(font);
    for (int step = 0; step <= 8; ++step) {
        const QString text = QString::number(step / 10.0, 'f', 1);
        const QPointF x = ToImage(step / 10.0, 0);
        painter.drawText(QPointF(x.x() - metrics.horizontalAdvance(text) / 2.0, Height - 3), text);
        const QPointF y = ToImage(0, step / 10.0);
        painter.drawText(QPointF(Left - 2 - metrics.horizontalAdvance(text), y.y() + 3), text);
    }

    // Some wavelengths beside the locus, pushed away from the white point.
    font.setPixelSize(7);
    painter.setFont(font);
    const QFontMetrics small(font);
    const QPointF white = ToImage(0.3127, 0.3290);
    for (const auto& point : locus) {
        const int nm = qRound(point.wavelength);
        const bool labelled = nm == 470 || nm == 480 || (nm >= 520 && nm <= 620 && nm % 20 == 0);
        if (std::abs(point.wavelength - nm) > 1e-6 || !labelled) {
            continue;
        }
        const QPointF at = ToImage(point.xy.x(), point.xy.y());
        QPointF away = at - white;
        away /= std::hypot(away.x(), away.y());
        const QString text = QString::number(nm);
        const QPointF centre = at + away * 11.0;
        painter.drawText(QPointF(centre.x() - small.horizontalAdvance(text) / 2.0, centre.y() + small.ascent() / 2.0),
                         text);
    }
}

}  // namespace

int main(int argc, char* argv[])
{
    ArtworkTool::UseOffscreenPlatform();
    QGuiApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: gamutchart CMF_TABLE OUTPUT.png\n");
        return 2;
    }
    const auto locus = ReadLocus(argv[1]);
    if (locus.size() < 3) {
        std::fprintf(stderr, "No colour-matching functions in %s\n", argv[1]);
        return 1;
    }
    ChromaticityColors colors;
    if (!colors.IsValid()) {
        std::fprintf(stderr, "Cannot make the colour transforms\n");
        return 1;
    }

    QPolygonF outline;
    for (const auto& point : locus) {
        outline << ToImage(point.xy.x(), point.xy.y());
    }

    QImage image(Width, Height, QImage::Format_ARGB32);
    image.fill(Ground);
    DrawGrid(image);
    FillLocus(image, outline, colors);
    DrawAxes(image);
    DrawLabels(image, locus);
    return ArtworkTool::Save(image, QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
