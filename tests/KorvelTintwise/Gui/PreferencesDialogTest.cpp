#include "Gui/PreferencesDialog.h"
#include "Common/Application/Constants.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/Settings/Configuration.h"
#include "Common/Settings/IStartupHelper.h"
#include "Gui/AcknowledgementsDialog.h"
#include "Gui/ColorGamutScene.h"
#include "Gui/ProfileInfoData.h"
#include "Gui/SdrProfileQualityReportDlg.h"
#include "Gui/TrayMenu.h"
#include "ProfileData/ProfileData.h"
#include "WindowsStandIn/Machine.h"
#include "tests/KorvelTintwise/TintwiseFixtures.h"
#include "ui_PreferencesDialog.h"

#include <QDesktopServices>
#include <QFile>
#include <QGraphicsView>
#include <QLabel>
#include <QPointer>
#include <QStandardItemModel>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace Constants = Korvel::DisplayCalibration::Common;
namespace HardwareInfo = Korvel::DisplayCalibration::Common::HardwareInfo;
namespace Settings = Korvel::DisplayCalibration::Common::Settings;
using namespace TintwiseTest;

namespace {

const QString ProfileFormat = QStringLiteral("KVL_4A1C_{ProfileName}.icm");

class FakeStartupHelper : public Settings::IStartupHelper {
public:
    bool IsEnabled() override { return enabled; }
    void Enable() override
    {
        ++enables;
        if (failing) {
            throw std::runtime_error("elevation refused");
        }
        enabled = true;
    }
    void Disable() override
    {
        ++disables;
        if (failing) {
            throw std::runtime_error("elevation refused");
        }
        enabled = false;
    }

    bool enabled = false;
    bool failing = false;
    int enables = 0;
    int disables = 0;
};

// Records the addresses the desktop is asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT

public slots:
    void Open(const QUrl& url) { opened << url; }

public:
    QList<QUrl> opened;
};

class PreferencesDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        TrayApplication();
        displayHelper.reset(HardwareInfo::DisplayHelperFactory().Create(QStringLiteral("KVL4A1C")));
        configuration = std::make_unique<Settings::Configuration>();
        trayMenu = std::make_unique<TrayMenu>(&notifiers, nullptr);
    }

    std::unique_ptr<PreferencesDialog> Window(bool lidClosed = false)
    {
        return std::make_unique<PreferencesDialog>(trayMenu.get(), QVersionNumber(2, 56, 0), &startup,
                                                   displayHelper.get(), configuration.get(), &profiles, lidClosed);
    }

    // A profile of the list; `path` relative to the test folder.
    void Add(const QString& path, const QString& name, int kind = 0, std::pair<double, double> white = {0.31, 0.32},
             const QString& luminance = QStringLiteral("250.00"), const QString& gamma = QStringLiteral("2.2"))
    {
        profiles.append(std::make_shared<ProfileData>(folder.filePath(path), name, name + " shown", path, kind, white,
                                                      gamma, luminance, 100, name + " description"));
    }

    // A generated factory set in the test folder: profiles and their "_Quality.txt" reports.
    void MakeSet(const QString& keys)
    {
        MakeProfileSet(folder.path(), {"--format", ProfileFormat, "--profiles", keys, "--luminance", "300"});
    }

    void Copy(const QString& from, const QString& to)
    {
        ASSERT_TRUE(QFile::copy(folder.filePath(from), folder.filePath(to))) << to;
    }

    static Ui_PreferencesDialog& Form(PreferencesDialog& window)
    {
        // The form's widgets are found by their object names.
        static Ui_PreferencesDialog form;
        form.SelectProfile_PreviewPage_ComboBox = window.findChild<QComboBox*>("SelectProfile_PreviewPage_ComboBox");
        form.SelectProfile_ProfileInfoPage_ComboBox =
            window.findChild<QComboBox*>("SelectProfile_ProfileInfoPage_ComboBox");
        form.QualityReport_PreviewPage_PushButton = window.findChild<QPushButton*>("QualityReport_PreviewPage_PushButton");
        form.QualityReport_ProfileInfoPage_PushButton =
            window.findChild<QPushButton*>("QualityReport_ProfileInfoPage_PushButton");
        form.AboutProfile_PreviewPage_GroupBox = window.findChild<QGroupBox*>("AboutProfile_PreviewPage_GroupBox");
        form.AboutProfile_PreviewPage_TextEdit = window.findChild<QTextEdit*>("AboutProfile_PreviewPage_TextEdit");
        form.PreferencesDialog_StackedWidget = window.findChild<QStackedWidget*>("PreferencesDialog_StackedWidget");
        form.Warning_PreviewPage_Label = window.findChild<QLabel*>("Warning_PreviewPage_Label");
        form.Warning_ProfileInfoPage_Label = window.findChild<QLabel*>("Warning_ProfileInfoPage_Label");
        form.Startup_SettingsPage_CheckBox = window.findChild<QCheckBox*>("Startup_SettingsPage_CheckBox");
        form.ProfileAlignmentInDDS_SettingsPage_CheckBox =
            window.findChild<QCheckBox*>("ProfileAlignmentInDDS_SettingsPage_CheckBox");
        form.DdsAlignmentWidget = window.findChild<QWidget*>("DdsAlignmentWidget");
        form.PreviewImage_PreviewPage_PushButton = window.findChild<QPushButton*>("PreviewImage_PreviewPage_PushButton");
        form.GamutDiagram_ProfileInfoPage_GraphicsView =
            window.findChild<QGraphicsView*>("GamutDiagram_ProfileInfoPage_GraphicsView");
        return form;
    }

    TestSupport::TemporaryMachine machine;
    QTemporaryDir folder;
    RecordingNotifierFactory notifiers;
    FakeStartupHelper startup;
    std::unique_ptr<HardwareInfo::IDisplayHelper> displayHelper;
    std::unique_ptr<Settings::IConfiguration> configuration;
    std::unique_ptr<TrayMenu> trayMenu;
    PreferencesDialog::ProfileList profiles;
};

