#include "Spectrine/Spectrine.h"
#include "tests/Spectrine/EngineHandles.h"
#include "tests/fixtures/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using namespace EngineTest;

const QString Photograph = QStringLiteral(KORVEL_SOURCE_DIR "/KorvelTintwise/resources/images/Preview.jpeg");
const QString Colord = QStringLiteral("/usr/share/color/icc/colord/");

KVStatus Transform(const QString& source, const QString& profile, const QString& destination)
{
    KVStatus status = -1;
    KVImageTransform(Text(source).get(), Text(profile).get(), Text(destination).get(), &status);
    return status;
}

// Largest and mean difference of any channel between two images of one size.
struct Difference {
    int largest = 0;
    double mean = 0;
};

Difference Compare(const QString& a, const QString& b)
{
    const QImage first = QImage(a).convertToFormat(QImage::Format_RGB888);
    const QImage second = QImage(b).convertToFormat(QImage::Format_RGB888);
    EXPECT_FALSE(first.isNull());
    EXPECT_EQ(first.size(), second.size());
    Difference difference;
    if (first.size() != second.size() || first.isNull()) {
        difference.largest = 256;
        return difference;
    }
    double sum = 0;
    for (int y = 0; y < first.height(); ++y) {
        const uchar* p = first.constScanLine(y);
        const uchar* q = second.constScanLine(y);
        for (int i = 0; i < first.width() * 3; ++i) {
            const int d = std::abs(int(p[i]) - int(q[i]));
            difference.largest = std::max(difference.largest, d);
            sum += d;
        }
    }
    difference.mean = sum / (double(first.width()) * first.height() * 3);
    return difference;
}

TEST(SpectrineImageTransformTest, MatchesJpgicc)
{
    QTemporaryDir folder;
    for (const char* name : {"AdobeRGB1998.icc", "ProPhotoRGB.icc", "Rec709.icc", "WideGamutRGB.icc"}) {
        SCOPED_TRACE(name);
        const QString ours = folder.filePath(QStringLiteral("ours-%1.jpeg").arg(name));
        const QString theirs = folder.filePath(QStringLiteral("jpgicc-%1.jpeg").arg(name));
        ASSERT_EQ(Transform(Photograph, Colord + name, ours), KVSuccess);
        const TestSupport::ProcessResult jpgicc = TestSupport::Run(
            "jpgicc", {"-n", "-t0", "-q90", "-i" + Colord + name, "-o*sRGB", Photograph, theirs});
        ASSERT_EQ(jpgicc.exitCode, 0) << jpgicc.err;
        const Difference difference = Compare(ours, theirs);
        EXPECT_LE(difference.largest, 6);
        EXPECT_LT(difference.mean, 1.0);
        // The transform changed the picture.
        EXPECT_GT(Compare(ours, Photograph).mean, 1.0);
    }
}

TEST(SpectrineImageTransformTest, FailureLeavesTheDestinationAsItWas)
{
    QTemporaryDir folder;
    const QString destination = folder.filePath("preview.jpeg");
    QFile existing(destination);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("earlier preview");
    existing.close();
    QFile notJpeg(folder.filePath("notes.jpeg"));
    ASSERT_TRUE(notJpeg.open(QIODevice::WriteOnly));
    notJpeg.write("not a photograph");
    notJpeg.close();

    const struct {
        const char* name;
        QString source, profile;
        KVStatus status;
    } cases[] = {
        {"Lab identity profile", Photograph, "/usr/share/color/icc/LCMSLABI.ICM", KVErrorInvalidProfile},
        {"grey profile", Photograph, "/usr/share/color/icc/Gray.icc", KVErrorInvalidProfile},
        {"text as profile", Photograph, notJpeg.fileName(), KVErrorInvalidProfile},
        {"missing profile", Photograph, folder.filePath("missing.icc"), KVErrorFileNotFound},
        {"missing source", folder.filePath("missing.jpeg"), Colord + "sRGB.icc", KVErrorFileNotFound},
        {"source no JPEG", notJpeg.fileName(), Colord + "sRGB.icc", KVErrorInvalidData},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Transform(c.source, c.profile, destination), c.status);
        ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
        EXPECT_EQ(existing.readAll(), "earlier preview");
        existing.close();
    }
    EXPECT_EQ(Transform(Photograph, Colord + "sRGB.icc", folder.filePath("no-folder/preview.jpeg")), KVErrorFileWrite);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 2) << "no temporary file stays";

    // A transform over an existing preview replaces it whole.
    EXPECT_EQ(Transform(Photograph, Colord + "sRGB.icc", destination), KVSuccess);
    EXPECT_FALSE(QImage(destination).isNull());
}

TEST(SpectrineImageTransformTest, TenThreadsAtOnce)
{
    QTemporaryDir folder;
    const QString profiles[] = {"AdobeRGB1998.icc", "ProPhotoRGB.icc", "Rec709.icc", "WideGamutRGB.icc", "sRGB.icc"};
    const auto output = [&](int i) { return folder.filePath(QStringLiteral("preview-%1.jpeg").arg(i)); };
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(Transform(Photograph, Colord + profiles[i], folder.filePath(QStringLiteral("alone-%1.jpeg").arg(i))),
                  KVSuccess);
    }
    std::vector<std::thread> threads;
    KVStatus statuses[10] = {};
    for (int i = 0; i < 10; ++i) {
        threads.emplace_back([&, i] { statuses[i] = Transform(Photograph, Colord + profiles[i % 5], output(i)); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(statuses[i], KVSuccess);
        QFile alone(folder.filePath(QStringLiteral("alone-%1.jpeg").arg(i % 5)));
        QFile concurrent(output(i));
        ASSERT_TRUE(alone.open(QIODevice::ReadOnly));
        ASSERT_TRUE(concurrent.open(QIODevice::ReadOnly));
        EXPECT_EQ(alone.readAll(), concurrent.readAll());
    }
}

}  // namespace
