#include "ProfileData/ImageTransformer.h"

#include "Common/Application/Constants.h"
#include "Common/Spectrine/Resource.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cstdio>

using Korvel::DisplayCalibration::Common::PreviewImageResource;
using Korvel::DisplayCalibration::Common::TransformedPreviewFileName;
using Korvel::DisplayCalibration::Common::Spectrine::UniString;

bool CopyReplacing(const QString& source, const QString& destination)
{
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray content = input.readAll();
    // A temporary file beside the destination, renamed over it (no flush to disk: a preview can be
    // made again).
    const QString temporary = destination + QStringLiteral(".tmp%1").arg(QRandomGenerator::global()->generate());
    QFile output(temporary);
    const bool written = output.open(QIODevice::WriteOnly) && output.write(content) == content.size();
    output.close();
    if (!written || std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(destination).constData()) != 0) {
        QFile::remove(temporary);
        return false;
    }
    return true;
}

ImageTransformer::ImageTransformer(const QString& profileName, const QString& profileFileName,
                                   const QString& imagesDirectory, const QString& colorDirectory,
                                   const QString& previewImagePath, bool force)
    : QThread(nullptr),
      m_ProfileName(profileName),
      m_ProfileFileName(profileFileName),
      m_ImagesDirectory(imagesDirectory),
      m_ColorDirectory(colorDirectory),
      m_PreviewImagePath(previewImagePath),
      m_OutputPath(imagesDirectory + QLatin1Char('/') + TransformedPreviewFileName.arg(profileName)),
      m_Force(force)
{
}

ImageTransformer::~ImageTransformer() = default;

void ImageTransformer::run()
{
    if (!m_Force && QFileInfo::exists(m_OutputPath)) {
        return;
    }
    if (m_ProfileName == QLatin1String("Native")) {
        CopyReplacing(PreviewImageResource, m_OutputPath);
        return;
    }
    Transform();
}

void ImageTransformer::Transform()
{
    const QString profilePath = m_ColorDirectory + QLatin1Char('/') + m_ProfileFileName;
    const UniString profile(KVUniStringCreateFromUtf8(profilePath.toUtf8().constData()));
    const UniString source(KVUniStringCreateFromUtf8(m_PreviewImagePath.toUtf8().constData()));
    const UniString output(KVUniStringCreateFromUtf8(m_OutputPath.toUtf8().constData()));
    KVStatus status = KVSuccess;
    KVImageTransform(source.Get(), profile.Get(), output.Get(), &status);
    if (status != KVSuccess) {
        // The engine leaves the output as it was; the stock photograph replaces whatever is there.
        CopyReplacing(PreviewImageResource, m_OutputPath);
    }
}
