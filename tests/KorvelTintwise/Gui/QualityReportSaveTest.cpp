#include "Common/Application/Paths.h"
#include "Gui/ColorGamutScene.h"
#include "Gui/SdrProfileQualityReportDlg.h"
#include "tests/KorvelTintwise/Gui/ReportTestSupport.h"

#include <QFileDialog>
#include <QGraphicsView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <algorithm>

using ReportTestSupport::ReportFixture;
using ReportTestSupport::WhenModal;
using TestSupport::AesIvHex;
using TestSupport::AesKeyHex;

namespace {

// Where the save dialog started.
struct Proposal {
    QString folder;
    QString name;
};

// The openssl command's AES-256-CBC ciphertext of `plain`, Base64 on one line.
QByteArray OpenSslEncrypt(const QByteArray& plain, const QString& keyHex = AesKeyHex)
{
    QTemporaryFile input;
    EXPECT_TRUE(input.open());
    input.write(plain);
    input.flush();
    const auto result =
        TestSupport::Run("openssl", {"enc", "-aes-256-cbc", "-K", keyHex, "-iv", AesIvHex, "-a", "-A", "-in", input.fileName()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result.out.trimmed().toUtf8();
}

bool HasWarning(const TestSupport::LogCapture& log)
{
    const auto lines = log.Lines();
    return std::any_of(lines.begin(), lines.end(), [](const auto& line) { return line.level >= 30000; });
}

class QualityReportSaveTest : public ReportFixture {
protected:
    QString ShortcutPath() const
    {
        return Korvel::DisplayCalibration::Common::ApplicationDataDirectory() + "/QualityReportsShortcut.txt";
    }

    // The folder the shortcut file holds, as the openssl command decrypts it.
    QString RememberedFolder() const
    {
        const auto result = TestSupport::Run("openssl", {"enc", "-d", "-aes-256-cbc", "-K", AesKeyHex, "-iv", AesIvHex, "-a", "-A",
                                            "-in", ShortcutPath()});
        return result.exitCode == 0 ? result.out : QStringLiteral("<openssl: %1>").arg(result.err);
    }

    void WriteShortcut(const QByteArray& content) const
    {
        QFile file(ShortcutPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

    // Presses "Save report" and answers the save dialog with `target` (cancels it when empty).
    Proposal Save(SdrProfileQualityReportDlg& dialog, const QString& target)
    {
        Proposal proposal;
        WhenModal<QFileDialog> answer([&](QFileDialog* fileDialog) {
            const QFileInfo proposed(fileDialog->selectedFiles().value(0));
            proposal = {proposed.absolutePath(), proposed.fileName()};
            EXPECT_EQ(fileDialog->parentWidget(), &dialog);
            if (target.isEmpty()) {
                fileDialog->reject();
            } else {
                fileDialog->selectFile(target);
                // selectFile leaves the name field alone while it has the focus, which the shown
                // dialog may have given it already.
                auto* name = fileDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                ASSERT_NE(name, nullptr);
                name->setText(QFileInfo(target).fileName());
                static_cast<QDialog*>(fileDialog)->accept();  // as its Save button does
            }
        });
        SaveButton(dialog)->click();
        EXPECT_TRUE(answer.Seen());
        return proposal;
    }

    static QPushButton* SaveButton(SdrProfileQualityReportDlg& dialog)
    {
        return dialog.findChild<QPushButton*>(QStringLiteral("saveReportPushButton"));
    }

    QString Folder(const QString& name) const
    {
        const QString path = QDir(saves.path()).absoluteFilePath(name);
        QDir().mkpath(path);
        return path;
    }

    QTemporaryDir saves;
};

TEST_F(QualityReportSaveTest, WritesTheReportPageCentredOnOneA4Page)
{
    const SdrQualityReportData report = Report();
    SdrProfileQualityReportDlg dialog(nullptr, report);
    dialog.show();
    const QString pdf = Folder(QStringLiteral("pdf")) + "/report.pdf";
    Save(dialog, pdf);

    const auto info = TestSupport::Run("pdfinfo", {pdf});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_TRUE(info.out.contains(QRegularExpression("Pages:\\s+1\\n"))) << info.out;
    EXPECT_TRUE(info.out.contains(QRegularExpression("Page size:\\s+595(\\.\\d+)? x (842|841\\.\\d+) pts \\(A4\\)"))) << info.out;

    const auto text = TestSupport::Run("pdftotext", {pdf, "-"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    for (const QString& expected : {QStringLiteral("Display Calibration Performance"), QStringLiteral("Calibrated Luminosity:"),
                                    report.profileName, report.serialNumber, QStringLiteral("245.300 nits"),
                                    QStringLiteral("Measured Default Gamma")}) {
        EXPECT_TRUE(text.out.contains(expected)) << expected;
    }
    EXPECT_FALSE(text.out.contains(QStringLiteral("Save report")));

    const QString png = saves.filePath(QStringLiteral("page"));
    const auto raster = TestSupport::Run("pdftoppm", {"-png", "-r", "150", "-singlefile", pdf, png});
    ASSERT_EQ(raster.exitCode, 0) << raster.err;
    const QImage image(png + ".png");
    ASSERT_FALSE(image.isNull());

    // The page's grey ground on the white sheet: centred, enlarged evenly (an A4 page on an A4
    // sheet); its size gives the scale.
    QRect page;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 250) {
                page |= QRect(x, y, 1, 1);
            }
        }
    }
    ASSERT_GT(page.width(), image.width() / 2);
    EXPECT_LE(std::abs(page.left() - (image.width() - 1 - page.right())), 2) << page.left() << " " << page.right();
    EXPECT_LE(std::abs(page.top() - (image.height() - 1 - page.bottom())), 2) << page.top() << " " << page.bottom();
    EXPECT_NEAR(double(page.width()) / page.height(), 210.0 / 297.0, 0.005);

    // The triangle's corners are dark where the view puts the primaries; inside it is not.
    QWidget* content = dialog.findChild<QWidget*>(QStringLiteral("scrollAreaWidgetContents"));
    auto* view = dialog.findChild<QGraphicsView*>(QStringLiteral("gamutGraphicsView"));
    const auto* scene = dynamic_cast<const ColorGamutScene*>(view->scene());
    ASSERT_NE(scene, nullptr);
    const auto onPaper = [&](const QPointF& chromaticity) {
        const QPoint inView = view->mapFromScene(scene->chromaticityToScene(chromaticity));
        const QPointF onPage = view->viewport()->mapTo(content, inView);
        return QPoint(page.left() + static_cast<int>(onPage.x() * page.width() / content->width()),
                      page.top() + static_cast<int>(onPage.y() * page.height() / content->height()));
    };
    const auto darkest = [&image](const QPoint& p) {
        int least = 255 * 3;
        for (int dy = -2; dy <= 2; ++dy) {
            for (int dx = -2; dx <= 2; ++dx) {
                const QColor c = image.pixelColor(p + QPoint(dx, dy));
                least = std::min(least, c.red() + c.green() + c.blue());
            }
        }
        return least;
    };
    const QPointF centre = (report.red + report.green + report.blue) / 3;
    for (const QPointF& corner : {report.red, report.green, report.blue}) {
        SCOPED_TRACE(corner.x());
        EXPECT_LT(darkest(onPaper(corner)), 150);
        EXPECT_GT(darkest(onPaper(corner + (centre - corner) * 0.25)), 300);
    }
}

TEST_F(QualityReportSaveTest, TheFolderOfTheLastSaveIsTheStartOfTheNext)
{
    ASSERT_FALSE(QFile::exists(ShortcutPath()));
    SdrProfileQualityReportDlg dialog(nullptr, Report());
    dialog.show();

    // First save: Documents, remembered; cancelling keeps it.
    Proposal proposal = Save(dialog, QString());
    EXPECT_EQ(proposal.folder, Documents());
    EXPECT_EQ(proposal.name, "sRGB_Quality.pdf");
    EXPECT_EQ(RememberedFolder(), Documents());

    const QString elsewhere = Folder(QStringLiteral("Reports"));
    Save(dialog, elsewhere + "/first.pdf");
    EXPECT_TRUE(QFileInfo(elsewhere + "/first.pdf").size() > 0);
    EXPECT_EQ(RememberedFolder(), elsewhere);
    EXPECT_TRUE(SaveButton(dialog)->isVisible());

    // The same dialog offers the PDF's own name; a cancel there keeps the folder.
    proposal = Save(dialog, QString());
    EXPECT_EQ(proposal.folder, elsewhere);
    EXPECT_EQ(proposal.name, "first.pdf");
    EXPECT_EQ(RememberedFolder(), elsewhere);

    // A new report starts there too, its own name proposed.
    SdrProfileQualityReportDlg next(nullptr, Report(QStringLiteral("Native")));
    next.show();
    proposal = Save(next, QString());
    EXPECT_EQ(proposal.folder, elsewhere);
    EXPECT_EQ(proposal.name, "Native_Quality.pdf");
}

TEST_F(QualityReportSaveTest, TheProposedNameEndsInPdfWhateverTheCaseOfTheReportsSuffix)
{
    const struct {
        const char *reportName, *proposed;
    } cases[] = {
        {"sRGB_Quality.TXT", "sRGB_Quality.pdf"},
        {"sRGB_Quality.Txt", "sRGB_Quality.pdf"},
        {"sRGB Quality", "sRGB Quality"},
    };
    for (const auto& c : cases) {
        SdrQualityReportData data = Report();
        data.reportPath = saves.filePath(QString::fromLatin1(c.reportName));
        SdrProfileQualityReportDlg dialog(nullptr, data);
        dialog.show();
        EXPECT_EQ(Save(dialog, QString()).name, c.proposed) << c.reportName;
    }
}

TEST_F(QualityReportSaveTest, AShortcutThatCannotBeReadOffersDocumentsAndTheSaveGoesAhead)
{
    const struct {
        const char* name;
        QByteArray content;
    } cases[] = {
        {"empty", QByteArray()},
        {"not Base64", "not a Base64 text!"},
        {"Base64 cut short", OpenSslEncrypt(saves.path().toUtf8()).chopped(3)},
        {"another key", OpenSslEncrypt(saves.path().toUtf8(), QString(64, '1'))},
        {"no UTF-8 text", OpenSslEncrypt("/tmp/\xff\xfe")},
        {"over 352 bytes", OpenSslEncrypt(QByteArray(360, 'a'))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteShortcut(c.content);
        TestSupport::LogCapture log("SdrProfileQualityReportDlg");
        SdrProfileQualityReportDlg dialog(nullptr, Report());
        dialog.show();
        const QString target = Folder(QString::fromLatin1(c.name)) + "/report.pdf";
        EXPECT_EQ(Save(dialog, target).folder, Documents());
        EXPECT_TRUE(QFileInfo(target).size() > 0);
        EXPECT_EQ(RememberedFolder(), QFileInfo(target).absolutePath());
        EXPECT_TRUE(HasWarning(log) || c.content.isEmpty());
    }

    // A folder in the file's place: nothing can be read or written there.
    QFile::remove(ShortcutPath());
    ASSERT_TRUE(QDir().mkpath(ShortcutPath()));
    TestSupport::LogCapture log("SdrProfileQualityReportDlg");
    SdrProfileQualityReportDlg dialog(nullptr, Report());
    dialog.show();
    const QString target = Folder(QStringLiteral("unreadable")) + "/report.pdf";
    EXPECT_EQ(Save(dialog, target).folder, Documents());
    EXPECT_TRUE(QFileInfo(target).size() > 0);
    EXPECT_TRUE(HasWarning(log));
}

// A symbolic link at the shortcut file is neither read nor written through: Documents is offered,
// the folder saved to is remembered in the machine's own file, the link's target stays as it was.
TEST_F(QualityReportSaveTest, LinkAtTheShortcutIsNeitherTrustedNorWrittenThrough)
{
    const TestSupport::OutsideFolder outside;
    const QByteArray planted = OpenSslEncrypt(Folder(QStringLiteral("planted")).toUtf8());
    TestSupport::WriteFile(outside.FilePath("shortcut.txt"), planted);
    const auto before = outside.Contents();
    TestSupport::PlantLink(outside.FilePath("shortcut.txt"), ShortcutPath());

    SdrProfileQualityReportDlg dialog(nullptr, Report());
    dialog.show();
    const QString target = Folder(QStringLiteral("chosen")) + "/report.pdf";
    EXPECT_EQ(Save(dialog, target).folder, Documents());
    EXPECT_TRUE(QFileInfo(target).size() > 0);
    EXPECT_FALSE(QFileInfo(ShortcutPath()).isSymLink());
    EXPECT_EQ(RememberedFolder(), QFileInfo(target).absolutePath());
    EXPECT_EQ(outside.Contents(), before);
}

TEST_F(QualityReportSaveTest, AFolderTooLongToEncodeLeavesTheOldShortcut)
{
    SdrProfileQualityReportDlg dialog(nullptr, Report());
    dialog.show();
    const QString kept = Folder(QStringLiteral("kept"));
    Save(dialog, kept + "/report.pdf");
    ASSERT_EQ(RememberedFolder(), kept);

    const QString deep = Folder(QString(120, 'a') + "/" + QString(120, 'b') + "/" + QString(120, 'c'));
    ASSERT_GT(deep.toUtf8().size(), 350);
    TestSupport::LogCapture log("SdrProfileQualityReportDlg");
    Save(dialog, deep + "/report.pdf");
    EXPECT_TRUE(QFileInfo(deep + "/report.pdf").size() > 0);
    EXPECT_EQ(RememberedFolder(), kept);
    EXPECT_TRUE(HasWarning(log));
}

TEST_F(QualityReportSaveTest, APdfThatCannotBeWrittenIsReportedOverTheDialog)
{
    SdrProfileQualityReportDlg dialog(nullptr, Report());
    dialog.show();
    TestSupport::LogCapture log("SdrProfileQualityReportDlg");
    QString shown;
    WhenModal<QMessageBox> box([&](QMessageBox* message) {
        EXPECT_EQ(message->parentWidget(), &dialog);
        EXPECT_TRUE(SaveButton(dialog)->isVisible());
        EXPECT_EQ(message->icon(), QMessageBox::Warning);
        shown = message->text();
        message->close();
    });
    // Nobody, not even root, makes files in /proc.
    Save(dialog, QStringLiteral("/proc/report.pdf"));
    EXPECT_TRUE(box.Seen());
    EXPECT_TRUE(shown.contains("/proc/report.pdf")) << shown;
    EXPECT_FALSE(QFile::exists(QStringLiteral("/proc/report.pdf")));
    EXPECT_TRUE(HasWarning(log));
    EXPECT_TRUE(SaveButton(dialog)->isVisible());
}

}  // namespace
