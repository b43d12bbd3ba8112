// How a restoration from the profile server ends, run for real: KorvelTintwise under an Xvfb of its
// own with trayer, on a machine with the generated factory set and a profile the user picked; the
// local profile server serving this computer's archive (damaged, or an HDR-capable set with its HDR10
// set); the real Tessaly; the simulated user. What the user is told, what Windows then holds and
// what the tray menu marks.
#include "Common/Application/Constants.h"
#include "ProfileData/ProfileCorrection.h"
#include "WindowsStandIn/Machine.h"
#include "tests/fixtures/FailedUpdates.h"
#include "tests/fixtures/PeerArchives.h"
#include "tests/fixtures/ProfileServer.h"
#include "tests/fixtures/TrayMachine.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

using namespace TestSupport;

namespace {

// The computer's identity in the default preset: "1S" + model + BIOS serial.
const QString Identity = QStringLiteral("1S21KV0012USPF4KVQ7T");
const QString Picked = QStringLiteral("KVL_4A1C_AdobeRGB.icm");
const QString SdrDefault = QStringLiteral("currentUser RGB_WORKING_SPACE ");

QStringList ArchiveOptions()
{
    const FactorySet set;
    return {"--format", set.format, "--profiles", set.profiles.join(','), "--color-space", set.colorSpace,
            "--brightness", "60"};
}

// Runs `make_panel_archive.py` with `options`; the archive's path.
QString MakeArchive(const QString& path, const QStringList& options)
{
    const ProcessResult made =
        TestSupport::Run("python3", QStringList{BinaryPath("make_panel_archive.py"), "--output", path} + options);
    EXPECT_EQ(made.exitCode, 0) << made.err;
    return path;
}

// How long a step of the simulated user may wait for its target, start-up of the program included.
const QString StepTimeout = QStringLiteral("90000");

// True once `done` holds (90 s at most); it reads the journal, which the programs write as they go.
bool WaitUntil(const std::function<bool()>& done)
{
    const QDeadlineTimer deadline(90000);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(100);
    }
    return true;
}

// The tray program on a machine whose user picked Adobe RGB, with the server's archives configured.
class RestorationOutcome {
public:
    explicit RestorationOutcome(const QStringList& archives, const FactorySet& set = FactorySet())
        : machine(set), server(archives)
    {
        EXPECT_TRUE(server.Started());
        server.ConfigureMachine();
    }

    // Starts the program, picks Adobe RGB and marks the journal; false when that did not work.
    bool Start()
    {
        if (!desktop.Ready()) {
            return false;
        }
        program = std::make_unique<TrayProgram>(desktop, machine);
        const int from = int(WinSim::ReadJournal().size());
        // The step waits until the menu holds the entry.
        if (User({"trigger", "--timeout", StepTimeout, "Adobe RGB"}).exitCode != 0 ||
            !WaitUntil([from] { return JournalEvents("colour-default", from).contains(SdrDefault + Picked); })) {
            return false;
        }
        machine.MarkJournal();
        return true;
    }

    // Asks for the restoration from the settings page of the preferences window.
    void Restore()
    {
        for (const QStringList& step :
             {QStringList{"trigger", "--timeout", StepTimeout, "Preferences..."},
              QStringList{"click", "--timeout", StepTimeout, "Settings_Button"},
              QStringList{"click", "--timeout", StepTimeout, "RestoreFromCloud_SettingsPage_PushButton"}}) {
            EXPECT_EQ(User(step).exitCode, 0) << step.join(' ');
        }
    }

    // The checked entries of the tray menu once they are `checked` (90 s at most), else as last seen.
    QStringList CheckedOnceThey(const QStringList& checked)
    {
        QStringList shown;
        WaitUntil([&] {
            shown = CheckedTexts(TrayMenuOf(program->WaitForView([](const QJsonObject&) { return true; })));
            return shown == checked;
        });
        return shown;
    }