TEST_F(PreferencesDialogTest, StartsHiddenOnThePreviewPageCentredWithNothingSelected)
{
    Add("a.icm", "sRGB");
    const auto window = Window();
    auto& form = Form(*window);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(form.PreferencesDialog_StackedWidget->currentIndex(), 0);
    EXPECT_EQ(window->pos(), QPoint((1920 - 730) / 2, (1080 - 511) / 2));
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    EXPECT_EQ(form.SelectProfile_PreviewPage_ComboBox->currentIndex(), 0);
    for (QWidget* hidden : std::initializer_list<QWidget*> {form.QualityReport_PreviewPage_PushButton,
                                                            form.QualityReport_ProfileInfoPage_PushButton,
                                                            form.Warning_PreviewPage_Label, form.Warning_ProfileInfoPage_Label,
                                                            form.DdsAlignmentWidget}) {
        EXPECT_TRUE(hidden->isHidden()) << hidden->objectName();
    }
    EXPECT_FALSE(form.PreviewImage_PreviewPage_PushButton->icon().isNull()) << "the stock photograph";
    EXPECT_EQ(form.GamutDiagram_ProfileInfoPage_GraphicsView->minimumSize(), QSize(278, 302));
    const QIcon preview = window->findChild<QToolButton*>("Preview_Button")->icon();
    EXPECT_FALSE(preview.pixmap(QSize(60, 60), QIcon::Selected, QIcon::On).isNull());
    EXPECT_NE(preview.pixmap(QSize(60, 60), QIcon::Selected, QIcon::On).toImage(),
              preview.pixmap(QSize(60, 60), QIcon::Selected, QIcon::Off).toImage());

    const struct {
        const char* button;
        int page;
    } pages[] = {{"ProfileInfo_Button", 1}, {"Settings_Button", 2}, {"About_Button", 3}, {"Preview_Button", 0}};
    for (const auto& p : pages) {
        window->findChild<QToolButton*>(p.button)->click();
        EXPECT_EQ(form.PreferencesDialog_StackedWidget->currentIndex(), p.page) << p.button;
    }
}

