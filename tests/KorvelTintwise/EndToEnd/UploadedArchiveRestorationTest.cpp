// The road after a panel replacement on an HDR-capable laptop, run for real with both programs on one
// machine, each case under an Xvfb of its own with trayer: Quillon installs the new panel's factory
// set from the local profile server and uploads it for this computer; a profile of the set goes
// missing; the user's pick in KorvelTintwise finds it missing, the user answers Yes, and the set
// comes back from the archive Quillon uploaded (the server holds no other SDR archive for this
// computer). The road ends with the set's default profile applied and marked in the tray menu, and
// the native HDR profile (the generic one in place of a dim one) or the HDR10 profile as the
// advanced-colour default. Asserted on the journal's order.
#include "ProfileData/ProfileCorrection.h"
#include "WindowsStandIn/Machine.h"
#include "tests/fixtures/PeerArchives.h"
#include "tests/fixtures/ProfileServer.h"
#include "tests/fixtures/TrayMachine.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QUrlQuery>

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

const QString Serial = QStringLiteral("8S0123456789AAAABBBB123");
const QString Prefix = QStringLiteral("KVL_4A1C_");
const QString Removed = Prefix + "DCIP3.icm";
const QString Default = Prefix + "Default.icm";
const QString NativeHdr = Prefix + "Native_HDR.icm";
const QString Hdr10 = Prefix + "Korvel_HDR10.icm";
const QStringList Set{Prefix + "AdobeRGB.icm", Prefix + "DCIP3.icm", Default,           Prefix + "Native.icm",
                      NativeHdr,               Prefix + "REC709.icm", Prefix + "sRGB.icm"};
const QString Applied = "colour-default currentUser RGB_WORKING_SPACE " + Default;
const QString Advanced = QStringLiteral("colour-display-default 0:58123:0 EXTENDED_DISPLAY_COLOR_MODE ");
const QString DefaultMarked = QStringLiteral("menu-check text=\"Default\" checked=true");

// The archive maker's signed archive of the panel's format; its profiles carry the brightness
// metadata of a factory set.
QString MakeArchive(const QString& path, const QStringList& options)
{
    const ProcessResult made = Run("python3", QStringList{BinaryPath("make_panel_archive.py"), "--output", path,
                                                          "--format", FactorySet().format, "--brightness", "60"} +
                                                  options);
    EXPECT_EQ(made.exitCode, 0) << made.err;
    return path;
}

// The journal's events since the machine's mark, as "name details".
QStringList Journal(const TrayMachine& machine)
{
    QStringList events;
    for (const JournalEvent& event : machine.JournalSinceMark()) {
        events << (event.details.isEmpty() ? event.name : event.name + ' ' + event.details);
    }
    return events;
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
    for (const QString& event : events) {
        if (!event.startsWith("menu-check ")) {
            continue;
        }
        const QString text = event.section('"', 1, 1);
        if (event.endsWith("checked=true")) {
            checked.insert(text);
        } else {
            checked.remove(text);
        }
    }
    return checked;
}

// The server's lookups and uploads as "phase sn", in order.
QStringList Requests(const ProfileServer& server)
{
    QStringList requests;
    for (const QJsonObject& request : server.Requests()) {
        const QString phase = request["phase"].toString();
        if (phase == "lookup") {
            requests << phase + ' ' + QUrlQuery(QUrl(request["path"].toString()).query()).queryItemValue("sn");
        } else if (phase == "upload") {
            requests << phase + ' ' + request["sn"].toString();
        }
    }
    return requests;
}

