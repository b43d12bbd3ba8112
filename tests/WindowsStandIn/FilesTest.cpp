#include "WindowsStandIn/ColorSystem.h"
#include "WindowsStandIn/Files.h"
#include "tests/fixtures/TestSupport.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

// DeleteFileW on the machine's files: the colour directory only for an elevated process.
TEST(FilesTest, DeletionNeedsElevationInTheColourDirectoryOnly)
{
    TestSupport::TemporaryMachine machine;
    const QString colour = WinSim::ColorDirectory();
    const QString data = WinSim::MapWindowsPath("C:/ProgramData/Korvel Inc/Korvel Tintwise");
    QDir().mkpath(colour + "/sub");
    for (const QString& path : {colour + "/a.icm", colour + "/sub/b.icm", data + "/c.txt"}) {
        TestSupport::WriteFile(path, "x");
    }
    const auto Delete = [](const QString& path) {
        const BOOL deleted = DeleteFileW(path.toStdWString().c_str());
        return deleted ? DWORD(0) : GetLastError();
    };

    EXPECT_EQ(Delete(colour + "/a.icm"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Delete("C:\\Windows\\System32\\spool\\drivers\\color\\sub\\b.icm"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Delete("C:/ProgramData/Korvel Inc/Korvel Tintwise/c.txt"), 0u);
    EXPECT_EQ(Delete(data + "/c.txt"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Delete(data), ERROR_ACCESS_DENIED) << "a folder";
    EXPECT_TRUE(QFileInfo::exists(colour + "/a.icm"));

    const TestSupport::ScopedEnvironment elevated(WinSim::ElevationVariable, "1");
    EXPECT_EQ(Delete(colour + "/a.icm"), 0u);
    EXPECT_EQ(Delete(colour + "/sub/b.icm"), 0u);
    EXPECT_FALSE(QFileInfo::exists(colour + "/a.icm"));
}

}  // namespace
