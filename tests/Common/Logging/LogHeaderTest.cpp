#include "WindowsStandIn/Machine.h"
#include "tests/fixtures/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using TestSupport::ProcessResult;
using TestSupport::TemporaryMachine;

namespace {

const QString LinePattern = QStringLiteral("%p %c - %m%n");

class LogHeaderTest : public testing::Test {
protected:
    // Runs the log set-up in a process of the machine with the log in <temporary>/log/Main.log.
    ProcessResult SetUp(const QString& fileFormat, bool console, const QString& consoleFormat, int level,
                        qint64 fillBytes = 0, const QStringList& extra = {})
    {
        return TestSupport::Run(TestSupport::BinaryPath("logsetup"),
                                QStringList{LogDirectory(), "Main.log", fileFormat, console ? "true" : "false",
                                            consoleFormat, QString::number(level), "4.1.7",
                                            QString::number(fillBytes)} +
                                    extra);
    }
    QString LogDirectory() const { return directory.filePath("log"); }
    QStringList LogLines(const QString& name = QStringLiteral("Main.log")) const
    {
        QFile file(LogDirectory() + "/" + name);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    // Decrypts the two RSA blocks of `cipher` with the test private key through the openssl command.
    QByteArray DecryptWithTestKey(const QByteArray& cipher)
    {
        QByteArray plain;
        for (int block = 0; block < 2; ++block) {
            const QString in = directory.filePath("block" + QString::number(block));
            const QString out = in + ".plain";
            QFile file(in);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(cipher.mid(block * 256, 256));
            file.close();
            const ProcessResult result =
                TestSupport::Run("openssl", {"pkeyutl", "-decrypt", "-inkey", TestSupport::TestPrivateKeyPath(),
                                             "-pkeyopt", "rsa_padding_mode:pkcs1", "-in", in, "-out", out});
            EXPECT_EQ(result.exitCode, 0) << result.err;
            QFile decrypted(out);
            EXPECT_TRUE(decrypted.open(QIODevice::ReadOnly));
            plain += decrypted.readAll();
        }
        return plain;
    }

    TemporaryMachine machine;
    QTemporaryDir directory;
};

TEST_F(LogHeaderTest, HeaderCarriesVersionTimeArgumentsAndEncryptedUser)
{
    const QString user = QString::fromUtf8("Zoë Quartermaine");
    WinSim::SetDescriptionValue("user.name", user);
    const ProcessResult result = SetUp(LinePattern, false, QString(), 20000, 0, {"--withGUI", "two words"});
    ASSERT_EQ(result.exitCode, 0) << result.err;

    const QStringList lines = LogLines();
    ASSERT_GE(lines.size(), 16);
    EXPECT_EQ(lines[0], "INFO start - Korvel Tintwise v4.1.7");
    EXPECT_TRUE(lines[1].startsWith("INFO start - ")) << lines[1];
    EXPECT_TRUE(QRegularExpression(R"(^INFO start - Current time: \d{4}-\d\d-\d\d \d\d:\d\d:\d\d$)")
                    .match(lines[2])
                    .hasMatch())
        << lines[2];
    EXPECT_EQ(lines[3], "INFO start - arguments: ");
    EXPECT_EQ(lines[4], "INFO start -   " + TestSupport::BinaryPath("logsetup"));
    EXPECT_EQ(lines[13], "INFO start -   --withGUI");
    EXPECT_EQ(lines[14], "INFO start -   two words");

    const QString prefix = QStringLiteral("INFO start - User: ");
    ASSERT_TRUE(lines[15].startsWith(prefix)) << lines[15];
    const QByteArray cipher = QByteArray::fromBase64(lines[15].mid(prefix.size()).toLatin1(),
                                                     QByteArray::AbortOnBase64DecodingErrors);
    ASSERT_EQ(cipher.size(), 512);
    EXPECT_EQ(QString::fromUtf8(DecryptWithTestKey(cipher)), user);
    EXPECT_FALSE(lines.join('\n').contains("Quartermaine"));
    EXPECT_EQ(lines.mid(16), QStringList{"INFO probe - info probe"});
}

TEST_F(LogHeaderTest, UnreadableUserNameIsReported)
{
    WinSim::SetDescriptionValue("user.name", QString());
    const ProcessResult result = SetUp(LinePattern, false, QString(), 20000);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const QStringList lines = LogLines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[lines.size() - 2], "INFO start - Failed to get user name");
}

TEST_F(LogHeaderTest, LayoutsConsoleAndLevel)
{
    const struct {
        const char* name;
        QString fileFormat;
        bool console;
        QString consoleFormat;
        int level;
        QString firstLinePattern;     // of the file
        QString consolePattern;       // of the first stdout line; empty: no output
        bool debugWritten;
    } cases[] = {
        {"configured layouts", LinePattern, true, "C %c: %m%n", 10000, "^INFO start - Korvel",
         "^C start: Korvel Tintwise v4.1.7$", true},
        {"default file layout", "", false, "C %m%n", 20000,
         R"(^\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d,\d{3}(\.\d+)? \[\d+\] INFO start <> - Korvel Tintwise v4\.1\.7$)", "",
         false},
        {"default console layout", LinePattern, true, "", 20000, "^INFO start", R"(^\d+ \[\d+\] INFO start <> - Korvel)",
         false},
    };
    for (const auto& c : cases) {
        QDir(LogDirectory()).removeRecursively();
        const ProcessResult result = SetUp(c.fileFormat, c.console, c.consoleFormat, c.level);
        ASSERT_EQ(result.exitCode, 0) << c.name << result.err;
        const QStringList lines = LogLines();
        ASSERT_FALSE(lines.isEmpty()) << c.name;
        EXPECT_TRUE(QRegularExpression(c.firstLinePattern).match(lines[0]).hasMatch()) << c.name << ": " << lines[0];
        if (c.consolePattern.isEmpty()) {
            EXPECT_TRUE(result.out.isEmpty()) << c.name << ": " << result.out;
        } else {
            const QString first = result.out.section('\n', 0, 0);
            EXPECT_TRUE(QRegularExpression(c.consolePattern).match(first).hasMatch()) << c.name << ": " << first;
        }
        EXPECT_EQ(lines.join('\n').contains("debug probe"), c.debugWritten) << c.name;
    }
}

TEST_F(LogHeaderTest, LevelAboveInfoLeavesHeaderOut)
{
    const ProcessResult result = SetUp(LinePattern, false, QString(), 30000, 1);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const QStringList lines = LogLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("WARN fill - xxx"));
}

