#include "ProfileData/ProfileData.h"

#include "ProfileData/ProfileQualityReportParser.h"
#include "ProfileData/QualityReportPath.h"

#include <array>

namespace {

struct StandardPrimaries {
    ProfileData::Chromaticity red, green, blue;
};

// Indexed by ColorSpaceKind.
const std::array<StandardPrimaries, 6> Standard = {{
    {{0.64, 0.33}, {0.30, 0.60}, {0.15, 0.06}},
    {{0.64, 0.33}, {0.21, 0.71}, {0.15, 0.06}},
    {{0.68, 0.32}, {0.265, 0.69}, {0.15, 0.06}},
    {{0.68, 0.32}, {0.265, 0.69}, {0.15, 0.06}},
    {{0, 0}, {0, 0}, {0, 0}},
    {{0.708, 0.292}, {0.17, 0.797}, {0.131, 0.046}},
}};

}  // namespace

ProfileData::ProfileData(const QString& fullPath, const QString& name, const QString& displayName,
                         const QString& fileName, int colorSpaceKind, const Chromaticity& whitePoint,
                         const QString& gammaText, const QString& luminanceText, int brightnessLevel,
                         const QString& description)
    : m_FullPath(fullPath),
      m_Name(name),
      m_DisplayName(displayName),
      m_FileName(fileName),
      m_RedPrimary(0, 0),
      m_GreenPrimary(0, 0),
      m_BluePrimary(0, 0),
      m_ColorSpaceKind(colorSpaceKind),
      m_WhitePoint(whitePoint),
      m_GammaText(gammaText),
      m_LuminanceText(luminanceText),
      m_BrightnessLevel(brightnessLevel),
      m_Description(description)
{
    if (!ReadQualityReportPrimaries() && colorSpaceKind >= 0 && colorSpaceKind < int(Standard.size())) {
        const StandardPrimaries& standard = Standard[std::size_t(colorSpaceKind)];
        m_RedPrimary = standard.red;
        m_GreenPrimary = standard.green;
        m_BluePrimary = standard.blue;
    }
}

bool ProfileData::ReadQualityReportPrimaries()
{
    const QString reportPath = QualityReportPath(m_FullPath);
    if (reportPath.isEmpty()) {
        return false;
    }
    ProfileQualityReportParser parser;
    QString error;
    if (!parser.Load(reportPath, error)) {
        return false;
    }
    m_RedPrimary = parser.GetRedPrimary();
    m_GreenPrimary = parser.GetGreenPrimary();
    m_BluePrimary = parser.GetBluePrimary();
    return true;
}

const QPixmap& ProfileData::GetPreviewImage() const
{
    DecodePreviewImage();
    return m_PreviewImage;
}

void ProfileData::SetPreviewImage(const QPixmap& image)
{
    DecodePreviewImage();
    m_PreviewImage = image;
}

const QPixmap& ProfileData::GetScaledPreviewImage() const
{
    DecodePreviewImage();
    return m_ScaledPreviewImage;
}

void ProfileData::SetScaledPreviewImage(const QPixmap& image)
{
    DecodePreviewImage();
    m_ScaledPreviewImage = image;
}

ProfileData ProfileData::ListedAs(const QString& fileName, int brightnessLevel) const
{
    ProfileData listed(*this);
    listed.m_FileName = fileName;
    listed.m_BrightnessLevel = brightnessLevel;
    return listed;
}

void ProfileData::SetEncodedPreviewImage(const QByteArray& encoded, const QSize& scaledBound)
{
    m_PreviewImage = QPixmap();
    m_ScaledPreviewImage = QPixmap();
    m_EncodedPreview = encoded;
    m_ScaledPreviewBound = scaledBound;
}

void ProfileData::DecodePreviewImage() const
{
    if (m_EncodedPreview.isEmpty()) {
        return;
    }
    m_PreviewImage.loadFromData(m_EncodedPreview);
    if (!m_PreviewImage.isNull()) {
        m_ScaledPreviewImage = m_PreviewImage.scaled(m_ScaledPreviewBound, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    m_EncodedPreview = QByteArray();
}
