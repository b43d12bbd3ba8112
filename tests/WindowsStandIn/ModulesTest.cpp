#include "WindowsStandIn/Modules.h"

#include <gtest/gtest.h>

namespace {

int Answer()
{
    return 42;
}
int ByOrdinal()
{
    return 230;
}
bool driverPresent = true;

const bool registered = WinSim::RegisterModule("sample.dll", {{"Answer", WinSim::Export(&Answer)}},
                                               {{230, WinSim::Export(&ByOrdinal)}}, [] { return driverPresent; });

TEST(ModulesTest, BindsByNameAndOrdinalIgnoringCaseAndFolder)
{
    HMODULE module = LoadLibraryW(L"C:\\Windows\\System32\\SAMPLE.DLL");
    ASSERT_NE(module, nullptr);
    auto answer = reinterpret_cast<int (*)()>(GetProcAddress(module, "Answer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    auto ordinal = reinterpret_cast<int (*)()>(GetProcAddress(module, MAKEINTRESOURCEA(230)));
    ASSERT_NE(ordinal, nullptr);
    EXPECT_EQ(ordinal(), 230);
    EXPECT_EQ(GetProcAddress(module, "Missing"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(231)), nullptr);
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(ModulesTest, MissingOrUnavailableModuleFails)
{
    EXPECT_EQ(LoadLibraryA("nosuch.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    driverPresent = false;
    EXPECT_EQ(LoadLibraryA("sample.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    driverPresent = true;
}

}  // namespace
