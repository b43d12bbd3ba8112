#include "Common/Exception/CoreException.h"
#include "Common/Exception/DetailedException.h"
#include "Common/Exception/OsErrorException.h"
#include "tests/fixtures/TestSupport.h"

#include <log4cplus/loglevel.h>

#include <gtest/gtest.h>

using Korvel::DisplayCalibration::Common::Exception::OsErrorException;

namespace {

KORVEL_DECLARE_OS_ERROR_EXCEPTION(SampleOperationException);

struct TextCase {
    std::int32_t code;
    std::string message;
    std::string expected;
};

void PrintTo(const TextCase& c, std::ostream* stream)
{
    *stream << "code " << c.code;
}

class SystemErrorTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(SystemErrorTextTest, WhatCombinesMessageAndSystemText)
{
    const TextCase& c = GetParam();
    const OsErrorException exception(c.code, c.message);
    EXPECT_EQ(exception.what(), c.expected);
    EXPECT_EQ(exception.Code(), c.code);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, SystemErrorTextTest,
    testing::Values(TextCase{2, "Install failed", "Install failed.\nThe system cannot find the file specified.\r\n (2)"},
                    TextCase{5, " \t Access check\r\n", "Access check.\nAccess is denied.\r\n (5)"},
                    TextCase{87, " \n\t\f\v ", "The parameter is incorrect.\r\n (87)"},
                    TextCase{0, "Nothing wrong", "Nothing wrong.\n (0)"},
                    TextCase{-1, "No code", "No code.\n (4294967295)"},
                    TextCase{1223, "Prompt", "Prompt.\nThe operation was canceled by the user.\r\n (1223)"},
                    TextCase{5023, "",
                             "The group or resource is not in the correct state to perform the requested "
                             "operation.\r\n (5023)"},
                    TextCase{123456, "Unknown code", "Unknown code.\n (123456)"},
                    TextCase{std::int32_t(0x80070005), "As HRESULT", "As HRESULT.\nAccess is denied.\r\n (2147942405)"}));

TEST(OsErrorExceptionTest, MessageOnlyIsUntrimmedWithoutCode)
{
    const OsErrorException exception("  padded message \n");
    EXPECT_STREQ(exception.what(), "  padded message \n");
    EXPECT_EQ(exception.Code(), -1);
}

TEST(OsErrorExceptionTest, SubclassForwardsAndCopiesLikeItsBase)
{
    try {
        throw SampleOperationException(2, "Sample failed");
    } catch (const OsErrorException& caught) {
        const OsErrorException copy = caught;
        EXPECT_STREQ(copy.what(), "Sample failed.\nThe system cannot find the file specified.\r\n (2)");
        EXPECT_EQ(copy.Code(), 2);
        EXPECT_NE(dynamic_cast<const SampleOperationException*>(&caught), nullptr);
    }
}

TEST(CoreExceptionTest, LogsItselfAtErrorOnKVException)
{
    const TestSupport::LogCapture capture("KVException");
    const Korvel::DisplayCalibration::Core::Exception exception(1, "M");
    EXPECT_STREQ(exception.what(), "M");
    EXPECT_EQ(exception.Code(), 1);
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, log4cplus::ERROR_LOG_LEVEL);
    EXPECT_EQ(lines[0].message, "M (0x00000001)");

    const Korvel::DisplayCalibration::Core::Exception configuration(0x03010101, "config");
    EXPECT_EQ(capture.Lines().back().message, "config (0x03010101)");
}

TEST(DetailedExceptionTest, CarriesBothTexts)
{
    try {
        throw DetailedException(QStringLiteral("Message"), QStringLiteral("Details"));
    } catch (const DetailedException& caught) {
        EXPECT_EQ(caught.Message(), "Message");
        EXPECT_EQ(caught.Details(), "Details");
    }
}

}  // namespace
