#include "frame/LogFormat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using ih::FormatLogMessage;

TEST(FormatLogMessage, WideStringsAndIntegers) {
    const std::wstring name = L"C:\\Program Files\\Kestro\\QMXI.dll";
    EXPECT_EQ(FormatLogMessage(L"Error deleting file: %s with error: %s.", {name, L"Access is denied.\r\n"}),
              L"Error deleting file: C:\\Program Files\\Kestro\\QMXI.dll with error: Access is denied.\r\n.");
    EXPECT_EQ(FormatLogMessage(L"status %d and %ld", {258, 128L}), L"status 258 and 128");
    EXPECT_EQ(FormatLogMessage(L"%d", {-2147024894}), L"-2147024894");
    EXPECT_EQ(FormatLogMessage(L"%d", {INT32_MIN}), L"-2147483648");
    EXPECT_EQ(FormatLogMessage(L"%u", {static_cast<std::uint32_t>(4000000000u)}), L"4000000000");
    EXPECT_EQ(FormatLogMessage(L"%u", {-1}), L"4294967295") << "in the argument's own width";
    EXPECT_EQ(FormatLogMessage(L"0x%08X", {static_cast<std::int32_t>(0x80070005u)}), L"0x80070005");
    EXPECT_EQ(FormatLogMessage(L"0x%08x", {0x2a}), L"0x0000002a");
    EXPECT_EQ(FormatLogMessage(L"[%5d|%-5d|%05d]", {42, 42, -42}), L"[   42|42   |-0042]");
    EXPECT_EQ(FormatLogMessage(L"[%.3s|%6s|%-4s]", {L"abcdef", L"ab", L"x"}), L"[abc|    ab|x   ]");
    EXPECT_EQ(FormatLogMessage(L"%c%c", {L'Q', static_cast<int>('X')}), L"QX");
    EXPECT_EQ(FormatLogMessage(L"%I64d %lld %hd %ws %ls", {std::int64_t{-5}, 7LL, 3, L"w", L"l"}), L"-5 7 3 w l");
}

TEST(FormatLogMessage, PercentSignsAndMalformedConversionsStayLiteral) {
    EXPECT_EQ(FormatLogMessage(L"100%% done", {}), L"100% done");
    EXPECT_EQ(FormatLogMessage(L"%InstallPath%", {}), L"%InstallPath%");
    EXPECT_EQ(FormatLogMessage(L"was: %l", {-5}), L"was: %l") << "incomplete conversion at the end";
    EXPECT_EQ(FormatLogMessage(L"%", {}), L"%");
    EXPECT_EQ(FormatLogMessage(L"%s and %s", {L"one"}), L"one and %s") << "missing argument";
    EXPECT_EQ(FormatLogMessage(L"%q %d", {9}), L"%q 9") << "unknown conversion takes no argument";
    EXPECT_EQ(FormatLogMessage(L"plain", {1, L"unused"}), L"plain");
}

TEST(FormatLogMessage, ArgumentOfTheOtherKindIsShownNotMisread) {
    EXPECT_EQ(FormatLogMessage(L"%s", {1603}), L"1603");
    EXPECT_EQ(FormatLogMessage(L"%d", {L"text"}), L"text");
    const wchar_t* nothing = nullptr;
    EXPECT_EQ(FormatLogMessage(L"[%s]", {nothing}), L"[(null)]");
}

TEST(FormatLogMessage, HugeWidthIsBounded) {
    const std::wstring text = FormatLogMessage(L"%999999999d", {1});
    EXPECT_LT(text.size(), 5000u);
    EXPECT_EQ(text.back(), L'1');
}

} // namespace
