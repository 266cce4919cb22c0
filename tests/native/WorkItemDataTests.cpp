// Which scheduled work items are the product's: the first field of their data,
// read within the data's own byte count.

#include "cleanup/WorkItemData.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ih::cleanup::IsProductWorkItemData;
using ih::cleanup::WorkItemName;

// UTF-16LE bytes of `text`, without a terminator unless the text holds one.
std::vector<unsigned char> Utf16(std::u16string_view text) {
    std::vector<unsigned char> bytes;
    for (const char16_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>(c >> 8));
    }
    return bytes;
}

constexpr std::u16string_view kId = u"{D2B7A809-15DC-40B4-A1E1-C61EA97191DB}";

TEST(WorkItemData, FirstFieldIsComparedExactly) {
    const std::u16string id(kId);
    struct Case {
        const char* what;
        std::u16string text;
        bool product;
    } const cases[] = {
        {"exactly the identifier, no terminator", id, true},
        {"identifier and terminator", id + std::u16string(1, u'\0'), true},
        {"identifier then further fields", id + u"\"C:\\scan.cfg\"weekly", true},
        {"leading delimiters skipped", u"\"\"" + id + u"\"x", true},
        {"text after the terminator is not read", id + std::u16string(1, u'\0') + u"junk", true},
        {"lower-case identifier", u"{d2b7a809-15dc-40b4-a1e1-c61ea97191db}", false},
        {"another class identifier", u"{D2B7A809-15DC-40B4-A1E1-C61EA97191DC}\"x", false},
        {"identifier without braces", u"D2B7A809-15DC-40B4-A1E1-C61EA97191DB", false},
        {"identifier with a suffix in the same field", id + u" x", false},
        {"terminator before the identifier", std::u16string(1, u'\0') + id, false},
        {"empty", u"", false},
        {"only delimiters", u"\"\"\"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<unsigned char> bytes = Utf16(c.text);
        EXPECT_EQ(IsProductWorkItemData(bytes.data(), bytes.size()), c.product);
    }
}

TEST(WorkItemData, ReadsNoFurtherThanItsByteCount) {
    // The identifier with one character cut off by the count: the bytes beyond
    // belong to someone else and must not complete it.
    std::vector<unsigned char> bytes = Utf16(kId);
    EXPECT_FALSE(IsProductWorkItemData(bytes.data(), bytes.size() - 2));
    // An odd count drops the half character at the end.
    EXPECT_FALSE(IsProductWorkItemData(bytes.data(), bytes.size() - 1));
    bytes.push_back(0x41);
    EXPECT_TRUE(IsProductWorkItemData(bytes.data(), bytes.size())) << "odd trailing byte ignored";
    EXPECT_FALSE(IsProductWorkItemData(nullptr, 0));
    EXPECT_FALSE(IsProductWorkItemData(nullptr, 80));
    // Characters above U+00FF are decoded from both bytes.
    const std::vector<unsigned char> wide = Utf16(u"\u4F60\"x");
    EXPECT_FALSE(IsProductWorkItemData(wide.data(), wide.size()));
}

TEST(WorkItemData, EnumeratedNamesLoseOneJobEnding) {
    struct Case {
        const wchar_t* enumerated;
        const wchar_t* name;
    } const cases[] = {
        {L"Weekly scan.job", L"Weekly scan"},
        {L"Weekly scan.JOB", L"Weekly scan"},
        {L"Weekly scan.job.job", L"Weekly scan.job"},
        {L"Weekly scan", L"Weekly scan"},
        {L".job", L".job"},
        {L"job", L"job"},
        {L"x.jobs", L"x.jobs"},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(WorkItemName(c.enumerated), c.name) << c.enumerated;
}

} // namespace