TEST_F(PreferencesDialogTest, ListsGreyOutProfilesOfTheOtherDynamicRange)
{
    Add("s.icm", "sRGB");
    Add("h.icm", "Korvel_HDR10");
    Add("l.icm", "korvel_hdr10");
    Add("n.icm", "Native");
    for (const bool hdrOn : {false, true}) {
        SCOPED_TRACE(hdrOn);
        WinSim::SetDescriptionValue(QStringLiteral("displays.0.hdr.enabled"), hdrOn);
        ASSERT_EQ(displayHelper->IsHdrActive(), hdrOn);
        const auto window = Window();
        auto& form = Form(*window);
        for (QComboBox* box : {form.SelectProfile_PreviewPage_ComboBox, form.SelectProfile_ProfileInfoPage_ComboBox}) {
            ASSERT_EQ(box->count(), 5);
            EXPECT_EQ(box->itemText(0), QString());
            const auto* model = qobject_cast<QStandardItemModel*>(box->model());
            for (int i = 0; i < profiles.size(); ++i) {
                const QStandardItem* item = model->item(i + 1);
                const bool hdrProfile = i == 1 || i == 2;
                EXPECT_EQ(item->text(), profiles[i]->GetDisplayName());
                EXPECT_EQ(item->isEnabled(), hdrProfile == hdrOn) << i;
                EXPECT_EQ(item->foreground().color(), hdrProfile == hdrOn ? QColor(Qt::white) : QColor(Qt::darkGray));
                const QString tip = item->toolTip();
                if (hdrProfile == hdrOn) {
                    EXPECT_TRUE(tip.isEmpty());
                } else {
                    EXPECT_TRUE(tip.startsWith(hdrOn ? "THIS IS SDR PROFILE!\nIn order to use it, disable"
                                                     : "THIS IS HDR PROFILE!\nIn order to use it, enable"))
                        << tip;
                    EXPECT_TRUE(tip.endsWith(hdrOn ? "    3. Turn off Use HDR." : "    3. Turn on Use HDR.")) << tip;
                }
            }
        }
    }
}

TEST_F(PreferencesDialogTest, PicksReportTheProfileAndTheEmptyEntryRestoresTheCurrentOne)
{
    for (const char* name : {"sRGB", "AdobeRGB", "DCIP3", "DisplayP3", "Native"}) {
        Add(QStringLiteral("%1.icm").arg(QLatin1String(name)), QLatin1String(name));
    }
    const auto window = Window();
    auto& form = Form(*window);
    QList<int> picked;
    QObject::connect(window.get(), &PreferencesDialog::ProfileChangeTriggered, [&picked](int i) { picked << i; });
    window->SelectProfile(2);
    window->OnBrightnessMismatchFound();
    EXPECT_FALSE(form.Warning_PreviewPage_Label->isHidden());
    EXPECT_EQ(form.Warning_ProfileInfoPage_Label->toolTip(),
              "Brightness not accurate for the selected profile, \nReselect the profile to the correct brightness.");

    form.SelectProfile_PreviewPage_ComboBox->setCurrentIndex(0);
    emit form.SelectProfile_PreviewPage_ComboBox->activated(0);
    EXPECT_TRUE(picked.isEmpty());
    EXPECT_EQ(form.SelectProfile_PreviewPage_ComboBox->currentIndex(), 3);
    EXPECT_EQ(form.SelectProfile_ProfileInfoPage_ComboBox->currentIndex(), 3);
    EXPECT_FALSE(form.Warning_PreviewPage_Label->isHidden());

    form.SelectProfile_ProfileInfoPage_ComboBox->setCurrentIndex(4);
    emit form.SelectProfile_ProfileInfoPage_ComboBox->activated(4);
    EXPECT_EQ(picked, QList<int>{3});
    EXPECT_EQ(form.SelectProfile_ProfileInfoPage_ComboBox->currentIndex(), 4) << "until the window is told";
    EXPECT_TRUE(form.Warning_PreviewPage_Label->isHidden());
    EXPECT_TRUE(form.Warning_ProfileInfoPage_Label->isHidden());

    EXPECT_EQ(window->FindProfileIndex(QString()), -1);
    EXPECT_EQ(window->FindProfileIndex("DCIP3 shown"), 3);
    EXPECT_EQ(window->FindProfileIndex("dcip3 shown"), -1);
    window->SelectProfile(0);
    EXPECT_EQ(window->GetCurrentProfileName(), "sRGB shown");

    // An empty list: one empty entry, and picking it reports nothing.
    profiles.clear();
    window->FillProfileComboBoxes();
    window->SetCurrentProfileIndex();
    EXPECT_EQ(form.SelectProfile_PreviewPage_ComboBox->count(), 1);
    emit form.SelectProfile_PreviewPage_ComboBox->activated(0);
    EXPECT_EQ(picked, QList<int>{3});
}

