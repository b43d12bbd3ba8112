// The quality report as its user meets it: the preferences window of a program on a simulated
// machine with a generated factory set, driven through `winsim user`, saved, and saved again after
// the program has started anew.
#include "WindowsStandIn/ColorSystem.h"
#include "tests/KorvelTintwise/TintwiseFixtures.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <functional>

using TestSupport::RunWinsim;

namespace {

const QString Format = QStringLiteral("KVL_4A1C_{ProfileName}.icm");

// The preferences window in a program of its own, the sRGB profile shown; it ends with the object.
// With a `wrapper` (a command that runs the program) it is found by name.
class PreferencesProgram {
public:
    explicit PreferencesProgram(const QStringList& wrapper = {})
    {
        const QStringList program{TestSupport::BinaryPath("preferenceswindow"), Format, "sRGB,Native", "sRGB"};
        const QStringList command = wrapper + program;
        process.start(command.first(), command.mid(1));
        QStringList seen;
        ready = TestSupport::WaitForLine(process, "ready", seen);
        pid = wrapper.isEmpty() ? QString::number(process.processId()) : QStringLiteral("preferenceswindow");
    }
    ~PreferencesProgram()
    {
        TestSupport::EndProcess(process, TestSupport::AskToEnd::CloseInput, 10000);
    }

    void Act(const QStringList& step)
    {
        const auto result = TestSupport::User(step + QStringList{"--program", pid});
        EXPECT_EQ(result.exitCode, 0) << step.join(' ') << ": " << result.err;
    }

    // The widgets once `ready` holds for them (a Patience at most), else the last ones seen.
    QMap<QString, QString> WaitForWidgets(const std::function<bool(const QMap<QString, QString>&)>& ready)
    {
        QMap<QString, QString> widgets;
        TestSupport::WaitUntil([&] { return ready(widgets = Widgets()); });
        return widgets;
    }

    // The shown texts of the widgets of the program's windows, by window class and object name.
    QMap<QString, QString> Widgets()
    {
        const auto result = RunWinsim({"user", "show", "--program", pid});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        QMap<QString, QString> texts;
        const QJsonObject shown = QJsonDocument::fromJson(result.out.toUtf8()).object();
        for (const QJsonValue& window : shown["programs"][0]["windows"].toArray()) {
            for (const QJsonValue& widget : window["widgets"].toArray()) {
                texts.insert(window["class"].toString() + "/" + widget["object"].toString(), widget["text"].toString());
            }
        }
        return texts;
    }

    QProcess process;
    QString pid;
    bool ready = false;
};

class QualityReportMachineTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("Documents")));
        TintwiseTest::MakeProfileSet(WinSim::ColorDirectory(),
                                     {"--format", Format, "--profiles", "sRGB,Native", "--luminance", "245.3"});
    }

    TestSupport::TemporaryMachine machine;
    QTemporaryDir home;
    TestSupport::ScopedEnvironment homeVariable{"HOME", QFile::encodeName(home.path()).constData()};
    TestSupport::ScopedEnvironment configVariable{"XDG_CONFIG_HOME", nullptr};
    TestSupport::ScopedEnvironment platform{"QT_QPA_PLATFORM", "offscreen"};
};

