#include "Gui/AcknowledgementsDialog.h"
#include "tests/KorvelTintwise/GuiTestSupport.h"

#include <QLabel>
#include <QRegularExpression>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace {

TEST(AcknowledgementsDialogTest, ShowsNameVersionAndTheLicenceTextReadOnly)
{
    GuiTestSupport::Application();
    QCoreApplication::setApplicationName(QStringLiteral("Korvel Tintwise"));
    const QVersionNumber version(2, 56, 0);
    AcknowledgementsDialog dialog(&version);

    const auto* label = dialog.findChild<QLabel*>(QStringLiteral("AcknowledgementsDialog_Label"));
    const auto* text = dialog.findChild<QTextEdit*>(QStringLiteral("AcknowledgementsDialog_TextEdit"));
    ASSERT_TRUE(label && text);
    EXPECT_EQ(label->text().section(QLatin1Char('\n'), 0, 0), QStringLiteral("Korvel Tintwise 2.56.0"));
    EXPECT_EQ(label->text().count(QLatin1Char('\n')), 1);
    EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Acknowledgements"));

    // The plain text as it stands, e-mail addresses in angle brackets included.
    EXPECT_TRUE(text->toPlainText().contains(QLatin1String("OpenSSL")));
    EXPECT_TRUE(text->toPlainText().contains(QRegularExpression(QStringLiteral("<[^ >]+@[^ >]+>"))));
    EXPECT_TRUE(text->isReadOnly());
    const auto flags = text->textInteractionFlags();
    EXPECT_TRUE(flags.testFlag(Qt::TextSelectableByMouse));
    EXPECT_TRUE(flags.testFlag(Qt::TextSelectableByKeyboard));
    EXPECT_TRUE(flags.testFlag(Qt::LinksAccessibleByMouse));
}

}  // namespace
