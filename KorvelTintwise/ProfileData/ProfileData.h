// What the user interface shows of one calibrated display profile.
#pragma once

#include <QByteArray>
#include <QPixmap>
#include <QSize>
#include <QString>

#include <utility>

// Colour space whose standard primaries stand in when no measured ones are known.
enum ColorSpaceKind : int {
    ColorSpaceSrgb = 0,  // sRGB and Rec. 709
    ColorSpaceAdobeRgb = 1,
    ColorSpaceDciP3 = 2,
    ColorSpaceDisplayP3 = 3,
    ColorSpaceNone = 4,  // uncalibrated
    ColorSpaceBt2020 = 5,
};

class ProfileData {
public:
    using Chromaticity = std::pair<double, double>;  // CIE 1931 x, y

    // The primaries come from the profile's quality report ("X.icm" -> "X_Quality.txt") when it
    // reads, else from the standard primaries of the kind (0, 0 for other kinds).
    ProfileData(const QString& fullPath, const QString& name, const QString& displayName, const QString& fileName,
                int colorSpaceKind, const Chromaticity& whitePoint, const QString& gammaText,
                const QString& luminanceText, int brightnessLevel, const QString& description);

    bool ReadQualityReportPrimaries();

    // This profile as a list lists it: the same values under a file name and a brightness level.
    // The primaries stay those read for this path; its report is not read again.
    ProfileData ListedAs(const QString& fileName, int brightnessLevel) const;

    const QString& GetFullPath() const { return m_FullPath; }
    const QString& GetName() const { return m_Name; }
    const QString& GetDisplayName() const { return m_DisplayName; }
    const QString& GetFileName() const { return m_FileName; }
    const Chromaticity& GetRedPrimary() const { return m_RedPrimary; }
    const Chromaticity& GetGreenPrimary() const { return m_GreenPrimary; }
    const Chromaticity& GetBluePrimary() const { return m_BluePrimary; }
    int GetColorSpaceType() const { return m_ColorSpaceKind; }
    const Chromaticity& GetWhitePoint() const { return m_WhitePoint; }
    const QString& GetGammaText() const { return m_GammaText; }
    const QString& GetLuminanceText() const { return m_LuminanceText; }
    int GetBrightnessLevel() const { return m_BrightnessLevel; }
    void SetBrightnessLevel(int level) { m_BrightnessLevel = level; }
    const QString& GetDescription() const { return m_Description; }
    const QPixmap& GetPreviewImage() const;
    void SetPreviewImage(const QPixmap& image);
    const QPixmap& GetScaledPreviewImage() const;
    void SetScaledPreviewImage(const QPixmap& image);
    // The preview as its picture file's bytes: both images are decoded from them on first use, the
    // scaled one fitted into `scaledBound` (aspect kept, smooth), and stay null should they not decode.
    void SetEncodedPreviewImage(const QByteArray& encoded, const QSize& scaledBound);

private:
    QString m_FullPath;
    QString m_Name;
    QString m_DisplayName;
    QString m_FileName;
    Chromaticity m_RedPrimary;
    Chromaticity m_GreenPrimary;
    Chromaticity m_BluePrimary;
    int m_ColorSpaceKind;
    Chromaticity m_WhitePoint;
    QString m_GammaText;
    QString m_LuminanceText;
    int m_BrightnessLevel;
    QString m_Description;
    void DecodePreviewImage() const;

    mutable QByteArray m_EncodedPreview;
    QSize m_ScaledPreviewBound;
    mutable QPixmap m_PreviewImage;
    mutable QPixmap m_ScaledPreviewImage;
};