TEST_F(QualityReportMachineTest, SavesAOnePagePdfAndTheNextStartOffersItsFolder)
{
    const QString documents = QDir(home.filePath("Documents")).absolutePath();
    const QString saves = QDir(home.path()).absoluteFilePath("Reports");
    ASSERT_TRUE(QDir().mkpath(saves));
    const QString pdf = saves + "/sRGB report.pdf";
    {
        PreferencesProgram program;
        ASSERT_TRUE(program.ready) << QString::fromUtf8(program.process.readAllStandardError());
        program.Act({"click", "QualityReport_PreviewPage_PushButton"});
        program.Act({"click", "saveReportPushButton"});
        QMap<QString, QString> widgets = program.Widgets();  // the step returns once the dialog is shown
        EXPECT_EQ(widgets.value("QFileDialog/lookInCombo"), documents);
        EXPECT_EQ(widgets.value("QFileDialog/fileNameEdit"), "KVL_4A1C_sRGB_Quality.pdf");
        program.Act({"type", "fileNameEdit", pdf});
        program.Act({"trigger", "Save"});
        // Once the save has run, the report is shown again with its button.
        widgets = program.WaitForWidgets([](const QMap<QString, QString>& shown) {
            return !shown.contains("QFileDialog/fileNameEdit") &&
                   shown.contains("SdrProfileQualityReportDlg/saveReportPushButton");
        });
        EXPECT_FALSE(widgets.contains("QFileDialog/fileNameEdit"));
        EXPECT_EQ(widgets.value("SdrProfileQualityReportDlg/saveReportPushButton"), "Save report");
    }
    const auto info = TestSupport::Run("pdfinfo", {pdf});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_TRUE(info.out.contains(QRegularExpression("Pages:\\s+1\\n"))) << info.out;
    EXPECT_TRUE(info.out.contains("(A4)")) << info.out;
    const auto text = TestSupport::Run("pdftotext", {pdf, "-"});
    for (const char* expected : {"Display Calibration Performance", "KVL_4A1C_sRGB", "245.300 nits"}) {
        EXPECT_TRUE(text.out.contains(QLatin1String(expected))) << expected << "\n" << text.out;
    }

    PreferencesProgram restarted;
    ASSERT_TRUE(restarted.ready);
    restarted.Act({"click", "QualityReport_PreviewPage_PushButton"});
    restarted.Act({"click", "saveReportPushButton"});
    const QMap<QString, QString> widgets = restarted.Widgets();
    EXPECT_EQ(widgets.value("QFileDialog/lookInCombo"), saves);
    EXPECT_EQ(widgets.value("QFileDialog/fileNameEdit"), "KVL_4A1C_sRGB_Quality.pdf");
    restarted.Act({"trigger", "Cancel"});
}

// A save over a report saved before, killed at its first write to that file: the file is the old
// report byte for byte, or a whole new one; never cut or emptied.
TEST_F(QualityReportMachineTest, ASaveKilledOverAnEarlierReportLeavesAWholeFile)
{
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    ASSERT_FALSE(strace.isEmpty()) << "strace is missing (scripts/common.sh installs it)";
    const QString saves = QDir(home.path()).absoluteFilePath("Reports");
    ASSERT_TRUE(QDir().mkpath(saves));
    const QString pdf = saves + "/sRGB report.pdf";
    const QByteArray earlier = QByteArrayLiteral("%PDF-1.4 an earlier report, kept whole\n%%EOF\n");
    TestSupport::WriteFile(pdf, earlier);
    const auto whole = [&pdf] { return TestSupport::Run("pdfinfo", {pdf}); };

    const QString calls = QStringLiteral("write,pwrite64,writev,ftruncate");
    PreferencesProgram program({strace, "-f", "-o", "/dev/null", "-P", pdf, "-e", "trace=" + calls, "-e",
                                "inject=" + calls + ":signal=SIGKILL:when=1"});
    ASSERT_TRUE(program.ready) << QString::fromUtf8(program.process.readAllStandardError());
    program.Act({"click", "QualityReport_PreviewPage_PushButton"});
    program.Act({"click", "saveReportPushButton"});
    program.Act({"type", "fileNameEdit", pdf});
    program.Act({"trigger", "Save"});
    program.Act({"answer", "Yes"});  // the file dialog's question whether to replace it
    // Killed, or saved.
    EXPECT_TRUE(TestSupport::WaitUntil([&] {
        return program.process.state() == QProcess::NotRunning || whole().exitCode == 0;
    }));

    if (TestSupport::ReadFile(pdf) != earlier) {
        const auto info = whole();
        EXPECT_EQ(info.exitCode, 0) << "neither the earlier report nor a whole new one ("
                                    << TestSupport::ReadFile(pdf).size() << " bytes): " << info.err;
    }
}
}  // namespace