    int Quit()
    {
        EXPECT_EQ(User({"trigger", "--timeout", StepTimeout, "Quit"}).exitCode, 0);
        return program->WaitForExit();
    }

    TrayMachine machine;
    ProfileServer server;
    TrayDesktop desktop;
    std::unique_ptr<TrayProgram> program;
};

QString JsonQuoted(QString text)
{
    return text.replace('"', "\\\"");
}

class FailedRestoration : public testing::TestWithParam<UpdateFailure> {};

TEST_P(FailedRestoration, PutsThePickedProfileBackAndMarksIt)
{
    const UpdateFailure failure = GetParam();
    QTemporaryDir files;
    const QString archive = files.filePath("archive.zip");
    WriteServedArchive(failure, archive, ArchiveOptions(), "KVL_4A1C_Default.icm");
    const bool served = failure != UpdateFailure::NoArchive;
    RestorationOutcome outcome(served ? QStringList{"--archive", Identity + "=" + archive} : QStringList());
    ASSERT_TRUE(outcome.Start()) << outcome.program->ErrorOutput();
    PrepareMachine(failure, "KVL_4A1C_sRGB.icm");
    const QJsonObject before = ColourDefaults();

    ASSERT_EQ(User({"answer", "Ok"}).exitCode, 0);
    outcome.Restore();
    ASSERT_TRUE(WaitUntil([&] { return !outcome.machine.Events("message-box").isEmpty(); }));

    const QString kept =
        "<br><br>Korvel Tintwise will continue to work with the existing ICC profiles customized for your display.";
    const QString reason = failure == UpdateFailure::ElevationRefused
                               ? QStringLiteral("Administrator privileges not granted by user.")
                               : "Failed to restore the ICC profiles customized for your display. Please restart the "
                                 "computer and try it again. If problem remains, please contact support at " +
                                     Korvel::DisplayCalibration::Common::SupportPageLink() + ".";
    const QString inUse = "<br><br>The previously active ICC profile remains in use.";
    EXPECT_EQ(outcome.machine.Events("message-box"),
              QStringList{"icon=critical title=\"Korvel Tintwise\" text=\"" + JsonQuoted(reason + inUse + kept) +
                          "\" answer=\"OK\""});
    // Windows' sRGB profile was the default while the restoration ran, then the picked one came back.
    EXPECT_EQ(outcome.machine.Events("colour-default"),
              (served ? QStringList{SdrDefault + "sRGB Color Space Profile.icm", SdrDefault + Picked} : QStringList()));
    EXPECT_EQ(ColourDefaults(), before);
    EXPECT_EQ(outcome.CheckedOnceThey({"Adobe RGB"}), QStringList{"Adobe RGB"});
    EXPECT_EQ(outcome.Quit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, FailedRestoration, testing::ValuesIn(AllUpdateFailures()),
                         [](const testing::TestParamInfo<UpdateFailure>& info) { return Name(info.param); });

// The native HDR profile's white luminance in the archive, whether the generic profile takes its
// place, and whether the server holds an HDR10 archive too (Quillon uploads none).
struct HdrCase {
    const char* name;
    QString luminance;
    bool replaced;
    bool hdr10Archive;
};

void PrintTo(const HdrCase& c, std::ostream* stream)
{
    *stream << c.name;
}

class HdrRestoration : public testing::TestWithParam<HdrCase> {};

// An HDR-capable panel whose set and HDR10 profile were installed a while ago: the set comes back
// from the server and the road ends as the SDR one does, the "Default" profile applied and marked,
// the native HDR profile the advanced-colour default.
TEST_P(HdrRestoration, EndsWithTheDefaultProfileAppliedAndMarked)
{
    const HdrCase& c = GetParam();
    QTemporaryDir files;
    FactorySet set;
    set.makerArguments = {"--hdr"};
    set.hdr10Profiles = {"Korvel_HDR10"};
    const QString sdr = MakeArchive(files.filePath("sdr.zip"),
                                    ArchiveOptions() + QStringList{"--hdr", "--luminance", "Native=" + c.luminance});
    QStringList archives{"--archive", Identity + "=" + sdr};
    if (c.hdr10Archive) {
        archives << "--archive"
                 << Identity + "_HDR=" +
                        MakeArchive(files.filePath("hdr10.zip"), {"--format", set.format, "--profiles", "Korvel_HDR10",
                                                                  "--hdr10", "--brightness", "60"});
    }
    RestorationOutcome outcome(archives, set);
    const QString colourDirectory = WinSim::MapWindowsPath("C:/Windows/System32/spool/drivers/color");
    Shell(colourDirectory, "touch -d '-10 min' KVL_4A1C_*.icm");
    ASSERT_TRUE(outcome.Start()) << outcome.program->ErrorOutput();

    outcome.Restore();
    const QString nativeHdr = QStringLiteral("KVL_4A1C_Native_HDR.icm");
    const QString applied = "colour-default " + SdrDefault + "KVL_4A1C_Default.icm";
    const QString advanced = "colour-display-default 0:58123:0 EXTENDED_DISPLAY_COLOR_MODE " + nativeHdr;
    QStringList road{"colour-default " + SdrDefault + "sRGB Color Space Profile.icm", applied, advanced};
    if (c.hdr10Archive) {
        road << applied;  // the HDR10 road's end
    }
    const auto colourRoad = [&outcome] {
        QStringList events;
        for (const QString& event : outcome.machine.Events("colour-default")) {
            events << "colour-default " + event;
        }
        for (const QString& event : outcome.machine.Events("colour-display-default")) {
            events << "colour-display-default " + event;
        }
        return events;
    };
    ASSERT_TRUE(WaitUntil([&] { return colourRoad().size() >= road.size(); })) << outcome.machine.MainLog().right(3000);
    EXPECT_EQ(outcome.CheckedOnceThey({"Default"}), QStringList{"Default"});
    const QJsonObject colour = ColourState();
    EXPECT_EQ(colour["displayAssociations"]["currentUser"]["0:58123:0"]["defaults"]["EXTENDED_DISPLAY_COLOR_MODE"]
                  .toString(),
              nativeHdr);
    EXPECT_EQ(outcome.Quit(), 0);

    // In the journal's order, once the program has ended.
    QStringList events;
    for (const QString& line : WinSim::ReadJournal()) {
        const QString event = line.section(' ', 2);
        if (event.startsWith("colour-default ") || event.startsWith("colour-display-default ")) {
            events << event;
        }
    }
    EXPECT_EQ(events.mid(events.lastIndexOf("colour-default " + SdrDefault + Picked) + 1), road);
    EXPECT_EQ(outcome.machine.Events("message-box"), QStringList());

    // A native HDR profile under 550 cd/m² is replaced by the generic one; at 550 the archive's native
    // profile stays (the installed "Native" profile itself gets the Default profile's colorants).
    const QString generic = files.filePath("generic.icm");
    WriteFile(generic, ReadFile(ProfileCorrection::GenericNativeHdrResource));
    Shell(files.path(), "unzip -q sdr.zip KVL_4A1C_Native.icm");
    const QList<QList<double>> native = TransiccPrimariesAndWhite(files.filePath("KVL_4A1C_Native.icm"));
    ASSERT_NE(native, TransiccPrimariesAndWhite(generic));
    EXPECT_EQ(TransiccPrimariesAndWhite(colourDirectory + "/" + nativeHdr),
              c.replaced ? TransiccPrimariesAndWhite(generic) : native);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HdrRestoration,
    testing::Values(HdrCase{"DimNativeProfileIsReplaced", "549.9", true, true},
                    HdrCase{"NativeProfileAt550StaysWithoutHdr10Archive", "550", false, false}),
    [](const testing::TestParamInfo<HdrCase>& info) { return std::string(info.param.name); });

}  // namespace
