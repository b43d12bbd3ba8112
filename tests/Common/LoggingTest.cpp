#include "Common/Exception/CoreException.h"
#include "Common/Logging/LogSetup.h"
#include "Common/Logging/Loggable.h"
#include "tests/fixtures/TestSupport.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <log4cplus/logger.h>

#include <gtest/gtest.h>

#include <type_traits>

using namespace Korvel::DisplayCalibration::Common::Logging;

namespace {

static_assert(!std::is_copy_constructible_v<Loggable> && !std::is_copy_assignable_v<Loggable>,
              "a copy would delete the logger twice");

TEST(LoggableTest, EmptyNameIsRefusedWithCodeOne)
{
    const TestSupport::LogCapture capture("KVException");
    try {
        Loggable logger("");
        FAIL() << "an empty name was accepted";
    } catch (const Korvel::DisplayCalibration::Core::Exception& error) {
        EXPECT_EQ(error.Code(), 1);
        EXPECT_STREQ(error.what(), "cannot create logger with empty namespace");
    }
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0].message, "cannot create logger with empty namespace (0x00000001)");
}

TEST(LoggableTest, SetLogLevelClampsToLog4cplusRange)
{
    Loggable logger("LevelClamp");
    for (const auto& [requested, expected] : {std::pair{-5, 0}, {70000, 60000}, {30000, 30000}, {0, 0}, {60000, 60000}}) {
        logger.SetLogLevel(requested);
        EXPECT_EQ(log4cplus::Logger::getInstance("LevelClamp").getLogLevel(), expected) << requested;
    }
}

struct CountingPiece {
    int* count;
};
std::ostream& operator<<(std::ostream& stream, const CountingPiece& piece)
{
    ++*piece.count;
    return stream << "piece";
}

TEST(LoggableTest, DisabledLevelWritesAndBuildsNothing)
{
    const TestSupport::LogCapture capture("Quiet");
    Loggable logger("Quiet");
    logger.SetLogLevel(WarnLevel);
    int formatted = 0;
    logger.LogPieces(InfoLevel, "skipped ", CountingPiece{&formatted});
    logger.LogText(DebugLevel, "skipped");
    EXPECT_EQ(formatted, 0);
    EXPECT_TRUE(capture.Lines().empty());

    logger.LogPieces(ErrorLevel, "kept ", CountingPiece{&formatted});
    EXPECT_EQ(formatted, 1);
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0].message, "kept piece");
}

TEST(LoggableTest, HelpersJoinPiecesWithoutSeparators)
{
    const TestSupport::LogCapture capture("Helpers");
    Loggable logger("Helpers");
    logger.SetLogLevel(TraceLevel);
    logger.LogTextIntTextInt(InfoLevel, "a=", 1, " b=", 2);
    logger.LogTextDoubleTextDouble(InfoLevel, "x=", 0.123456789, " y=", 2200.0);
    logger.LogNumber(WarnLevel, "Tried ", 3, " times");
    logger.LogTextStringTextStringText(InfoLevel, "<", std::string("p"), "|", std::string("q"), ">");
    logger.LogError(ErrorLevel, "Error: ", L"Zugriff verweigert \u00e4");
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].message, "a=1 b=2");
    EXPECT_EQ(lines[0].level, InfoLevel);
    EXPECT_EQ(lines[1].message, "x=0.123457 y=2200");
    EXPECT_EQ(lines[2].message, "Tried 3 times");
    EXPECT_EQ(lines[3].message, "<p|q>");
    EXPECT_EQ(lines[4].message, "Error: Zugriff verweigert \xc3\xa4");
    EXPECT_EQ(ConcatenateTexts("a", "b", "c", "d", "e", "f"), "abcdef");
}

TEST(LogSetupTest, FileLoggingUsesDefaultPatternOnRealFile)
{
    QTemporaryDir directory;
    const QString file = directory.path() + "/missing/folder/main.log";
    InitializeLogging();
    ConfigureFileLogging(file.toStdWString(), "MasterFileAppender", 10485760, 5, std::nullopt);
    SetRootLogLevel(InfoLevel);
    EXPECT_EQ(log4cplus::Logger::getRoot().getAppender("MasterFileAppender")->getName(), "MasterFileAppender");

    Loggable logger("Korvel.Display.Configuration");
    logger.LogText(InfoLevel, "written");
    logger.LogText(DebugLevel, "below the root level");

    QFile log(file);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << "the appender creates missing folders";
    const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1);
    static const QRegularExpression pattern(
        R"(^\d{4}\.\d{2}\.\d{2} \d{2}:\d{2}:\d{2},\d{3}\.\d{3} \[\d+\] INFO Display\.Configuration <> - written$)");
    EXPECT_TRUE(pattern.match(lines[0]).hasMatch()) << lines[0];
}

TEST(LogSetupTest, CurrentTimeTextFollowsFormat)
{
    static const QRegularExpression pattern(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}$)");
    EXPECT_TRUE(pattern.match(QString::fromStdString(CurrentTimeText("%Y-%m-%d %H:%M:%S"))).hasMatch());
}

}  // namespace
