#include "frame/Fields.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every field of `text`, then the position after the call that found none.
struct Split {
    std::vector<std::wstring> fields;
    std::int32_t finalPosition;
};

Split SplitAll(std::wstring_view text, std::wstring_view delimiters = ih::kFieldDelimiters) {
    Split split{{}, 0};
    for (int guard = 0; guard < 1000; ++guard) {
        std::wstring field = ih::NextField(text, delimiters, split.finalPosition);
        if (field.empty()) break;
        split.fields.push_back(std::move(field));
    }
    return split;
}

struct FieldsCase {
    const wchar_t* text;
    std::vector<std::wstring> expected;
};

TEST(NextField, SplitsIntoMaximalRunsBetweenDelimiters) {
    const FieldsCase cases[] = {
        {L"\"\"A\"\"B\"", {L"A", L"B"}},
        {L"A B", {L"A B"}},
        {L"\"\"\"\"", {}},
        {L"", {}},
        {L"C:\\Install\\\"D:\\Source\\", {L"C:\\Install\\", L"D:\\Source\\"}},
        {L"\"one\"two\"\"\"three\"", {L"one", L"two", L"three"}},
        {L"x", {L"x"}},
        {L"A\"", {L"A"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "text has " << std::wstring(c.text).size() << " characters");
        const Split split = SplitAll(c.text);
        EXPECT_EQ(split.fields, c.expected);
        EXPECT_EQ(split.finalPosition, ih::kFieldsExhausted);
    }
}

TEST(NextField, PositionMovesPastTheCharacterThatEndedTheField) {
    std::int32_t position = 0;
    EXPECT_EQ(ih::NextField(L"\"\"A\"\"B\"", ih::kFieldDelimiters, position), L"A");
    EXPECT_EQ(position, 4);
    EXPECT_EQ(ih::NextField(L"\"\"A\"\"B\"", ih::kFieldDelimiters, position), L"B");
    EXPECT_EQ(position, 7);
    EXPECT_EQ(ih::NextField(L"\"\"A\"\"B\"", ih::kFieldDelimiters, position), L"");
    EXPECT_EQ(position, -1);
    EXPECT_EQ(ih::NextField(L"\"\"A\"\"B\"", ih::kFieldDelimiters, position), L"");
    EXPECT_EQ(position, -1);

    position = 0;
    EXPECT_EQ(ih::NextField(L"AB", ih::kFieldDelimiters, position), L"AB");
    EXPECT_EQ(position, 3) << "one past the end when the text ended the field";
}

TEST(NextField, OutOfRangeOrNegativePositionYieldsNothing) {
    for (std::int32_t start : {-1, -7, 2, 3, 100, INT32_MAX}) {
        std::int32_t position = start;
        EXPECT_EQ(ih::NextField(L"AB", ih::kFieldDelimiters, position), L"") << start;
        EXPECT_EQ(position, -1) << start;
    }
}

TEST(NextField, SeveralDelimitersAndLongText) {
    EXPECT_EQ(SplitAll(L";a,b;;c", L";,").fields, (std::vector<std::wstring>{L"a", L"b", L"c"}));

    std::wstring longField(50000, L'x');
    const Split split = SplitAll(L"\"" + longField + L"\"\"" + longField);
    ASSERT_EQ(split.fields.size(), 2u);
    EXPECT_EQ(split.fields[0], longField);
    EXPECT_EQ(split.fields[1], longField);
}

TEST(SplitFolderPair, TwoFoldersEachEndingInABackslash) {
    struct Case {
        const wchar_t* data;
        bool ok;
        std::wstring first;
        std::wstring second;
    } const cases[] = {
        {L"C:\\Install\"D:\\Source", true, L"C:\\Install\\", L"D:\\Source\\"},
        {L"\"C:\\Install\\\"\"D:\\Source\\\"third", true, L"C:\\Install\\", L"D:\\Source\\"},
        {L"C:\\Install", false, L"", L""},
        {L"\"\"\"", false, L"", L""},
        {L"", false, L"", L""},
    };
    for (const auto& c : cases) {
        std::wstring first, second;
        EXPECT_EQ(ih::SplitFolderPair(c.data, first, second), c.ok) << std::wstring(c.data).size();
        if (!c.ok) continue;
        EXPECT_EQ(first, c.first);
        EXPECT_EQ(second, c.second);
    }
}

} // namespace
