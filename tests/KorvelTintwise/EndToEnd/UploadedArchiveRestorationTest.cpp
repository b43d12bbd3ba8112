// The road after a panel replacement on an HDR-capable laptop, run for real with both programs on one
// machine, each case under an Xvfb of its own with trayer: Quillon installs the new panel's factory
// set from the local profile server and uploads it for this computer; a profile of the set goes
// missing; KorvelTintwise asks, the user answers Yes, and the set comes back from the archive Quillon
// uploaded (the server holds no other one for this computer). The road ends with the set's default
// profile applied and marked in the tray menu, the native HDR profile (the generic one in place of a
// dim one) or the HDR10 profile as the advanced-colour default. Asserted on the journal's order.
#include "ProfileData/ProfileCorrection.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Time.h"
#include "tests/fixtures/PeerArchives.h"
#include "tests/fixtures/ProfileServer.h"
#include "tests/fixtures/TrayMachine.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>

using namespace TestSupport;

namespace {

const QString Serial = QStringLiteral("8S0123456789AAAABBBB123");
const QString Removed = QStringLiteral("KVL_4A1C_DCIP3.icm");
const QString NativeHdr = QStringLiteral("KVL_4A1C_Native_HDR.icm");
const QString Hdr10 = QStringLiteral("KVL_4A1C_Korvel_HDR10.icm");
const QStringList Set{"KVL_4A1C_AdobeRGB.icm", "KVL_4A1C_DCIP3.icm", "KVL_4A1C_Default.icm", "KVL_4A1C_Native.icm",
                      NativeHdr,           "KVL_4A1C_REC709.icm", "KVL_4A1C_sRGB.icm"};
const QString SdrDefault = QStringLiteral("colour-default currentUser RGB_WORKING_SPACE ");
const QString AdvancedDefault = QStringLiteral("colour-display-default 0:58123:0 EXTENDED_DISPLAY_COLOR_MODE ");
const QString DefaultMarked = QStringLiteral("menu-check text=\"Default\" checked=true");

// A wait as long as the programs' own waits on this machine ("time.waitScale") and a loaded machine
// may make a step.
int Within(int programWaitMs)
{
    return 120000 + int(WinSim::ScaledWait(DWORD(programWaitMs)));
}

bool WaitUntil(const std::function<bool()>& done, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(100);
    }
    return true;
}

// The journal's events ("event details") from line `from` on.
QStringList Journal(int from)
{
    QStringList events;
    for (const QString& line : WinSim::ReadJournal().mid(from)) {
        events << line.section(' ', 2);
    }
    return events;
}

// The archive maker's signed archive of the panel's format, its profiles marked as a factory set's are.
QString MakeArchive(const QString& path, const QStringList& options)
{
    const ProcessResult made = Run("python3", QStringList{BinaryPath("make_panel_archive.py"), "--output", path,
                                                          "--format", FactorySet().format, "--brightness", "60"} +
                                                  options);
    EXPECT_EQ(made.exitCode, 0) << made.err;
    return path;
}

// The entries of `milestones` found in `events`, each after the one before, up to the first missing.
QStringList InOrder(const QStringList& events, const QStringList& milestones)
{
    QStringList found;
    qsizetype at = -1;
    for (const QString& milestone : milestones) {
        at = events.indexOf(milestone, at + 1);
        if (at < 0) {
            break;
        }
        found << milestone;
    }
    return found;
}

// The tray menu's checked entries once the journal's "menu-check" events have happened.
QSet<QString> CheckedEntries(const QStringList& events)
{
    QSet<QString> checked;
    for (const QString& event : events.filter(QRegularExpression("^menu-check "))) {
        const QString text = event.section('"', 1, 1);
        if (event.endsWith("checked=true")) {
            checked.insert(text);
        } else {
            checked.remove(text);
        }
    }
    return checked;
}

// transicc's XYZ of the primaries and white through a profile.
QList<QList<double>> Colours(const QString& profile)
{
    QList<QList<double>> colours;
    for (const QString rgb : {"255 0 0", "0 255 0", "0 0 255", "255 255 255"}) {
        colours << Transicc(profile, rgb);
    }
    return colours;
}

struct RoadCase {
    const char* name;
    // The server holds the panel's HDR10 archive for this computer, whose model offers HDR10 profiles.
    bool hdr10Archive;
    // The native profile's white luminance in the panel's archive, and whether the restoration puts
    // the generic native HDR profile in place of the one made from it.
    QString nativeLuminance;
    bool generic;
    // The profile goes while the program runs and the user's pick finds it missing; else before the
    // start, and the program asks once the out-of-box detector reports again.
    bool removedWhileRunning;
};

