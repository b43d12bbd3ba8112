// Writes the preview of one profile on a thread of its own: the stock photograph through the
// profile's colour transform, as "TransformedPreview_<key>.jpeg" in the images directory.
#pragma once

#include <QString>
#include <QThread>

class ImageTransformer : public QThread {
    Q_OBJECT

public:
    ImageTransformer(const QString& profileName, const QString& profileFileName, const QString& imagesDirectory,
                     const QString& colorDirectory, const QString& previewImagePath, bool force);
    ~ImageTransformer() override;

    // The engine work of run: transforms the preview, or copies the stock photograph when the
    // engine fails.
    void Transform();

protected:
    void run() override;

private:
    QString m_ProfileName;
    QString m_ProfileFileName;
    QString m_ImagesDirectory;
    QString m_ColorDirectory;
    QString m_PreviewImagePath;
    QString m_OutputPath;
    bool m_Force;
};

// Writes a copy of `source` at `destination` through a temporary file, replacing what is there.
bool CopyReplacing(const QString& source, const QString& destination);
