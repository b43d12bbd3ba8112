#include "WindowsStandIn/Accounts.h"
#include "WindowsStandIn/Machine.h"
#include "tests/fixtures/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(AccountsTest, UserNameOfMachineWithBufferLengthChecks)
{
    const TestSupport::TemporaryMachine machine;
    const struct {
        QJsonValue name;
        DWORD bufferLength;
        bool succeeds;
        DWORD error;
        DWORD sizeAfter;
    } cases[] = {
        {"alex", UNLEN + 1, true, 0, 5},
        {"alex", 5, true, 0, 5},
        {"alex", 4, false, ERROR_INSUFFICIENT_BUFFER, 5},
        {QString::fromUtf8("Jürgen Ödön"), UNLEN + 1, true, 0, 12},
        {QString(UNLEN, 'u'), UNLEN + 1, true, 0, UNLEN + 1},
        {QString(UNLEN + 1, 'u'), UNLEN + 1, false, ERROR_INSUFFICIENT_BUFFER, UNLEN + 2},
        {"", UNLEN + 1, false, ERROR_NOT_FOUND, UNLEN + 1},
    };
    for (const auto& c : cases) {
        WinSim::SetDescriptionValue(QStringLiteral("user.name"), c.name);
        std::wstring buffer(UNLEN + 1, L'#');
        DWORD size = c.bufferLength;
        SetLastError(0);
        EXPECT_EQ(GetUserNameW(buffer.data(), &size) != FALSE, c.succeeds) << c.name.toString();
        EXPECT_EQ(GetLastError(), c.error) << c.name.toString();
        EXPECT_EQ(size, c.sizeAfter) << c.name.toString();
        if (c.succeeds) {
            EXPECT_EQ(QString::fromWCharArray(buffer.c_str()), c.name.toString());
        } else {
            EXPECT_EQ(buffer[0], L'#');
        }
    }
}

}  // namespace
