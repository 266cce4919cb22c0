#include "update/ClassicPackageDescription.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <string>
#include <vector>

namespace {

using Entries = std::map<std::wstring, std::wstring>;
using Titles = std::vector<std::wstring>;

Titles Select(const Entries& entries) {
    return ih::update::SelectClassicWindowTitles([&entries](std::wstring_view key) {
        const auto found = entries.find(std::wstring(key));
        return found == entries.end() ? std::wstring() : found->second;
    });
}

struct Case {
    const char* what;
    Entries entries;
    Titles expected;
};

TEST(SelectClassicWindowTitles, TitlesOfListedPairsInEntryOrder) {
    const Case cases[] = {
        {"pairs from type-17 entries select titles, trimmed",
         {{L"Component1", L"17,1#2,3#4"},
          {L"Component2", L"5,7#8"},
          {L"Component3", L" 17 , 5 # 6 "},
          {L"ServiceLongName1", L"1#2, Scanner Window "},
          {L"ServiceLongName2", L"7#8,Not listed: type 5"},
          {L"ServiceLongName3", L"3#4,Tray"},
          {L"ServiceLongName4", L" 5 # 6 ,Third,extra field"}},
         {L"Scanner Window", L"Tray", L"Third"}},
        {"a component of type 0 ends the first pass",
         {{L"Component1", L"17,1#2"},
          {L"Component2", L"0,3#4"},
          {L"Component3", L"17,5#6"},
          {L"ServiceLongName1", L"1#2,One"},
          {L"ServiceLongName2", L"3#4,Two"},
          {L"ServiceLongName3", L"5#6,Three"}},
         {L"One"}},
        {"a missing number ends a family",
         {{L"Component1", L"17,1#2"},
          {L"Component3", L"17,5#6"},
          {L"ServiceLongName1", L"1#2,One"},
          {L"ServiceLongName3", L"5#6,Three"}},
         {L"One"}},
        {"an entry with two fields is passed over",
         {{L"Component1", L"17,1#2"}, {L"ServiceLongName1", L"1#2"}, {L"ServiceLongName2", L"1#2,Kept"}},
         {L"Kept"}},
        {"a title may hold a number sign",
         {{L"Component1", L"17,1#2"}, {L"ServiceLongName1", L"1#2,Scan #1"}},
         {L"Scan #1"}},
        {"numbers compare as numbers", {{L"Component1", L"17,+01#002"}, {L"ServiceLongName1", L"1#2,Same"}}, {L"Same"}},
        {"malformed entries select nothing and do not stop reading",
         {{L"Component1", L"17,1#"},
          {L"Component2", L"17,#,,##"},
          {L"Component3", L"17"},
          {L"ServiceLongName1", L"#,"},
          {L"ServiceLongName2", L",,,"},
          {L"ServiceLongName3", L"1#2,"}},
         {}},
        {"a type that is not a number ends the first pass",
         {{L"Component1", L"abc,1#2"}, {L"Component2", L"17,1#2"}, {L"ServiceLongName1", L"1#2,One"}},
         {}},
        {"no package section", {}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(Select(c.entries), c.expected) << c.what;
}

TEST(SelectClassicWindowTitles, LongValuesAndEndlessReadersEnd) {
    std::wstring pairs = L"17";
    for (int i = 0; i < 150; ++i) pairs += L"," + std::to_wstring(i) + L"#" + std::to_wstring(i);
    const std::wstring longTitle(1000, L't');
    EXPECT_EQ(Select({{L"Component1", pairs}, {L"ServiceLongName1", L"149#149," + longTitle}}), Titles{longTitle});

    int reads = 0;
    const Titles titles = ih::update::SelectClassicWindowTitles([&reads](std::wstring_view key) {
        ++reads;
        return key.substr(0, 9) == L"Component" ? std::wstring(L"5") : std::wstring();
    });
    EXPECT_TRUE(titles.empty());
    EXPECT_EQ(reads, 100000 + 1) << "every numbered entry up to the bound, then the first title key";
}

} // namespace
