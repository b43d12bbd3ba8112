// Pattern icons read their files only when a pixmap is asked for; what they give must be what Qt's
// own icon of the same files gives. Inputs: Debian's Adwaita emblems (no 256-pixel one).
#include "Gui/CreateIconFromPattern.h"
#include "tests/KorvelTintwise/GuiTestSupport.h"

#include <QFile>
#include <QIcon>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString Emblems = QStringLiteral("/usr/share/icons/Adwaita/$dimension$x$dimension$/emblems/%1.png");
const QList<int> Sizes = {8, 16, 22, 24, 32, 48, 256, 512};

QString Emblem(const char* name)
{
    return Emblems.arg(QLatin1String(name));
}

QIcon QtIcon(const QList<std::tuple<QString, QIcon::Mode, QIcon::State>>& patterns)
{
    QIcon icon;
    for (const auto& [pattern, mode, state] : patterns) {
        for (const int size : Sizes) {
            icon.addFile(QString(pattern).replace(QStringLiteral("$dimension$"), QString::number(size)), QSize(size, size),
                         mode, state);
        }
    }
    return icon;
}

QImage Pixels(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

TEST(CreateIconFromPatternTest, GivesWhatQtsIconOfTheSameFilesGives)
{
    GuiTestSupport::Application();
    // Two patterns in one icon, as the tab buttons have them: the second goes through QIcon::addFile.
    const QList<std::tuple<QString, QIcon::Mode, QIcon::State>> cases[] = {
        {{Emblem("emblem-shared"), QIcon::Normal, QIcon::Off}},
        {{Emblem("emblem-readonly"), QIcon::Selected, QIcon::Off}, {Emblem("emblem-symbolic-link"), QIcon::Selected, QIcon::On}},
    };
    for (const auto& patterns : cases) {
        QIcon ours;
        for (const auto& [pattern, mode, state] : patterns) {
            CreateIconFromPattern(ours, pattern, Sizes, mode, state);
        }
        const QIcon qt = QtIcon(patterns);
        ASSERT_FALSE(ours.isNull());
        for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled, QIcon::Active, QIcon::Selected}) {
            for (const QIcon::State state : {QIcon::Off, QIcon::On}) {
                SCOPED_TRACE(testing::Message() << std::get<0>(patterns.first()).toStdString() << " mode " << mode
                                                << " state " << state);
                EXPECT_EQ(ours.availableSizes(mode, state), qt.availableSizes(mode, state));
                for (const int side : {4, 8, 12, 16, 20, 24, 30, 48, 100, 256, 512, 1024}) {
                    const QSize size(side, side);
                    EXPECT_EQ(ours.actualSize(size, mode, state), qt.actualSize(size, mode, state)) << side;
                    EXPECT_EQ(Pixels(ours.pixmap(size, mode, state)), Pixels(qt.pixmap(size, mode, state))) << side;
                }
            }
        }
    }
}

TEST(CreateIconFromPatternTest, MissingFilesAddNothing)
{
    GuiTestSupport::Application();
    QIcon icon;
    CreateIconFromPattern(icon, Emblem("emblem-shared"), {256, 1000}, QIcon::Normal, QIcon::Off);
    EXPECT_TRUE(icon.isNull());
    EXPECT_TRUE(icon.pixmap(16).isNull());
}

TEST(CreateIconFromPatternTest, ReadPictureReadsAFileWhoseSuffixDoesNotDescribeIt)
{
    GuiTestSupport::Application();
    const QString png = QString(Emblem("emblem-shared")).replace(QStringLiteral("$dimension$"), QStringLiteral("48"));
    QTemporaryDir directory;
    const QString misnamed = directory.filePath(QStringLiteral("emblem.jpg"));
    ASSERT_TRUE(QFile::copy(png, misnamed));
    const QImage expected(png);
    ASSERT_FALSE(expected.isNull());
    EXPECT_EQ(ReadPicture(png), expected);
    EXPECT_EQ(ReadPicture(misnamed), expected);
    EXPECT_TRUE(ReadPicture(directory.filePath(QStringLiteral("missing.png"))).isNull());
}

}  // namespace