void PrintTo(const RoadCase& c, std::ostream* stream)
{
    *stream << c.name;
}

class UploadedArchiveRestoration : public testing::TestWithParam<RoadCase> {};

TEST_P(UploadedArchiveRestoration, EndsWithTheDefaultProfileAppliedAndMarked)
{
    const RoadCase& c = GetParam();
    FactorySet nothing;
    nothing.notInstalled = nothing.profiles;
    nothing.panelValues = false;
    TrayMachine machine(nothing);
    // Quillon's own waits (its 130 s guard among them) at their real length.
    WinSim::SetDescriptionValue(QStringLiteral("time.waitScale"), 1);
    const QString model = c.hdr10Archive ? QStringLiteral("21KV0099US") : QStringLiteral("21KV0012US");
    WinSim::SetDescriptionValue(QStringLiteral("bios.model"), model);
    const QString identity = "1S" + model + "PF4KVQ7T";
    QTemporaryDir files;
    const QString panel = MakeArchive(files.filePath("panel.zip"), {"--profiles", "sRGB,AdobeRGB,REC709,DCIP3,Default,Native",
                                                                    "--hdr", "--luminance", "Native=" + c.nativeLuminance});
    QStringList archives{"--archive", Serial + "=" + panel};
    if (c.hdr10Archive) {
        archives << "--archive"
                 << identity + "_HDR=" +
                        MakeArchive(files.filePath("hdr10.zip"), {"--profiles", "Korvel_HDR10", "--hdr10"});
    }
    ProfileServer server(archives);
    ASSERT_TRUE(server.Started());
    server.ConfigureMachine();
    const TrayDesktop desktop;
    ASSERT_TRUE(desktop.Ready());

    // Quillon: the per-user list question, the serial, the update, the outcome, the end.
    for (int box = 0; box < 2; ++box) {
        ASSERT_EQ(User({"answer", "--program", "Quillon", "OK"}).exitCode, 0);
    }
    {
        TrayProgram quillon(desktop, machine, {}, QStringLiteral("Quillon"));
        const QString timeout = QString::number(Within(130000));
        for (const QStringList& step : {QStringList{"type", "lineEditPanelID", Serial.toLower()},
                                        QStringList{"click", "pushButtonUpdateProfiles"},
                                        QStringList{"click", "pushButtonCancel"}}) {
            const ProcessResult done =
                User(QStringList{step.first(), "--program", "Quillon", "--timeout", timeout} + step.mid(1));
            ASSERT_EQ(done.exitCode, 0) << step.join(' ') << ": " << done.err << quillon.ErrorOutput();
        }
        ASSERT_EQ(quillon.WaitForExit(Within(10000)), 0) << quillon.ErrorOutput();
    }
    ASSERT_TRUE(JournalEvents("message-box").last().contains("Profile archive updated successfully!"));
    ASSERT_EQ(server.Requests().last()["sn"].toString(), identity);

    // The tray program's own waits shortened, the out-of-box detector's second report kept.
    WinSim::SetDescriptionValue(QStringLiteral("time.waitScale"), 0.2);
    const auto remove = [] {
        const ProcessResult removed =
            RunWinsim({"run", "--elevated", "--", BinaryPath("Tessaly"), "--uninstall-profile", Removed});
        EXPECT_EQ(removed.exitCode, 0) << removed.out << removed.err;
    };
    if (!c.removedWhileRunning) {
        remove();
    }
    ASSERT_EQ(User({"answer", "--program", "KorvelTintwise", "Yes"}).exitCode, 0);
    const int from = int(WinSim::ReadJournal().size());
    TrayProgram program(desktop, machine);
    if (c.removedWhileRunning) {
        ASSERT_FALSE(program.WaitForTrayMenu(Within(0)).isEmpty()) << program.ErrorOutput();
        // Once the out-of-box detector's report is handled (its tag correction installs the set
        // again, the second update check ends it).
        ASSERT_TRUE(WaitUntil([from] { return JournalEvents("vesperon-check", from).size() >= 2; }, Within(5000)));
        remove();
        const ProcessResult picked =
            User({"trigger", "--program", "KorvelTintwise", "--timeout", QString::number(Within(0)), "Adobe RGB"});
        ASSERT_EQ(picked.exitCode, 0) << picked.err;
    }

    // The road's last step: the HDR10 set's default applied again, or the HDR10 download's failure.
    const QString lastApplied = c.hdr10Archive ? AdvancedDefault + Hdr10 : AdvancedDefault + NativeHdr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            const QStringList events = Journal(from);
            const qsizetype last = events.lastIndexOf(lastApplied);
            return last >= 0 && (c.hdr10Archive ? events.indexOf(SdrDefault + "KVL_4A1C_Default.icm", last) > last
                                                : machine.MainLog().contains("Failed to restore HDR10 profiles"));
        },
        Within(10000)))
        << Journal(from).join('\n').right(4000) << machine.MainLog().right(3000);
    ASSERT_EQ(User({"trigger", "--program", "KorvelTintwise", "Quit"}).exitCode, 0);
    EXPECT_EQ(program.WaitForExit(Within(0)), 0);

    // In the journal's order: the question, Windows' sRGB profile, the restored set installed, its
    // default applied, then marked, then the advanced-colour default (and the HDR10 road after it).
    const QStringList events = Journal(from);
    const QStringList boxes = events.filter(QRegularExpression("^message-box "));
    ASSERT_EQ(boxes.size(), 1) << boxes.join('\n');
    EXPECT_TRUE(boxes.first().contains("are missing from your system") && boxes.first().endsWith("answer=\"Yes\""));
    const QString srgb = SdrDefault + "sRGB Color Space Profile.icm";
    const QString applied = SdrDefault + "KVL_4A1C_Default.icm";
    QStringList road{srgb, applied, DefaultMarked, AdvancedDefault + NativeHdr};
    if (c.hdr10Archive) {
        road << "colour-install " + Hdr10 << AdvancedDefault + Hdr10 << applied;
    }
    EXPECT_EQ(InOrder(events, road), road) << events.join('\n');
    const qsizetype restoring = events.indexOf(srgb);
    const QStringList installed =
        events.mid(restoring, events.indexOf(applied, restoring) - restoring).filter(QRegularExpression("^colour-install "));
    EXPECT_EQ(installed.size(), Set.size()) << installed.join('\n');
    for (const QString& file : Set) {
        EXPECT_TRUE(installed.contains("colour-install " + file)) << file.toStdString();
    }
    // Nothing applied after the road's end; the menu marks the default profile alone.
    EXPECT_EQ(events.mid(events.lastIndexOf(lastApplied)).filter(QRegularExpression("^colour-(display-)?default ")),
              c.hdr10Archive ? QStringList({lastApplied, applied}) : QStringList{lastApplied});
    EXPECT_EQ(CheckedEntries(events), QSet<QString>{"Default"});

    // What `winsim colour` shows Windows holding.
    const QJsonObject colour = ColourState();
    const QString monitor = colour["defaults"]["currentUser"].toObject().keys().value(0);
    EXPECT_EQ(colour["defaults"]["currentUser"][monitor]["RGB_WORKING_SPACE"].toString(), "KVL_4A1C_Default.icm");
    EXPECT_EQ(colour["displayAssociations"]["currentUser"]["0:58123:0"]["defaults"]["EXTENDED_DISPLAY_COLOR_MODE"]
                  .toString(),
              c.hdr10Archive ? Hdr10 : NativeHdr);

    // The native HDR profile Quillon made from the native one, or the generic one in its place.
    const QString generic = files.filePath("generic.icm");
    WriteFile(generic, ReadFile(ProfileCorrection::GenericNativeHdrResource));
    Shell(files.path(), "unzip -q panel.zip KVL_4A1C_Native.icm");
    const QList<QList<double>> native = Colours(files.filePath("KVL_4A1C_Native.icm"));
    ASSERT_NE(native, Colours(generic));
    EXPECT_EQ(Colours(WinSim::MapWindowsPath("C:/Windows/System32/spool/drivers/color") + "/" + NativeHdr),
              c.generic ? Colours(generic) : native);
}

INSTANTIATE_TEST_SUITE_P(
    Roads, UploadedArchiveRestoration,
    testing::Values(RoadCase{"SdrRoadReplacesTheDimNativeHdrProfile", false, "300", true, false},
                    RoadCase{"Hdr10ArchiveAfterTheSdrRoad", true, "550", false, true}),
    [](const testing::TestParamInfo<RoadCase>& info) { return std::string(info.param.name); });

}  // namespace
