#include "Common/Application/Constants.h"
#include "Common/Application/Paths.h"
#include "Common/Application/TextHelpers.h"
#include "tests/fixtures/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace Common = Korvel::DisplayCalibration::Common;
using TestSupport::ScopedEnvironment;
using TestSupport::TemporaryMachine;

namespace {

TEST(PathsTest, DataRootLiesInTheMachine)
{
    const TemporaryMachine machine;
    EXPECT_EQ(Common::ApplicationDataDirectory(), machine.Path() + "/drive_c/ProgramData/Korvel Inc/Korvel Tintwise");
}

TEST(PathsTest, UserDirectoryFallsBackToUsername)
{
    const TemporaryMachine machine;
    const ScopedEnvironment user("USER", nullptr);
    const ScopedEnvironment userName("USERNAME", "bob");
    const QString directory = Common::UserDataDirectory();
    EXPECT_TRUE(directory.endsWith("/Users/bob")) << directory.toStdString();
    EXPECT_TRUE(QFileInfo(directory).isDir());

    const ScopedEnvironment alice("USER", "alice");
    EXPECT_TRUE(Common::UserDataDirectory().endsWith("/Users/alice"));
}

TEST(PathsTest, MissingUserNameGivesTheUsersFolder)
{
    const TemporaryMachine machine;
    const ScopedEnvironment user("USER", nullptr);
    const ScopedEnvironment userName("USERNAME", nullptr);
    EXPECT_EQ(Common::UserDataDirectory(), Common::ApplicationDataDirectory() + "/Users");
}

TEST(PathsTest, UserNamesLeadingOutsideTheUsersFolderAreRefused)
{
    const TemporaryMachine machine;
    for (const char* name : {"../../escaped", "a/b", "a\\b", "..", "."}) {
        const ScopedEnvironment user("USER", name);
        EXPECT_THROW(Common::UserDataDirectory(), Common::UserDataDirectoryException) << name;
        EXPECT_EQ(Common::LogDirectory(), ".") << name;
    }
    EXPECT_FALSE(QFileInfo::exists(Common::ApplicationDataDirectory() + "/escaped"));
    EXPECT_FALSE(QFileInfo::exists(machine.Path() + "/drive_c/ProgramData/escaped"));
}

TEST(PathsTest, LogPathsAndUnmakeableLogDirectory)
{
    const TemporaryMachine machine;
    const ScopedEnvironment user("USER", "carol");
    const QString logDirectory = Common::LogDirectory();
    EXPECT_EQ(logDirectory, Common::UserDataDirectory() + "/log");
    EXPECT_TRUE(QFileInfo(logDirectory).isDir());
    EXPECT_EQ(Common::InitLogFilePath(), logDirectory + "/Init.log");
    EXPECT_EQ(Common::VotLogFilePath(), logDirectory + "/VOT.log");

    const ScopedEnvironment blocked("USER", "dave");
    QFile blocker(Common::ApplicationDataDirectory() + "/Users/dave/log");
    ASSERT_TRUE(QDir().mkpath(Common::ApplicationDataDirectory() + "/Users/dave"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_EQ(Common::LogDirectory(), ".");
}

TEST(PathsTest, TemporaryDirectoryCreateIsIdempotentAndRemoveTakesContents)
{
    const TemporaryMachine machine;
    const QString path = Common::CreateTemporaryDirectory();
    EXPECT_EQ(path, Common::ApplicationDataDirectory() + "/Temp");
    EXPECT_EQ(Common::CreateTemporaryDirectory(), path);
    QFile inside(path + "/file.txt");
    ASSERT_TRUE(inside.open(QIODevice::WriteOnly));
    inside.close();
    Common::RemoveTemporaryDirectory();
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_NO_THROW(Common::RemoveTemporaryDirectory());
}

TEST(PathsTest, TemporaryDirectoryFailureIsAFilesystemError)
{
    const TemporaryMachine machine;
    QDir(Common::ApplicationDataDirectory()).removeRecursively();
    EXPECT_THROW(Common::CreateTemporaryDirectory(), std::filesystem::filesystem_error);
}

// A symbolic link on the way to the temporary directory, at it or in it, is not followed: what the
// programs write there stays in the machine and the link's target stays as it was.
TEST(PathsTest, LinksOnTheWayToTheTemporaryDirectoryAreNotFollowed)
{
    const struct {
        const char* name;
        QString link;  // below drive_c, made to point to the outside folder
    } cases[] = {
        {"ProgramData", "ProgramData"},
        {"maker's folder", "ProgramData/Korvel Inc"},
        {"data root", "ProgramData/Korvel Inc/Korvel Tintwise"},
        {"temporary directory", "ProgramData/Korvel Inc/Korvel Tintwise/Temp"},
        {"profile in it", "ProgramData/Korvel Inc/Korvel Tintwise/Temp/kept.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TemporaryMachine machine;
        const TestSupport::OutsideFolder outside;
        const auto before = outside.Contents();
        QDir().mkpath(Common::ApplicationDataDirectory() + "/Temp");
        const QString link = machine.Path() + "/drive_c/" + c.link;
        TestSupport::PlantLink(c.link.endsWith(".txt") ? outside.FilePath("kept.txt") : outside.Path(), link);
        QDir().mkpath(Common::ApplicationDataDirectory());  // as every start of the programs does

        const QString path = Common::CreateTemporaryDirectory();
        EXPECT_EQ(path, machine.Path() + "/drive_c/ProgramData/Korvel Inc/Korvel Tintwise/Temp");
        TestSupport::WriteFile(path + "/kept.txt", "written in the machine");
        Common::RemoveTemporaryDirectory();
        EXPECT_EQ(outside.Contents(), before);
        EXPECT_FALSE(QFileInfo(link).isSymLink());
    }
}

TEST(TextHelpersTest, TrimStripsTheSixBlankCharacters)
{
    const std::pair<std::string, std::string> cases[] = {
        {"\t abc \r\n", "abc"}, {" \f\v", ""}, {"", ""}, {"a b", "a b"}, {"\n\nx\x01", "x\x01"}};
    for (const auto& [input, expected] : cases) {
        std::string text = input;
        Common::Trim(text);
        EXPECT_EQ(text, expected);
    }
    std::string left = "  x  ";
    Common::TrimLeft(left);
    EXPECT_EQ(left, "x  ");
    std::string right = "  x  ";
    Common::TrimRight(right);
    EXPECT_EQ(right, "  x");
}

TEST(ConstantsTest, IconPathsAndPageRatio)
{
    EXPECT_EQ(Common::CheckedIconPath, ":/images/Dark/Widgets/checked_icon_256x256.png");
    EXPECT_FALSE(Common::CheckedIconPath.contains(Common::DimensionPlaceholder));
    EXPECT_EQ(Common::CloseIconPath, ":/images/Dark/Menu/close_icon_$dimension$x$dimension$.png");
    EXPECT_NEAR(Common::A4WidthToHeight, 210.0 / 297.0, 1e-9);
    EXPECT_TRUE(Common::LidMustBeOpenedText.startsWith("The lid must be opened"));
}

}  // namespace