TEST_F(LogHeaderTest, SecondStartAppendsHeaderAndLogRollsOverWithFiveBackups)
{
    ASSERT_EQ(SetUp(LinePattern, false, QString(), 20000).exitCode, 0);
    ASSERT_EQ(SetUp(LinePattern, false, QString(), 20000).exitCode, 0);
    EXPECT_EQ(LogLines().filter("Korvel Tintwise v4.1.7").size(), 2);

    const qint64 maxSize = 10 * 1024 * 1024;
    const ProcessResult result = SetUp(LinePattern, false, QString(), 20000, 7 * maxSize);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    for (int backup = 1; backup <= 5; ++backup) {
        const QFileInfo file(LogDirectory() + "/Main.log." + QString::number(backup));
        ASSERT_TRUE(file.exists()) << backup;
        EXPECT_GE(file.size(), maxSize - 128 * 1024) << backup;
        EXPECT_LE(file.size(), maxSize + 128 * 1024) << backup;
    }
    EXPECT_FALSE(QFileInfo::exists(LogDirectory() + "/Main.log.6"));
    EXPECT_LE(QFileInfo(LogDirectory() + "/Main.log").size(), maxSize + 128 * 1024);
}

}  // namespace

namespace {

TEST(StartupLogTest, ShippedConfigurationSetsUpMainLogOnDefaultMachine)
{
    const TemporaryMachine machine;
    QProcessEnvironment environment;
    environment.insert("USER", "alex");
    const ProcessResult result = TestSupport::Run(TestSupport::BinaryPath("logsetup"), {"--startup", "4.1.7"}, environment);
    ASSERT_EQ(result.exitCode, 0) << result.err;

    QFile log(WinSim::MapWindowsPath("C:/ProgramData/Korvel Inc/Korvel Tintwise/Users/alex/log/KorvelTintwise.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(QRegularExpression(R"(^\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d,\d{3} \[\d+\] INFO start <> - Korvel Tintwise v4\.1\.7$)")
                    .match(lines[0])
                    .hasMatch())
        << lines[0];
    EXPECT_TRUE(lines.back().endsWith("INFO probe <> - info probe")) << lines.back();
}

}  // namespace

namespace {

// The main log (and the side log of the panel identification) never lands outside the machine
// through a symbolic link on its way: a linked log file or folder of the application data gives
// way to a new one, and the link's target stays as it was.
struct LinkedLog {
    const char* name;
    const char* path;  // below the application data root
};

void PrintTo(const LinkedLog& c, std::ostream* stream)
{
    *stream << c.name;
}

class LinkedLogPath : public testing::TestWithParam<LinkedLog> {};

TEST_P(LinkedLogPath, LogIsWrittenInTheMachine)
{
    const TemporaryMachine machine;
    const QString root = WinSim::MapWindowsPath("C:/ProgramData/Korvel Inc/Korvel Tintwise");
    const QString linked = root + "/" + GetParam().path;
    QTemporaryDir outside;
    const QStringList outsideFiles{"target/KorvelTintwise.log", "target/alex/log/KorvelTintwise.log",
                                   "target/log/KorvelTintwise.log"};
    for (const QString& file : outsideFiles) {
        TestSupport::WriteFile(outside.filePath(file), "outside\n");
    }
    const QString target = outside.filePath(linked.endsWith(".log") ? "target/KorvelTintwise.log" : "target");
    QDir().mkpath(QFileInfo(linked).path());
    ASSERT_TRUE(QFile::link(target, linked));

    QProcessEnvironment environment;
    environment.insert("USER", "alex");
    const ProcessResult result =
        TestSupport::Run(TestSupport::BinaryPath("logsetup"), {"--startup", "4.1.7"}, environment);
    ASSERT_EQ(result.exitCode, 0) << result.err;

    EXPECT_FALSE(QFileInfo(linked).isSymLink());
    const QString log = QString::fromUtf8(TestSupport::ReadFile(root + "/Users/alex/log/KorvelTintwise.log"));
    EXPECT_TRUE(log.contains("INFO probe <> - info probe")) << log;
    QStringList found;
    QDirIterator files(outside.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString file = files.next();
        found << QDir(outside.path()).relativeFilePath(file);
        EXPECT_EQ(TestSupport::ReadFile(file), "outside\n") << file;
    }
    found.sort();
    EXPECT_EQ(found, outsideFiles);
}

INSTANTIATE_TEST_SUITE_P(Links, LinkedLogPath,
                         testing::Values(LinkedLog{"LogFile", "Users/alex/log/KorvelTintwise.log"},
                                         LinkedLog{"SideLogFile", "Users/alex/log/VOT.log"},
                                         LinkedLog{"LogFolder", "Users/alex/log"},
                                         LinkedLog{"UserFolder", "Users/alex"}, LinkedLog{"UsersFolder", "Users"}),
                         [](const testing::TestParamInfo<LinkedLog>& info) { return std::string(info.param.name); });

}  // namespace
