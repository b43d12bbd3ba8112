// `winsim user` driving tests/helpers/trayprogram, a GUI program of the machine, as its user.
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/SimulatedUser.h"
#include "tests/fixtures/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <memory>

using TestSupport::BinaryPath;
using TestSupport::ProcessResult;
using TestSupport::RunWinsim;
using TestSupport::TemporaryMachine;
using TestSupport::WaitForLine;

namespace {

// A running trayprogram of the current machine, on the offscreen platform or on an X display;
// it ends when the object does.
class TrayProgram {
public:
    explicit TrayProgram(const QString& display = QString())
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", display.isEmpty() ? "offscreen" : "xcb");
        environment.insert("DISPLAY", display);
        process.setProcessEnvironment(environment);
        process.start(BinaryPath("trayprogram"), {});
        ready = WaitForLine(process, "ready", seen);
    }

    ~TrayProgram()
    {
        TestSupport::EndProcess(process, TestSupport::AskToEnd::CloseInput, 10000);
    }

    // Waits for the program to print `line`; the lines before it must be `before`.
    void Expect(const QString& line, const QStringList& before = {})
    {
        QStringList read;
        EXPECT_TRUE(WaitForLine(process, line, read)) << read.join('|') << " / " << QString::fromUtf8(process.readAllStandardError());
        read.removeLast();
        EXPECT_EQ(read, before);
    }

    QProcess process;
    QStringList seen;
    bool ready = false;
};

using TestSupport::User;

void Act(const QStringList& arguments)
{
    const ProcessResult result = User(arguments);
    EXPECT_EQ(result.exitCode, 0) << arguments.join(' ') << ": " << result.err;
}

QJsonObject Show(const QStringList& arguments = {})
{
    const ProcessResult result = User(QStringList{"show"} + arguments);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return QJsonDocument::fromJson(result.out.toUtf8()).object();
}

// The journal lines of the simulated user's events, without time and process id.
QStringList UserJournal()
{
    QStringList lines;
    for (const QString& line : WinSim::ReadJournal()) {
        const QString event = line.section(' ', 2);
        if (event.startsWith("message-box ") || event.startsWith("dialog ") || event.startsWith("answer-refused ")) {
            lines << event;
        }
    }
    return lines;
}

QStringList Texts(const QJsonArray& entries)
{
    QStringList texts;
    for (const QJsonValue& entry : entries) {
        texts << (entry["separator"].toBool() ? QStringLiteral("-") : entry["text"].toString());
    }
    return texts;
}

QJsonObject Window(const QJsonObject& shown, int index = 0)
{
    return shown["programs"][0]["windows"][index].toObject();
}

class SimulatedUserTest : public testing::Test {
protected:
    TemporaryMachine machine;
};

// A program's announcement is written atomically, through a temporary file beside it; looking for
// programs meanwhile must leave that file alone, while announcements of ended programs go.
TEST_F(SimulatedUserTest, AnnouncementBeingWrittenIsLeftAlone)
{
    QProcess ended;
    ended.start("true", {});
    ASSERT_TRUE(TestSupport::WaitForFinished(ended));
    const QString folder = machine.Path() + "/listeners";
    const QString own = QString::number(QCoreApplication::applicationPid());
    TestSupport::WriteFile(folder + "/" + QString::number(ended.processId()), "gone");
    TestSupport::WriteFile(folder + "/" + own + ".tmp." + own, "being written");
    EXPECT_EQ(WinSim::User::ListeningPrograms(), QList<qint64>());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{own + ".tmp." + own});
}

// A link at the listeners folder's name leads outside the machine: looking for programs removes
// nothing there, and a starting program announces itself in a folder of its own.
TEST_F(SimulatedUserTest, LinkedListenersFolderIsNotFollowed)
{
    QProcess ended;
    ended.start("true", {});
    ASSERT_TRUE(TestSupport::WaitForFinished(ended));
    TestSupport::OutsideFolder outside;
    TestSupport::WriteFile(outside.FilePath(QString::number(ended.processId())), "gone");
    const auto before = outside.Contents();
    TestSupport::PlantLink(outside.Path(), machine.Path() + "/listeners");

    EXPECT_EQ(WinSim::User::ListeningPrograms(), QList<qint64>());
    TrayProgram program;
    ASSERT_TRUE(program.ready) << program.seen.join('|');
    EXPECT_FALSE(QFileInfo(machine.Path() + "/listeners").isSymLink());
    EXPECT_EQ(WinSim::User::ListeningPrograms(), QList<qint64>{program.process.processId()});
    EXPECT_EQ(outside.Contents(), before);
}