struct RoadCase {
    const char* name;
    // The native profile's white luminance in the panel's archive, and whether the restoration puts
    // the generic native HDR profile in place of the native HDR profile Quillon made from it.
    QString nativeLuminance;
    bool generic;
    // The server holds the panel's HDR10 archive for this computer, whose model offers HDR10 profiles.
    bool hdr10Archive;
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
    const QString model = c.hdr10Archive ? QStringLiteral("21KV0099US") : QStringLiteral("21KV0012US");
    WinSim::SetDescriptionValue(QStringLiteral("bios.model"), model);
    const QString identity = "1S" + model + "PF4KVQ7T";
    QTemporaryDir files;
    const QString panel =
        MakeArchive(files.filePath("panel.zip"), {"--profiles", "sRGB,AdobeRGB,REC709,DCIP3,Default,Native", "--hdr",
                                                  "--luminance", "Native=" + c.nativeLuminance});
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

    // Quillon, its own waits (its guard over the update among them) as long as the load needs: the
    // serial, the update, the question about the per-user list and the outcome answered, the end.
    ScaleProgramWaitsWithLoad();
    machine.MarkJournal();
    for (int box = 0; box < 2; ++box) {
        ASSERT_EQ(User({"answer", "--program", "Quillon", "OK"}).exitCode, 0);
    }
    {
        TrayProgram quillon(desktop, machine, {}, QStringLiteral("Quillon"));
        for (const QStringList& step : {QStringList{"type", "lineEditPanelID", Serial.toLower()},
                                        QStringList{"click", "pushButtonUpdateProfiles"},
                                        QStringList{"click", "pushButtonCancel"}}) {
            const ProcessResult done = User(QStringList{step.first(), "--program", "Quillon"} + step.mid(1));
            ASSERT_EQ(done.exitCode, 0) << step.join(' ') << ": " << done.err << quillon.ErrorOutput();
        }
        ASSERT_EQ(quillon.WaitForExit(), 0) << quillon.ErrorOutput();
    }
    ASSERT_TRUE(machine.Events("message-box").last().contains("Profile archive updated successfully!"))
        << machine.Events("message-box").join('\n');
    ASSERT_EQ(Requests(server), (QStringList{"lookup " + Serial, "upload " + identity}));
    const QString colourDirectory = WinSim::MapWindowsPath("C:/Windows/System32/spool/drivers/color");
    const QList<QList<double>> quillonsNativeHdr = TransiccPrimariesAndWhite(colourDirectory + "/" + NativeHdr);

    // The tray program, its own waits shortened (the out-of-box detector's late report is lost): the
    // user removes a profile of the set, picks another one and answers Yes.
    WinSim::SetDescriptionValue(QStringLiteral("time.waitScale"), 0);
    machine.MarkJournal();
    TrayProgram program(desktop, machine);
    ASSERT_FALSE(program.WaitForTrayMenu().isEmpty()) << program.ErrorOutput();
    const ProcessResult removed =
        RunWinsim({"run", "--elevated", "--", BinaryPath("Tessaly"), "--uninstall-profile", Removed});
    ASSERT_EQ(removed.exitCode, 0) << removed.out << removed.err;
    ASSERT_EQ(User({"answer", "--program", "KorvelTintwise", "Yes"}).exitCode, 0);
    ASSERT_EQ(User({"trigger", "--program", "KorvelTintwise", "Adobe RGB"}).exitCode, 0);

    // The road's end: the HDR10 road's default applied again after the HDR10 profile, or the HDR10
    // download's failure logged (the server has no HDR10 archive for this computer).
    const QString lastApplied = Advanced + (c.hdr10Archive ? Hdr10 : NativeHdr);
    ASSERT_TRUE(WaitUntil([&] {
        const QStringList events = Journal(machine);
        const qsizetype last = events.lastIndexOf(lastApplied);
        return last >= 0 && (c.hdr10Archive ? events.indexOf(Applied, last) > last
                                            : machine.MainLog().contains("Failed to restore HDR10 profiles"));
    })) << Journal(machine).join('\n').right(4000).toStdString()
        << machine.MainLog().right(3000).toStdString();
    // The journal up to the road's end, before the program ends.
    const QStringList events = Journal(machine);
    ASSERT_EQ(User({"trigger", "--program", "KorvelTintwise", "Quit"}).exitCode, 0);
    EXPECT_EQ(program.WaitForExit(), 0) << program.ErrorOutput();

