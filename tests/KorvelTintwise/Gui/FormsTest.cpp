#include "Gui/ProfileInfoData.h"
#include "Gui/TopSeparator.h"
#include "tests/KorvelTintwise/GuiTestSupport.h"
#include "ui_PreferencesDialog.h"

#include <QDialog>
#include <QLabel>

#include <gtest/gtest.h>

namespace {

class FormsTest : public testing::Test {
protected:
    void SetUp() override { GuiTestSupport::Application(); }
};

TEST_F(FormsTest, PreferencesFormStartsOnTheAboutPageWithNothingSelected)
{
    QDialog window;
    Ui_PreferencesDialog form;
    form.setupUi(&window);
    EXPECT_EQ(form.PreferencesDialog_StackedWidget->currentIndex(), 3);
    EXPECT_EQ(form.PreferencesDialog_StackedWidget->currentWidget(), form.About_Page);
    EXPECT_EQ(form.SelectProfile_PreviewPage_ComboBox->currentIndex(), -1);
    EXPECT_EQ(form.SelectProfile_ProfileInfoPage_ComboBox->currentIndex(), -1);
    EXPECT_TRUE(form.PreviewImage_PreviewPage_PushButton->icon().isNull());
    EXPECT_NE(qobject_cast<TopSeparator*>(form.ButtonsSeparator_Widget), nullptr);

    // Exactly one tab button is checked, and clicking another moves the check.
    QToolButton* tabs[] = {form.Preview_Button, form.ProfileInfo_Button, form.Settings_Button, form.About_Button};
    const auto checked = [&tabs] {
        return std::count_if(std::begin(tabs), std::end(tabs), [](QToolButton* b) { return b->isChecked(); });
    };
    EXPECT_EQ(checked(), 1);
    EXPECT_TRUE(form.Preview_Button->isChecked());
    form.Settings_Button->click();
    EXPECT_EQ(checked(), 1);
    EXPECT_TRUE(form.Settings_Button->isChecked());

    // The warning sign lies over the Preview page's combo box.
    const auto siblings = form.Preview_Page->children();
    EXPECT_GT(siblings.indexOf(form.Warning_PreviewPage_Label), siblings.indexOf(form.SelectProfile_PreviewPage_ComboBox));
    EXPECT_TRUE(form.SelectProfile_PreviewPage_ComboBox->geometry().contains(form.Warning_PreviewPage_Label->geometry()));
    EXPECT_TRUE(form.Warning_PreviewPage_Label->text().isEmpty());
    EXPECT_FALSE(form.KorvelLogo_AboutPage_Label->pixmap().isNull());
    EXPECT_EQ(form.HuebergLogo_AboutPage_Label->pixmap().size(), QSize(80, 22));
}

TEST_F(FormsTest, StandardPanelStartsAtZeroAndEachSetterChangesOneLabel)
{
    ProfileInfoDataStandard panel;
    EXPECT_EQ(panel.geometry(), QRect(30, 140, 390, 200));
    const auto valueTexts = [&panel] {
        QMap<QString, QString> texts;
        for (auto* label : panel.findChildren<QLabel*>()) {
            texts[label->objectName()] = label->text();
        }
        return texts;
    };
    const auto initial = valueTexts();
    ASSERT_EQ(initial.size(), 16);
    for (const char* axis : {"Red", "Green", "Blue", "WhitePoint"}) {
        EXPECT_EQ(initial[QStringLiteral("%1_X_ProfileInfoPage_Label").arg(QLatin1String(axis))], QStringLiteral("x: 0.0000"));
        EXPECT_EQ(initial[QStringLiteral("%1_Y_ProfileInfoPage_Label").arg(QLatin1String(axis))], QStringLiteral("y: 0.0000"));
    }
    EXPECT_EQ(initial[QStringLiteral("GamaTargetValue_ProfileInfoPage_Label")], QStringLiteral("0.0"));
    EXPECT_EQ(initial[QStringLiteral("LuminanceValue_ProfileInfoPage_Label")], QStringLiteral("0"));

    const struct {
        void (ProfileInfoDataStandard::*setter)(QString);
        const char* label;
    } setters[] = {
        {&ProfileInfoDataStandard::SetRedX, "Red_X"},           {&ProfileInfoDataStandard::SetRedY, "Red_Y"},
        {&ProfileInfoDataStandard::SetGreenX, "Green_X"},       {&ProfileInfoDataStandard::SetGreenY, "Green_Y"},
        {&ProfileInfoDataStandard::SetBlueX, "Blue_X"},         {&ProfileInfoDataStandard::SetBlueY, "Blue_Y"},
        {&ProfileInfoDataStandard::SetWhitePointX, "WhitePoint_X"}, {&ProfileInfoDataStandard::SetWhitePointY, "WhitePoint_Y"},
        {&ProfileInfoDataStandard::SetGamma, "GamaTargetValue"}, {&ProfileInfoDataStandard::SetLuminance, "LuminanceValue"},
    };
    auto expected = initial;
    for (const auto& s : setters) {
        (panel.*s.setter)(QStringLiteral("set %1").arg(QLatin1String(s.label)));
        expected[QStringLiteral("%1_ProfileInfoPage_Label").arg(QLatin1String(s.label))] =
            QStringLiteral("set %1").arg(QLatin1String(s.label));
        EXPECT_EQ(valueTexts(), expected) << s.label;
    }
}

TEST_F(FormsTest, DicomPanelShowsItsFixedValues)
{
    ProfileInfoDataDicom panel;
    EXPECT_EQ(panel.geometry(), QRect(30, 140, 390, 200));
    const auto text = [&panel](const char* name) {
        return panel.findChild<QLabel*>(QLatin1String(name))->text();
    };
    EXPECT_EQ(text("MinimumLuminanceValue_ProfileInfoPage_Label"), QStringLiteral("1.1"));
    EXPECT_EQ(text("GamaTargetValue_ProfileInfoPage_Label"), QStringLiteral("DICOM"));
    EXPECT_EQ(text("LuminanceValue_ProfileInfoPage_Label"), QStringLiteral("100% brightness"));
}

}  // namespace
