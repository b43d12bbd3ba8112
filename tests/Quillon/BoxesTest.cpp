// CustomMessageBox and ProgressDialog on the test application's screens (QuillonFixtures.h); boxes
// are answered by the simulated user from the machine's answer queue.
#include "Quillon/Gui/CustomMessageBox.h"
#include "Quillon/Gui/ProgressDialog.h"
#include "Quillon/Gui/QuillonStyle.h"
#include "tests/Quillon/QuillonFixtures.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const Qt::WindowFlags BoxFlags = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint;

class BoxesTest : public testing::Test {
protected:
    void SetUp() override { QuillonTest::Application(); }
    TestSupport::TemporaryMachine machine;
};

// The style's message-box icon size (asked for a message box) times the DPI ratio 2 of the screen.
TEST_F(BoxesTest, IconIsTheStylesStandardIconAtTheScaledMessageBoxSize)
{
    const QMessageBox reference;
    const int size = 2 * QApplication::style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &reference);
    const auto image = [](const QPixmap& pixmap) {
        return pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    };
    const struct {
        QMessageBox::Icon icon;
        QStyle::StandardPixmap standard;
    } cases[] = {
        {QMessageBox::Information, QStyle::SP_MessageBoxInformation},
        {QMessageBox::Warning, QStyle::SP_MessageBoxWarning},
        {QMessageBox::Critical, QStyle::SP_MessageBoxCritical},
        {QMessageBox::Question, QStyle::SP_MessageBoxQuestion},
    };
    for (const auto& c : cases) {
        CustomMessageBox box(c.icon, "Quillon", "Text", nullptr, BoxFlags);
        const QPixmap shown = box.findChild<QLabel*>("Image")->pixmap();
        EXPECT_EQ(shown.size(), QSize(size, size));
        const QPixmap standard = QApplication::style()->standardIcon(c.standard, nullptr, &reference).pixmap(size, size);
        EXPECT_EQ(image(shown), image(standard.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
    CustomMessageBox none(QMessageBox::NoIcon, "Quillon", "Text", nullptr, BoxFlags);
    EXPECT_TRUE(none.findChild<QLabel*>("Image")->pixmap().isNull());
}

// 700 pixels on a 1920-pixel-wide screen, 1400 on one twice as wide; the text wraps within.
TEST_F(BoxesTest, WidthFollowsTheScreenAndTheTextWraps)
{
    const QString text = "First line<br>second line, " + QString("long text ").repeated(60);
    for (const auto& [position, width] : {std::pair{QPoint(0, 0), 700}, std::pair{QPoint(2200, 100), 1400}}) {
        CustomMessageBox box(QMessageBox::Critical, "Quillon", text, nullptr, BoxFlags);
        box.move(position);
        box.show();
        QApplication::processEvents();
        EXPECT_EQ(box.width(), width);
        EXPECT_EQ(box.minimumWidth(), width);
        const QLabel* label = box.findChild<QLabel*>("Text");
        EXPECT_EQ(label->textFormat(), Qt::AutoText);
        EXPECT_TRUE(label->wordWrap());
        EXPECT_LE(label->geometry().right(), width);
        EXPECT_GT(label->height(), 3 * label->fontMetrics().height()) << "several lines";
        EXPECT_EQ(box.height(), box.sizeHint().height());
    }
}

TEST_F(BoxesTest, OkAcceptsAndEveryOtherWayOutRejects)
{
    const struct {
        QString answer;  // queued for the simulated user; empty: Escape is pressed
        int result;
    } cases[] = {{"OK", QDialog::Accepted}, {"--close", QDialog::Rejected}, {"", QDialog::Rejected}};
    for (const auto& c : cases) {
        CustomMessageBox box(QMessageBox::Question, "Quillon", "Go on?", nullptr, BoxFlags);
        if (c.answer.isEmpty()) {
            QTimer::singleShot(0, &box, [&box] { QTest::keyClick(&box, Qt::Key_Escape); });
        } else {
            QuillonTest::QueueAnswer(c.answer);
        }
        EXPECT_EQ(box.exec(), c.result) << c.answer.toStdString();
    }
    EXPECT_EQ(QuillonTest::JournalEvents({"message-box"}),
              (QStringList{"message-box icon=question title=\"Quillon\" text=\"Go on?\" answer=\"OK\"",
                           "message-box icon=question title=\"Quillon\" text=\"Go on?\" answer=\"closed\"",
                           "message-box icon=question title=\"Quillon\" text=\"Go on?\" answer=\"closed\""}));
}

TEST_F(BoxesTest, ProgressBoxIsBusyAndIgnoresKeys)
{
    QWidget parent;
    parent.show();
    ProgressDialog progress("Quillon", 450, &parent);
    EXPECT_TRUE(progress.isVisible());
    EXPECT_EQ(progress.windowTitle(), "Quillon");
    EXPECT_EQ(progress.windowModality(), Qt::WindowModal);
    EXPECT_EQ(progress.minimumWidth(), 450);
    EXPECT_FALSE(progress.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(progress.windowFlags().testFlag(Qt::CustomizeWindowHint));
    EXPECT_TRUE(progress.findChildren<QPushButton*>().isEmpty()) << "no cancel button";
    const QProgressBar* bar = progress.findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 0);

    for (const int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Space, Qt::Key_A}) {
        QTest::keyClick(&progress, Qt::Key(key));
        EXPECT_TRUE(progress.isVisible()) << key;
    }
    EXPECT_FALSE(progress.wasCanceled());
    progress.reset();
    EXPECT_FALSE(progress.isVisible());
}

}  // namespace