TEST_F(PreferencesDialogTest, IndexOutsideTheListShowsNoProfile)
{
    MakeSet("sRGB,AdobeRGB");
    Add("KVL_4A1C_sRGB.icm", "sRGB");
    Add("KVL_4A1C_AdobeRGB.icm", "AdobeRGB");
    const auto window = Window();
    auto& form = Form(*window);
    auto* scene = dynamic_cast<ColorGamutScene*>(form.GamutDiagram_ProfileInfoPage_GraphicsView->scene());
    ASSERT_NE(scene, nullptr);
    const auto* standard = window->findChild<ProfileInfoDataStandard*>();

    for (const int index : {-2, -1, 2, 1000}) {
        SCOPED_TRACE(index);
        window->SelectProfile(1);
        ASSERT_FALSE(form.QualityReport_PreviewPage_PushButton->isHidden());
        ASSERT_FALSE(standard->isHidden());
        window->SelectProfile(index);
        EXPECT_EQ(form.SelectProfile_PreviewPage_ComboBox->currentIndex(), -1);
        EXPECT_EQ(form.SelectProfile_ProfileInfoPage_ComboBox->currentIndex(), -1);
        EXPECT_TRUE(form.QualityReport_PreviewPage_PushButton->isHidden());
        EXPECT_TRUE(form.QualityReport_ProfileInfoPage_PushButton->isHidden());
        EXPECT_TRUE(form.AboutProfile_PreviewPage_GroupBox->isHidden());
        EXPECT_TRUE(standard->isHidden());
    }

    // A list that shrank under the kept index: no profile, and the report buttons do nothing.
    window->SelectProfile(1);
    profiles.removeLast();
    window->UpdateProfileInfo();
    EXPECT_TRUE(form.AboutProfile_PreviewPage_GroupBox->isHidden());
    window->OnQualityReportButtonClicked();
    EXPECT_TRUE(notifiers.shown.empty());
}

TEST_F(PreferencesDialogTest, ReportButtonsFollowTheReportBesideTheProfile)
{
    MakeSet("sRGB");
    Copy("KVL_4A1C_sRGB.icm", "UPPER.ICM");
    Copy("KVL_4A1C_sRGB_Quality.txt", "UPPER_Quality.txt");
    Copy("KVL_4A1C_sRGB.icm", "ALONE.ICM");
    Copy("KVL_4A1C_sRGB.icm", "lonely.icm");
    Copy("KVL_4A1C_sRGB.icm", "noSuffix");
    Copy("KVL_4A1C_sRGB_Quality.txt", "noSuffix_Quality.txt");
    const struct {
        const char* path;
        bool shown;
    } cases[] = {{"KVL_4A1C_sRGB.icm", true}, {"UPPER.ICM", true}, {"ALONE.ICM", false}, {"lonely.icm", false},
                 {"noSuffix", false}};
    for (const auto& c : cases) {
        Add(QLatin1String(c.path), QStringLiteral("sRGB"));
    }
    const auto window = Window();
    auto& form = Form(*window);
    for (int i = 0; i < profiles.size(); ++i) {
        SCOPED_TRACE(cases[i].path);
        window->SelectProfile(i);
        EXPECT_EQ(!form.QualityReport_PreviewPage_PushButton->isHidden(), cases[i].shown);
        EXPECT_EQ(!form.QualityReport_ProfileInfoPage_PushButton->isHidden(), cases[i].shown);
        EXPECT_EQ(form.AboutProfile_PreviewPage_TextEdit->toPlainText(), "sRGB description");
    }
}