    // In the journal's order: the question answered, Windows' sRGB profile, the restored set
    // installed, its default applied, then marked, then the native HDR profile as the advanced-colour
    // default (and the HDR10 road after it).
    const QStringList boxes = events.filter(QRegularExpression("^message-box "));
    ASSERT_EQ(boxes.size(), 1) << boxes.join('\n').toStdString();
    EXPECT_TRUE(boxes.first().contains("are missing from your system") && boxes.first().endsWith("answer=\"Yes\""))
        << boxes.first().toStdString();
    const QString srgb = QStringLiteral("colour-default currentUser RGB_WORKING_SPACE sRGB Color Space Profile.icm");
    QStringList road{boxes.first(), srgb, Applied, DefaultMarked, Advanced + NativeHdr};
    if (c.hdr10Archive) {
        road << "colour-install " + Hdr10 << Advanced + Hdr10 << Applied;
    }
    EXPECT_EQ(InOrder(events, road), road) << events.join('\n').toStdString();
    const qsizetype restoring = events.indexOf(srgb);
    QStringList installed = events.mid(restoring, events.indexOf(Applied, restoring) - restoring)
                                .filter(QRegularExpression("^colour-install "))
                                .replaceInStrings("colour-install ", "");
    installed.sort();
    EXPECT_EQ(installed, Set);
    // Nothing applied after the sRGB profile but the road's steps; the menu marks the default alone.
    EXPECT_EQ(events.mid(restoring).filter(QRegularExpression("^colour-(display-)?default ")),
              road.mid(1).filter(QRegularExpression("^colour-(display-)?default ")));
    EXPECT_EQ(CheckedEntries(events), QSet<QString>{"Default"});
    // The restoration asked for this computer's archive, the one Quillon uploaded, then for its HDR10 one.
    EXPECT_EQ(Requests(server).mid(2), (QStringList{"lookup " + identity, "lookup " + identity + "_HDR"}));

    // What `winsim colour` shows Windows holding.
    const QJsonObject colour = ColourState();
    const QString monitor = colour["defaults"]["currentUser"].toObject().keys().value(0);
    EXPECT_EQ(colour["defaults"]["currentUser"][monitor]["RGB_WORKING_SPACE"].toString(), Default);
    EXPECT_EQ(colour["displayAssociations"]["currentUser"]["0:58123:0"]["defaults"]["EXTENDED_DISPLAY_COLOR_MODE"]
                  .toString(),
              c.hdr10Archive ? Hdr10 : NativeHdr);

    // Quillon's native HDR profile is a copy of the native one; the restoration puts the generic
    // profile in place of a dim one and keeps one of 550 cd/m².
    const QString generic = files.filePath("generic.icm");
    WriteFile(generic, ReadFile(ProfileCorrection::GenericNativeHdrResource));
    Shell(files.path(), "unzip -q panel.zip " + Prefix + "Native.icm");
    const QList<QList<double>> native = TransiccPrimariesAndWhite(files.filePath(Prefix + "Native.icm"));
    ASSERT_NE(native, TransiccPrimariesAndWhite(generic));
    EXPECT_EQ(quillonsNativeHdr, native);
    EXPECT_EQ(TransiccPrimariesAndWhite(colourDirectory + "/" + NativeHdr),
              c.generic ? TransiccPrimariesAndWhite(generic) : native);
}

INSTANTIATE_TEST_SUITE_P(
    Roads, UploadedArchiveRestoration,
    testing::Values(RoadCase{"SdrRoadReplacesTheDimNativeHdrProfile", "549.9", true, false},
                    RoadCase{"Hdr10ArchiveAfterTheSdrRoadKeepsNativeHdrAt550", "550", false, true}),
    [](const testing::TestParamInfo<RoadCase>& info) { return std::string(info.param.name); });

}  // namespace
