// The frame's portable text helpers: the path-join rule, decimal numbers and
// trimming.

#include "frame/Decimal.h"
#include "frame/Paths.h"
#include "frame/Text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

TEST(JoinPath, ExactlyOneBackslashBetweenFolderAndName) {
    struct Case {
        const wchar_t* folder;
        const wchar_t* name;
        const wchar_t* expected;
    } const cases[] = {
        {L"C:\\Product", L"QMX.CFG", L"C:\\Product\\QMX.CFG"},
        {L"C:\\Product\\", L"QMX.CFG", L"C:\\Product\\QMX.CFG"},
        {L"C:\\Product\\\\", L"QMX.CFG", L"C:\\Product\\\\QMX.CFG"}, // the folder's own text is kept
        {L"C:\\", L"ZORL.DLL", L"C:\\ZORL.DLL"},
        {L"", L"KestroRebootTest.txt", L"\\KestroRebootTest.txt"},
        {L"D:\\Source", L"WinXP_i386\\", L"D:\\Source\\WinXP_i386\\"},
        {L"D:/Source/", L"x", L"D:/Source/\\x"}, // only a backslash counts as the separator
        {L"C:\\Product", L"", L"C:\\Product\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(ih::JoinPath(c.folder, c.name), c.expected) << c.folder << L" + " << c.name;
}

TEST(FolderWithBackslash, AddsTheSeparatorOnlyWhenMissing) {
    EXPECT_EQ(ih::FolderWithBackslash(L"C:\\Install"), L"C:\\Install\\");
    EXPECT_EQ(ih::FolderWithBackslash(L"C:\\Install\\"), L"C:\\Install\\");
    EXPECT_EQ(ih::FolderWithBackslash(L""), L"\\");
}

TEST(ParseDecimal, LeadingSpaceSignDigitsAndSaturation) {
    struct Case {
        const wchar_t* text;
        std::int32_t value;
        std::size_t length;
    } const cases[] = {
        {L"17", 17, 2},
        {L"  17", 17, 4},
        {L"\t+5", 5, 3},
        {L"-3", -3, 2},
        {L"12abc", 12, 2},
        {L"007", 7, 3},
        {L"abc", 0, 0},
        {L"", 0, 0},
        {L"-", 0, 0},
        {L"  +", 0, 0},
        {L"2147483647", INT_MAX, 10},
        {L"2147483648", INT_MAX, 10},
        {L"-2147483648", INT_MIN, 11},
        {L"-2147483649", INT_MIN, 11},
        {L"99999999999999999999", INT_MAX, 20},
        {L"-99999999999999999999", INT_MIN, 21},
    };
    for (const auto& c : cases) {
        const ih::DecimalNumber number = ih::ParseDecimal(c.text);
        EXPECT_EQ(number.value, c.value) << c.text;
        EXPECT_EQ(number.length, c.length) << c.text;
    }
}

TEST(TrimSpaces, OnlySpaceCharacters) {
    EXPECT_EQ(ih::TrimSpaces(L"  a b  "), L"a b");
    EXPECT_EQ(ih::TrimSpaces(L"\ta\t"), L"\ta\t");
    EXPECT_EQ(ih::TrimSpaces(L"    "), L"");
    EXPECT_EQ(ih::TrimSpaces(L""), L"");
    EXPECT_EQ(ih::TrimLeadingSpaces(L"  a  "), L"a  ");
}

} // namespace