TEST_F(PreferencesDialogTest, ProfileInfoShowsTheReportsMeasurementsOverTheProfilesOwnValues)
{
    MakeSet("sRGB,Native,AdobeRGB");
    Copy("KVL_4A1C_sRGB.icm", "UPPER.ICM");
    Copy("KVL_4A1C_sRGB_Quality.txt", "UPPER_Quality.txt");
    Copy("KVL_4A1C_sRGB.icm", "plain.icm");
    Copy("KVL_4A1C_Native.icm", "native.icm");
    Copy("KVL_4A1C_sRGB.icm", "broken.icm");
    QFile broken(folder.filePath("broken_Quality.txt"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("ProfileName broken\nTarget Luminance 999\n");
    broken.close();

    enum Shown { Standard, Dicom, None };
    const QPointF srgbRed(0.64, 0.33), srgbGreen(0.30, 0.60), srgbBlue(0.15, 0.06), measuredWhite(0.3127, 0.3290);
    const struct {
        const char* label;
        const char* path;
        const char* name;
        int kind;
        std::pair<double, double> white;
        const char* luminanceText;
        Shown shown;
        QStringList texts;  // red x, red y, white x, white y, gamma, luminance
        bool gamut;
        QPointF green, drawnWhite;
    } cases[] = {
        {"report", "KVL_4A1C_sRGB.icm", "sRGB", 0, {0.31, 0.32}, "250.00", Standard,
         {"x: 0.6400", "y: 0.3300", "x: 0.3127", "y: 0.3290", "2.2", "300.0 nt"}, true, srgbGreen, measuredWhite},
        {"report of X.ICM", "UPPER.ICM", "sRGB", 0, {0.31, 0.32}, "250.00", Standard,
         {"x: 0.6400", "y: 0.3300", "x: 0.3127", "y: 0.3290", "2.2", "300.0 nt"}, true, srgbGreen, measuredWhite},
        {"no report", "plain.icm", "sRGB", 0, {0.0, 0.329}, "250.00", Standard,
         {"x: 0.6400", "y: 0.3300", "x: N/A", "y: 0.3290", "2.2", "250.00 nt"}, true, srgbGreen, {0.0, 0.329}},
        {"no luminance", "plain.icm", "AdobeRGB", 1, {0.3127, 0.0}, "N/A", Standard,
         {"x: 0.6400", "y: 0.3300", "x: 0.3127", "y: N/A", "2.2", "N/A"}, true, {0.21, 0.71}, {0.3127, 0.0}},
        {"HDR", "plain.icm", "Korvel_HDR10", 5, {0.3127, 0.329}, "100% HDR Brightness", Standard,
         {"x: 0.7080", "y: 0.2920", "x: 0.3127", "y: 0.3290", "2.2", "100% HDR Brightness"}, true, {0.17, 0.797},
         {0.3127, 0.329}},
        {"unreadable report", "broken.icm", "sRGB", 0, {0.31, 0.32}, "250.00", Standard,
         {"x: 0.6400", "y: 0.3300", "x: 0.3100", "y: 0.3200", "2.2", "250.00 nt"}, true, srgbGreen, {0.31, 0.32}},
        {"native, no report", "native.icm", "Native", 4, {0.31, 0.32}, "250.00", None, {}, false, {}, {}},
        {"native with report", "KVL_4A1C_Native.icm", "Native", 4, {0.31, 0.32}, "250.00", Standard,
         {"x: 0.6850", "y: 0.3100", "x: 0.3127", "y: 0.3290", "2.2", "100% brightness"}, true, {0.2550, 0.7000},
         measuredWhite},
        {"DICOM office", "plain.icm", "DICOM_Office", 0, {0.31, 0.32}, "250.00", Dicom, {}, false, {}, {}},
        {"DICOM dim", "plain.icm", "DICOM_Dim", 0, {0.31, 0.32}, "250.00", Dicom, {}, false, {}, {}},
        {"dicom in lower case", "plain.icm", "dicom_office", 0, {0.31, 0.32}, "250.00", Standard,
         {"x: 0.6400", "y: 0.3300", "x: 0.3100", "y: 0.3200", "2.2", "250.00 nt"}, true, srgbGreen, {0.31, 0.32}},
    };
    for (const auto& c : cases) {
        Add(QLatin1String(c.path), QLatin1String(c.name), c.kind, c.white, QLatin1String(c.luminanceText));
    }
    const auto window = Window();
    auto& form = Form(*window);
    auto* scene = dynamic_cast<ColorGamutScene*>(form.GamutDiagram_ProfileInfoPage_GraphicsView->scene());
    auto* standard = window->findChild<ProfileInfoDataStandard*>();
    auto* dicom = window->findChild<ProfileInfoDataDicom*>();
    const auto text = [standard](const char* label) {
        return standard->findChild<QLabel*>(QStringLiteral("%1_ProfileInfoPage_Label").arg(QLatin1String(label)))->text();
    };
    for (int i = 0; i < profiles.size(); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.label);
        window->SelectProfile(i);
        EXPECT_EQ(standard->isHidden(), c.shown != Standard);
        EXPECT_EQ(dicom->isHidden(), c.shown != Dicom);
        EXPECT_FALSE(window->findChild<QWidget*>("ProfileData_ProfileInfo_Widget")->isVisibleTo(window.get()));
        EXPECT_FALSE(form.AboutProfile_PreviewPage_GroupBox->isHidden());
        EXPECT_EQ(form.AboutProfile_PreviewPage_TextEdit->toPlainText(), QLatin1String(c.name) + " description");
        if (c.shown == Standard) {
            EXPECT_EQ((QStringList{text("Red_X"), text("Red_Y"), text("WhitePoint_X"), text("WhitePoint_Y"),
                                   text("GamaTargetValue"), text("LuminanceValue")}),
                      c.texts);
        }
        EXPECT_EQ(scene->triangle()->scene() == scene, c.gamut);
        if (c.gamut) {
            const QPolygonF triangle = scene->triangle()->polygon();
            EXPECT_EQ(triangle.at(1), scene->chromaticityToScene(c.green));
            EXPECT_EQ(scene->whitePointCircle()->rect().center(), scene->chromaticityToScene(c.drawnWhite));
        }
    }
}

TEST_F(PreferencesDialogTest, ReportFailuresBecomeWarningBalloons)
{
    MakeSet("sRGB");
    Copy("KVL_4A1C_sRGB.icm", "broken.icm");
    QFile broken(folder.filePath("broken_Quality.txt"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.close();
    Add("broken.icm", "sRGB");
    Add("KVL_4A1C_sRGB.icm", "sRGB");
    const auto window = Window();
    window->OnQualityReportButtonClicked();
    EXPECT_TRUE(notifiers.shown.empty()) << "no profile selected";

    window->SelectProfile(0);
    window->OnQualityReportButtonClicked();
    ASSERT_EQ(notifiers.shown.size(), 1u);
    EXPECT_EQ(notifiers.shown[0].kind, "warning");
    EXPECT_TRUE(notifiers.shown[0].text.startsWith("Failure to prepare selected profile quality report. Reason: "
                                                   "Profile name is not found!"))
        << notifiers.shown[0].text;
    EXPECT_EQ(window->findChild<SdrProfileQualityReportDlg*>(), nullptr);

    window->OnSdrProfileQualityReportDlgFinished(0);
    EXPECT_EQ(notifiers.shown.size(), 1u);
    window->OnSdrProfileQualityReportDlgFinished(3);
    ASSERT_EQ(notifiers.shown.size(), 2u);
    EXPECT_EQ(notifiers.shown[1].text, "Failure to present selected profile quality report. Error code: 3");
}

TEST_F(PreferencesDialogTest, QualityReportOpensModalOverTheWindowAndGoesWhenItFinishes)
{
    MakeSet("sRGB");
    Add("KVL_4A1C_sRGB.icm", "sRGB");
    auto window = Window();
    window->show();
    window->SelectProfile(0);
    const struct {
        const char* how;
        std::function<void(QDialog*)> finish;
        QStringList balloons;
    } cases[] = {
        {"title bar's close button", [](QDialog* report) { report->close(); }, {}},
        {"result 3", [](QDialog* report) { report->done(3); },
         {"Failure to present selected profile quality report. Error code: 3"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        notifiers.shown.clear();
        Form(*window).QualityReport_ProfileInfoPage_PushButton->click();
        auto* report = window->findChild<SdrProfileQualityReportDlg*>();
        ASSERT_NE(report, nullptr);
        EXPECT_TRUE(report->isVisible());
        EXPECT_TRUE(report->isModal());
        EXPECT_EQ(QApplication::activeModalWidget(), report);
        EXPECT_EQ(report->findChild<QLabel*>(QStringLiteral("profileValueLabel"))->text(), "KVL_4A1C_sRGB");
        EXPECT_EQ(report->findChild<QLabel*>(QStringLiteral("label_3"))->text(), "300.000 nits");

        const QPointer<SdrProfileQualityReportDlg> watched(report);
        c.finish(report);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(watched.isNull());
        QStringList balloons;
        for (const auto& shown : notifiers.shown) {
            EXPECT_EQ(shown.kind, "warning");
            balloons << shown.text;
        }
        EXPECT_EQ(balloons, c.balloons);
    }

    // A window closed over an open report takes it along.
    window->OnQualityReportButtonClicked();
    const QPointer<SdrProfileQualityReportDlg> open(window->findChild<SdrProfileQualityReportDlg*>());
    ASSERT_FALSE(open.isNull());
    window.reset();
    EXPECT_TRUE(open.isNull());
}

TEST_F(PreferencesDialogTest, RefusedLogonTaskChangeFlipsTheBoxBackOnce)
{
    const auto window = Window();
    auto& form = Form(*window);
    QObject::connect(window.get(), &PreferencesDialog::RunOnStartupChanged,
                     [&window](int state) { window->ApplyRunOnStartup(state); });
    QCheckBox* box = form.Startup_SettingsPage_CheckBox;
    EXPECT_FALSE(box->isChecked());

    startup.failing = true;
    box->click();
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(startup.enables, 1);
    EXPECT_EQ(startup.disables, 0) << "the echo of the revert does nothing";

    startup.failing = false;
    box->click();
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(startup.enables, 2);
    EXPECT_TRUE(startup.enabled);

    // Only the checked state creates the task.
    window->ApplyRunOnStartup(1);
    EXPECT_EQ(startup.disables, 1);
    EXPECT_FALSE(startup.enabled);

    // A window made while the task exists starts checked.
    startup.enabled = true;
    EXPECT_TRUE(Form(*Window()).Startup_SettingsPage_CheckBox->isChecked());
}

TEST_F(PreferencesDialogTest, DdsAlignmentStartsUncheckedAndWritesItsSetting)
{
    configuration->SetAlignProfilesOnDDSModeChange(true);
    const auto window = Window();
    QCheckBox* box = Form(*window).ProfileAlignmentInDDS_SettingsPage_CheckBox;
    EXPECT_FALSE(box->isChecked());
    EXPECT_TRUE(Settings::Configuration().AlignProfilesOnDDSModeChange()) << "showing it writes nothing";
    window->OnProfileAlignmentInDDSStateChanged(0);
    EXPECT_FALSE(Settings::Configuration().AlignProfilesOnDDSModeChange());
    box->setCheckState(Qt::PartiallyChecked);
    EXPECT_TRUE(Settings::Configuration().AlignProfilesOnDDSModeChange());
    window->HideDdsAlignmentOptions();
    EXPECT_TRUE(Form(*window).DdsAlignmentWidget->isHidden());
}

TEST_F(PreferencesDialogTest, AboutPageShowsTheVersionOpensLinksAndAcknowledgements)
{
    const auto window = Window();
    EXPECT_EQ(window->findChild<QLabel*>("ApplicationVersion_AboutPage_Label")->text(), "version: 2.56.0");

    UrlRecorder recorder;
    QDesktopServices::setUrlHandler("https", &recorder, "Open");
    for (const char* link : {"KorvelLink_AboutPage_PushButton", "PrivacyPolicyLink_AboutPage_PushButton",
                             "HuebergLink_AboutPage_PushButton"}) {
        window->findChild<QPushButton*>(link)->click();
    }
    QDesktopServices::unsetUrlHandler("https");
    ASSERT_EQ(recorder.opened.size(), 3);
    EXPECT_EQ(recorder.opened[0].path(), "/");
    EXPECT_EQ(recorder.opened[1].path(), "/legal/privacy-policy");
    EXPECT_EQ(recorder.opened[1].host(), recorder.opened[0].host());
    EXPECT_EQ(recorder.opened[2].path(), "/");
    EXPECT_NE(recorder.opened[2].host(), recorder.opened[0].host());
    for (const QUrl& url : recorder.opened) {
        EXPECT_TRUE(url.isValid());
        EXPECT_TRUE(url.host().endsWith(".example")) << url.toString();
    }

    bool inspected = false;
    const auto watch = GuiTestSupport::OnNextModal<AcknowledgementsDialog>([&inspected](AcknowledgementsDialog* dialog) {
        EXPECT_EQ(dialog->parentWidget(), nullptr);
        EXPECT_FALSE(dialog->windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
        EXPECT_TRUE(dialog->findChild<QLabel*>()->text().startsWith("Korvel Tintwise 2.56.0\n"));
        EXPECT_TRUE(dialog->findChild<QTextEdit*>()->toPlainText().contains("log4cplus"));
        inspected = true;
    });
    window->findChild<QPushButton*>("AcknowledgementsLink_AboutPage_PushButton")->click();
    EXPECT_TRUE(inspected);
}

TEST_F(PreferencesDialogTest, RestoreAndUpdateButtonsOnlyReport)
{
    const auto window = Window();
    int restores = 0, updates = 0;
    QObject::connect(window.get(), &PreferencesDialog::RestoreProfilesTriggered, [&restores] { ++restores; });
    QObject::connect(window.get(), &PreferencesDialog::CheckForUpdateTriggered, [&updates] { ++updates; });
    window->findChild<QPushButton*>("RestoreFromCloud_SettingsPage_PushButton")->click();
    window->findChild<QPushButton*>("CheckForUpdates_AboutPage_PushButton")->click();
    EXPECT_EQ(restores, 1);
    EXPECT_EQ(updates, 1);
}

TEST_F(PreferencesDialogTest, FullScreenPreviewNeedsTheOpenLidAndAUsableInternalDisplay)
{
    Add("a.icm", "sRGB");
    QPixmap picture(300, 200);
    picture.fill(Qt::green);
    profiles[0]->SetPreviewImage(picture);
    profiles[0]->SetScaledPreviewImage(picture.scaled(102, 68));

    const auto closed = Window(true);
    {
        // Neither refusal opens a window.
        const auto none = GuiTestSupport::OnNextModal<QDialog>(
            [](QDialog* dialog) { ADD_FAILURE() << dialog->metaObject()->className() << " opened"; });
        closed->OnFullScreenPreviewClicked();
        ASSERT_EQ(notifiers.shown.size(), 1u);
        EXPECT_EQ(notifiers.shown[0].kind, "warning");
        EXPECT_EQ(notifiers.shown[0].text, Constants::LidMustBeOpenedText);

        closed->OnLidStateChanged(false);
        WinSim::SetDescriptionValue(QStringLiteral("topology"), QStringLiteral("clone"));
        closed->OnFullScreenPreviewClicked();
        ASSERT_EQ(notifiers.shown.size(), 2u);
        EXPECT_EQ(notifiers.shown[1].kind, "warning");
        EXPECT_EQ(notifiers.shown[1].text, Constants::PreviewRestrictedText);
        EXPECT_FALSE(closed->findChild<PreviewDialog*>()->isVisible());
    }

    WinSim::SetDescriptionValue(QStringLiteral("topology"), QStringLiteral("internal"));
    const auto window = Window();
    window->SelectProfile(0);
    bool inspected = false;
    const auto watch = GuiTestSupport::OnNextModal<PreviewDialog>([&inspected](PreviewDialog* preview) {
        EXPECT_TRUE(preview->isMaximized());
        EXPECT_EQ(preview->geometry(), GuiTestSupport::FirstScreen);
        EXPECT_EQ(preview->findChild<QLabel*>("FullScreen_PreviewDialog_Label")->pixmap().toImage().pixelColor(5, 5),
                  QColor(Qt::green));
        inspected = true;
    });
    window->findChild<QPushButton*>("PreviewImage_PreviewPage_PushButton")->click();
    EXPECT_TRUE(inspected);
    EXPECT_EQ(notifiers.shown.size(), 2u);

    // Before any profile is shown, the stock photograph.
    const auto fresh = Window();
    const QImage stock(Constants::PreviewImageResource);
    bool stockShown = false;
    const auto watchStock = GuiTestSupport::OnNextModal<PreviewDialog>([&stockShown, &stock](PreviewDialog* preview) {
        EXPECT_EQ(preview->findChild<QLabel*>("FullScreen_PreviewDialog_Label")->pixmap().toImage().convertToFormat(
                      stock.format()),
                  stock);
        stockShown = true;
    });
    fresh->findChild<QPushButton*>("PreviewImage_PreviewPage_PushButton")->click();
    EXPECT_TRUE(stockShown);
}

}  // namespace

#include "PreferencesDialogTest.moc"