TEST_F(SimulatedUserTest, ShowsTheTrayAndChoosesFromItsMenu)
{
    TrayProgram program;
    ASSERT_TRUE(program.ready) << program.seen.join('|');

    const QJsonObject shown = Show();
    ASSERT_EQ(shown["programs"].toArray().size(), 1);
    const QJsonObject shownProgram = shown["programs"][0].toObject();
    EXPECT_EQ(shownProgram["pid"].toInteger(), program.process.processId());
    EXPECT_EQ(shownProgram["program"].toString(), "trayprogram");
    EXPECT_EQ(shownProgram["application"].toString(), "Tray Program");
    EXPECT_EQ(shownProgram["windows"].toArray(), QJsonArray());
    ASSERT_EQ(shownProgram["tray"].toArray().size(), 1) << "a tray icon without a parent is found too";
    const QJsonObject tray = shownProgram["tray"][0].toObject();
    EXPECT_EQ(tray["toolTip"].toString(), "Tray program");
    EXPECT_TRUE(tray["visible"].toBool());
    const QJsonArray menu = tray["menu"].toArray();
    EXPECT_EQ(Texts(menu), QStringList({"Alpha", "Beta", "More", "-", "Ask...", "Notice...", "Dialog...",
                                        "Unavailable", "Remove Beta", "Quit"}));
    EXPECT_EQ(menu[0].toObject(), QJsonObject({{"text", "Alpha"}, {"visible", true}, {"enabled", true},
                                               {"checkable", true}, {"checked", false}}));
    EXPECT_FALSE(menu[7]["enabled"].toBool());
    EXPECT_EQ(Texts(menu[2]["menu"].toArray()), QStringList{"Gamma"});

    Act({"click", "tray"});
    program.Expect("activated 3");  // Trigger
    Act({"click", "--context", "tray"});
    program.Expect("activated 1");  // Context, then the menu opens
    const QJsonObject opened = Show();
    EXPECT_EQ(Window(opened)["class"].toString(), "QMenu");
    EXPECT_EQ(Texts(Window(opened)["menu"].toArray()), Texts(menu));

    Act({"trigger", "Beta"});  // from the open menu, which then closes
    program.Expect("checked Beta");
    Act({"trigger", "Gamma"});  // opens the tray menu and its submenu
    program.Expect("checked Gamma");
    const QJsonObject chosen = Show();
    EXPECT_EQ(chosen["programs"][0]["windows"].toArray(), QJsonArray());
    const QJsonArray checked = chosen["programs"][0]["tray"][0]["menu"].toArray();
    EXPECT_FALSE(checked[1]["checked"].toBool());
    EXPECT_TRUE(checked[2]["menu"][0]["checked"].toBool());

    Act({"trigger", "Quit"});  // shown without its "&"
    ASSERT_TRUE(TestSupport::WaitForFinished(program.process));
    EXPECT_EQ(program.process.exitCode(), 0);
}

// Every change of what the tray menu shows checked is journalled, in the order it happens: the
// group's new choice before the old one's end, and a checked entry that leaves the menu.
TEST_F(SimulatedUserTest, JournalsTheTrayMenusChecks)
{
    TrayProgram program;
    ASSERT_TRUE(program.ready) << program.seen.join('|');
    Act({"trigger", "Beta"});
    program.Expect("checked Beta");
    Act({"trigger", "Gamma"});  // in the submenu
    program.Expect("checked Gamma");
    Act({"trigger", "Beta"});
    program.Expect("checked Beta");
    Act({"trigger", "Remove Beta"});
    program.Expect("removed Beta");
    Act({"trigger", "Alpha"});
    program.Expect("checked Alpha");

    QStringList checks;
    for (const QString& line : WinSim::ReadJournal()) {
        if (line.section(' ', 2, 2) == "menu-check") {
            checks << line.section(' ', 3);
        }
    }
    EXPECT_EQ(checks, QStringList({"text=\"Beta\" checked=true", "text=\"Gamma\" checked=true",
                                   "text=\"Beta\" checked=false", "text=\"Beta\" checked=true",
                                   "text=\"Gamma\" checked=false", "text=\"Beta\" checked=false",
                                   "text=\"Alpha\" checked=true"}));
}

