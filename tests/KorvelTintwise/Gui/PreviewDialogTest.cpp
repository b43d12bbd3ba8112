#include "Gui/PreviewDialog.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "tests/Common/HardwareInfo/DisplayFixtures.h"
#include "tests/KorvelTintwise/GuiTestSupport.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <gtest/gtest.h>

#include <memory>

namespace HardwareInfo = Korvel::DisplayCalibration::Common::HardwareInfo;
using namespace DisplayFixtures;

namespace {

class PreviewDialogTest : public testing::Test {
protected:
    void SetUp() override { GuiTestSupport::Application(); }

    // The panel of the default machine, on "\\.\DISPLAY1".
    std::unique_ptr<HardwareInfo::IDisplayHelper> Helper()
    {
        return std::unique_ptr<HardwareInfo::IDisplayHelper>(
            HardwareInfo::DisplayHelperFactory().Create(QStringLiteral("KVL4A1C")));
    }

    TestSupport::TemporaryMachine machine;
};

TEST_F(PreviewDialogTest, PictureFillsTheRoomLeftByTheTextRowsKeepingItsProportion)
{
    const auto helper = Helper();
    const struct {
        QSize picture;
        bool byHeight;
    } cases[] = {
        {{1200, 800}, true},  // as wide as the room allows would overflow the height
        {{1200, 400}, false}, {{600, 900}, true}, {{500, 500}, true}, {{3000, 100}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.picture.width());
        PreviewDialog dialog(helper.get());
        QPixmap picture(c.picture);
        picture.fill(Qt::red);
        dialog.SetPreviewPixmap(picture);
        dialog.show();
        auto* label = dialog.findChild<QLabel*>(QStringLiteral("FullScreen_PreviewDialog_Label"));
        const int textRows = std::max(dialog.findChild<QLabel*>(QStringLiteral("Info_PreviewDialog_Label"))->height(),
                                      dialog.findChild<QPushButton*>(QStringLiteral("Exit_PreviewDialog_PushButton"))->height()) +
                             dialog.findChild<QLabel*>(QStringLiteral("Instructions_PreviewDialog_Label"))->height();
        const int roomHeight = GuiTestSupport::FirstScreen.height() - textRows;
        const int roomWidth = GuiTestSupport::FirstScreen.width() - 2;  // the two 1-pixel spacers
        const double w = c.picture.width(), h = c.picture.height();
        const QSize expected = c.byHeight ? QSize(static_cast<int>(w / h * roomHeight), roomHeight)
                                          : QSize(roomWidth, static_cast<int>(h / w * roomWidth));
        EXPECT_EQ(label->minimumSize(), expected);
        EXPECT_EQ(label->maximumSize(), expected);
        EXPECT_LE(expected.height(), roomHeight);
        EXPECT_LE(expected.width(), roomWidth);
        EXPECT_EQ(dialog.geometry(), GuiTestSupport::FirstScreen);
    }
}

TEST_F(PreviewDialogTest, EmptyPictureKeepsTheLabelsSize)
{
    const auto helper = Helper();
    PreviewDialog dialog(helper.get());
    auto* label = dialog.findChild<QLabel*>(QStringLiteral("FullScreen_PreviewDialog_Label"));
    dialog.SetPreviewPixmap(QPixmap());
    dialog.show();
    EXPECT_EQ(label->minimumSize(), QSize(1, 1));
    EXPECT_EQ(label->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
}

TEST_F(PreviewDialogTest, FormPictureIsDecodedWhenShownWithoutAnotherOne)
{
    const auto helper = Helper();
    const QSize form = QImage(PreviewDialog::FormPicture).size();
    ASSERT_FALSE(form.isEmpty());
    const struct {
        bool given;
        QSize shown;
    } cases[] = {{false, form}, {true, QSize(40, 30)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given);
        PreviewDialog dialog(helper.get());
        auto* label = dialog.findChild<QLabel*>(QStringLiteral("FullScreen_PreviewDialog_Label"));
        EXPECT_TRUE(label->pixmap().isNull());
        if (c.given) {
            dialog.SetPreviewPixmap(QPixmap(c.shown));
        }
        dialog.show();
        EXPECT_EQ(label->pixmap().size(), c.shown);
    }
}

TEST_F(PreviewDialogTest, OpensOnTheScreenOfThePanelAndFramelessGrey)
{
    SetDisplays({{ExternalEdid(), 10, true, "\\\\.\\DISPLAY1"}, {PanelEdid(), 0x80000000LL, true, "\\\\.\\DISPLAY2", 0, true}});
    const std::unique_ptr<HardwareInfo::IDisplayHelper> helper(
        HardwareInfo::DisplayHelperFactory().Create(QStringLiteral("SHP14C4")));
    ASSERT_EQ(helper->GetAdapterDeviceName(), QStringLiteral("\\\\.\\DISPLAY2"));
    PreviewDialog dialog(helper.get());
    EXPECT_EQ(dialog.geometry(), GuiTestSupport::SecondScreen);
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(dialog.palette().color(QPalette::Window), QColor(127, 127, 127));
    dialog.ShowOnInternalPanel(true);
    EXPECT_TRUE(dialog.isMaximized());
    EXPECT_EQ(dialog.screen()->name(), QStringLiteral("\\\\.\\DISPLAY2"));

    // A panel no screen is named after: the first screen.
    SetDisplays({{PanelEdid(), 0x80000000LL, true, "\\\\.\\DISPLAY7", 0, true}});
    const std::unique_ptr<HardwareInfo::IDisplayHelper> elsewhere(
        HardwareInfo::DisplayHelperFactory().Create(QStringLiteral("SHP14C4")));
    PreviewDialog fallback(elsewhere.get());
    EXPECT_EQ(fallback.geometry(), GuiTestSupport::FirstScreen);
}

TEST_F(PreviewDialogTest, ExitButtonClosesTheWindow)
{
    const auto helper = Helper();
    PreviewDialog dialog(helper.get());
    dialog.show();
    dialog.findChild<QPushButton*>(QStringLiteral("Exit_PreviewDialog_PushButton"))->click();
    EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
