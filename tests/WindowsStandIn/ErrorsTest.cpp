#include "WindowsStandIn/Win32.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

TEST(ErrorsTest, LastErrorIsPerThread)
{
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD other = 99;
    std::thread([&other] {
        other = GetLastError();
        SetLastError(ERROR_CANCELLED);
    }).join();
    EXPECT_EQ(other, ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(ErrorsTest, FormatMessageAllocatesTextWithLineEnd)
{
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, ERROR_CANCELLED, 0x400, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(std::string(buffer, length), "The operation was canceled by the user.\r\n");
    LocalFree(buffer);

    wchar_t wide[64];
    const DWORD wideLength = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_FILE_NOT_FOUND, 0, wide, 64, nullptr);
    EXPECT_EQ(std::wstring(wide, wideLength), L"The system cannot find the file specified.\r\n");
}

TEST(ErrorsTest, FormatMessageFailures)
{
    char* buffer = nullptr;
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 424242, 0,
                             reinterpret_cast<LPSTR>(&buffer), 0, nullptr),
              0u);
    EXPECT_EQ(buffer, nullptr);
    char small[8];
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, small, sizeof small, nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

}  // namespace