TEST_F(SimulatedUserTest, AnswersMessageBoxesShownOrToCome)
{
    TrayProgram program;
    ASSERT_TRUE(program.ready) << program.seen.join('|');

    const struct {
        bool queued;  // answered before the box shows
        QStringList answer;
        QString printed;
        QString journalled;
    } cases[] = {
        {true, {"No"}, "asked No", "No"},
        {false, {"yes"}, "asked Yes", "Yes"},
        {false, {"--close"}, "asked No", "closed"},  // the box's escape button
        {true, {"--close"}, "asked No", "closed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.queued ? "queued " : "") + c.answer.join(' '));
        if (c.queued) {
            const ProcessResult queued = User(QStringList{"answer"} + c.answer);
            EXPECT_EQ(queued.out.trimmed(), "queued") << queued.err;
            EXPECT_EQ(Show()["answers"].toArray().size(), 1);
            Act({"trigger", "Ask..."});
        } else {
            Act({"trigger", "Ask..."});
            const QJsonObject box = Window(Show());
            EXPECT_EQ(box["class"].toString(), "QMessageBox");
            EXPECT_EQ(box["title"].toString(), "Question");
            EXPECT_TRUE(box["modal"].toBool());
            EXPECT_EQ(box["messageBox"].toObject(),
                      QJsonObject({{"icon", "question"}, {"text", "Go on?"}, {"informativeText", "Nothing changes yet."},
                                   {"buttons", QJsonArray{"Yes", "No"}}, {"waiting", true}}));
            const ProcessResult answered = User(QStringList{"answer"} + c.answer);
            EXPECT_EQ(answered.out.trimmed(), "answered \"Question\" in trayprogram (" +
                                                  QString::number(program.process.processId()) + ")")
                << answered.err;
        }
        program.Expect(c.printed);
        EXPECT_EQ(UserJournal().last(), "message-box icon=question title=\"Question\" text=\"Go on?\" "
                                        "informative=\"Nothing changes yet.\" answer=\"" + c.journalled + "\"");
        EXPECT_EQ(Show()["answers"].toArray(), QJsonArray());
    }

    // A box made as a plain dialog with a picture, a text and a button; a wrong answer is refused
    // and the box goes on waiting.
    Act({"trigger", "Notice..."});
    const ProcessResult wrong = User({"answer", "Yes"});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_TRUE(wrong.err.contains("the message box \"Notice\" has no button \"Yes\" (it has OK)")) << wrong.err;
    const QJsonObject notice = Window(Show())["messageBox"].toObject();
    EXPECT_EQ(notice["icon"].toString(), "information");
    EXPECT_TRUE(notice["waiting"].toBool());
    Act({"answer", "OK"});
    program.Expect("notice accepted");
    EXPECT_EQ(UserJournal().mid(4), QStringList({
                                        "answer-refused the message box \"Notice\" has no button \"Yes\" (it has OK)",
                                        "message-box icon=information title=\"Notice\" text=\"Saved.\" answer=\"OK\"",
                                    }));
}

TEST_F(SimulatedUserTest, BoxesOnTopOfBoxesAndNativeEvents)
{
    TrayProgram program;
    ASSERT_TRUE(program.ready) << program.seen.join('|');

    // A native event whose handler shows a box while another box waits: the sender is not held up
    // by the box, and answers go to the box on top.
    Act({"trigger", "Ask..."});
    // Delivered while both boxes wait: the sender did not wait for an answer.
    const ProcessResult sent = RunWinsim({"event", "display-change"});
    EXPECT_EQ(sent.out.trimmed(), "delivered to 1 program") << sent.err;
    const QJsonObject shown = Show();
    ASSERT_EQ(shown["programs"][0]["windows"].toArray().size(), 2);
    EXPECT_EQ(Window(shown, 1)["title"].toString(), "Displays");
    EXPECT_EQ(Window(shown, 1)["messageBox"].toObject()["icon"].toString(), "warning");

    EXPECT_TRUE(User({"answer", "OK"}).out.startsWith("answered \"Displays\""));
    program.Expect("display change seen");
    EXPECT_TRUE(User({"answer", "No"}).out.startsWith("answered \"Question\""));
    program.Expect("asked No");
    EXPECT_EQ(UserJournal(), QStringList({
                                 "message-box icon=warning title=\"Displays\" text=\"Displays changed.\" answer=\"OK\"",
                                 "message-box icon=question title=\"Question\" text=\"Go on?\" "
                                 "informative=\"Nothing changes yet.\" answer=\"No\"",
                             }));
    Act({"trigger", "Beta"});  // the program goes on
    program.Expect("checked Beta");
}

TEST_F(SimulatedUserTest, TypesAndClicksInADialog)
{
    TrayProgram program;
    ASSERT_TRUE(program.ready) << program.seen.join('|');

    const struct {
        QStringList step;
        QString printed;
    } endings[] = {{{"click", "okButton"}, "dialog accepted 56 remembered"},
                   {{"click", "cancelButton"}, "dialog rejected"},
                   {{"close", "entryDialog"}, "dialog rejected"}};  // its title bar's button
    for (const auto& ending : endings) {
        SCOPED_TRACE(ending.step.join(' '));
        Act({"trigger", "Dialog..."});
        const QJsonObject dialog = Window(Show());
        EXPECT_EQ(dialog["object"].toString(), "entryDialog");
        EXPECT_FALSE(dialog.contains("messageBox")) << "a dialog with a text field is no message box";
        EXPECT_EQ(dialog["widgets"].toArray(),
                  QJsonArray({QJsonObject{{"object", "numberEdit"}, {"class", "QLineEdit"}, {"text", ""}, {"enabled", true}},
                              QJsonObject{{"object", "rememberBox"}, {"class", "QCheckBox"}, {"text", "Remember"},
                                          {"enabled", true}, {"checked", false}},
                              QJsonObject{{"object", "okButton"}, {"class", "QPushButton"}, {"text", "OK"}, {"enabled", false}},
                              QJsonObject{{"object", "cancelButton"}, {"class", "QPushButton"}, {"text", "Cancel"},
                                          {"enabled", true}}}));

        // Key by key: the validator drops the letters and the program hears each edit.
        Act({"type", "numberEdit", "12ab34"});
        program.Expect("edited 1234", {"edited 1", "edited 12", "edited 123"});
        // A correction: all selected, then typed over.
        Act({"type", "--replace", "numberEdit", "56"});
        program.Expect("edited 56", {"edited 5"});
        Act({"click", "rememberBox"});
        const QJsonArray widgets = Window(Show())["widgets"].toArray();
        EXPECT_EQ(widgets[0]["text"].toString(), "56");
        EXPECT_TRUE(widgets[1]["checked"].toBool());
        EXPECT_TRUE(widgets[2]["enabled"].toBool());
        Act(ending.step);
        program.Expect(ending.printed);
    }
    EXPECT_EQ(UserJournal(), QStringList({
                                 "dialog class=QDialog object=\"entryDialog\" title=\"Entry\" result=accepted",
                                 "dialog class=QDialog object=\"entryDialog\" title=\"Entry\" result=rejected",
                                 "dialog class=QDialog object=\"entryDialog\" title=\"Entry\" result=rejected",
                             }));
}

TEST_F(SimulatedUserTest, StepsFailWithinTheirBound)
{
    TrayProgram program;
    ASSERT_TRUE(program.ready) << program.seen.join('|');
    Act({"trigger", "Dialog..."});

    const struct {
        QStringList step;
        QString error;
    } cases[] = {
        {{"click", "noSuchWidget"}, "no visible widget \"noSuchWidget\" (waited 300 ms)"},
        {{"click", "okButton"}, "\"okButton\" is disabled (waited 300 ms)"},
        {{"type", "numberEdit", "1", "--program", "nosuch"}, "no program nosuch with a user interface runs (waited 300 ms)"},
        {{"trigger", "Unavailable"}, "the menu entry \"Unavailable\" is disabled (waited 300 ms)"},
        {{"trigger", "Nothing"}, "no visible menu entry or button \"Nothing\" (waited 300 ms)"},
        {{"close", "numberEdit"}, "\"numberEdit\" is no window (waited 300 ms)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step.join(' '));
        QElapsedTimer elapsed;
        elapsed.start();
        const ProcessResult result = User(c.step + QStringList{"--timeout", "300"});
        EXPECT_GE(elapsed.elapsed(), 300);
        // Not the default 5000 ms (on a busy computer winsim itself takes longer).
        EXPECT_LT(elapsed.elapsed(), TestSupport::Patience(5000).LimitMs());
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err.trimmed(), "winsim: " + c.error);
    }
    EXPECT_EQ(User({"answer"}).exitCode, 2);
    EXPECT_EQ(User({"answer", "Yes", "--close"}).exitCode, 2);
    EXPECT_EQ(User({"click", "a", "--timeout", "soon"}).exitCode, 2);

    // A step waits for its widget to come.
    QProcess later;
    later.start(BinaryPath("winsim"),
                {"user", "click", "--timeout", QString::number(TestSupport::Patience().LimitMs()), "pushButton"});
    ASSERT_TRUE(later.waitForStarted());
    Act({"click", "cancelButton"});
    Act({"trigger", "Notice..."});
    ASSERT_TRUE(TestSupport::WaitForFinished(later));
    EXPECT_EQ(later.exitCode(), 0) << QString::fromUtf8(later.readAllStandardError());
    program.Expect("notice accepted", {"dialog rejected"});
}

TEST_F(SimulatedUserTest, TwoProgramsOnOneMachine)
{
    TrayProgram first;
    TrayProgram second;
    QProcess watcher;  // listens, but has no user interface
    watcher.start(BinaryPath("lidwatcher"), {});
    QStringList seen;
    ASSERT_TRUE(first.ready && second.ready && WaitForLine(watcher, "ready", seen));
    const QString firstPid = QString::number(first.process.processId());
    const QString secondPid = QString::number(second.process.processId());

    QStringList shownPids;
    for (const QJsonValue& program : Show()["programs"].toArray()) {
        shownPids << QString::number(program["pid"].toInteger());
    }
    shownPids.sort();
    QStringList pids{firstPid, secondPid};
    pids.sort();
    EXPECT_EQ(shownPids, pids);
    EXPECT_EQ(Show({"--program", secondPid})["programs"][0]["pid"].toInteger(), second.process.processId());
    EXPECT_EQ(Show({"--program", "Tray Program"})["programs"].toArray().size(), 2);

    const ProcessResult ambiguous = User({"trigger", "Beta"});
    EXPECT_EQ(ambiguous.exitCode, 1);
    EXPECT_TRUE(ambiguous.err.contains("several programs run")) << ambiguous.err;

    // An answer for the second program waits for its box, whichever program shows one first.
    EXPECT_EQ(User({"answer", "--program", secondPid, "Yes"}).out.trimmed(), "queued");
    Act({"trigger", "--program", firstPid, "Ask..."});
    EXPECT_TRUE(Window(Show({"--program", firstPid}))["messageBox"].toObject()["waiting"].toBool());
    Act({"trigger", "--program", secondPid, "Ask..."});
    second.Expect("asked Yes");
    Act({"answer", "--program", firstPid, "No"});
    first.Expect("asked No");
    watcher.closeWriteChannel();
    EXPECT_TRUE(TestSupport::WaitForFinished(watcher));
}

TEST_F(SimulatedUserTest, WorksUnderXvfb)
{
    const TestSupport::VirtualDisplay display;
    ASSERT_FALSE(display.Name().isEmpty());
    TrayProgram program(display.Name());
    ASSERT_TRUE(program.ready) << program.seen.join('|') << QString::fromUtf8(program.process.readAllStandardError());

    EXPECT_EQ(Texts(Show()["programs"][0]["tray"][0]["menu"].toArray()).size(), 10);
    Act({"answer", "No"});
    Act({"trigger", "Ask..."});
    program.Expect("asked No");
    Act({"click", "--context", "tray"});
    program.Expect("activated 1");
    Act({"trigger", "Gamma"});
    program.Expect("checked Gamma");
    Act({"trigger", "Dialog..."});
    Act({"type", "numberEdit", "7x"});
    Act({"click", "rememberBox"});
    Act({"trigger", "OK"});
    program.Expect("dialog accepted 7 remembered", {"edited 7"});
    Act({"trigger", "Quit"});
    ASSERT_TRUE(TestSupport::WaitForFinished(program.process));
    EXPECT_EQ(program.process.exitCode(), 0);
}

}  // namespace
