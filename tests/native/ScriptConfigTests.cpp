#include "scripts/CommandLine.h"
#include "scripts/ScriptList.h"
#include "scripts/ScriptOptions.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using namespace ih::scripts;

struct OptionsCase {
    const wchar_t* line;
    std::wstring command;
    bool runAlways;
    bool show;
    std::int32_t exitRule;
};

TEST(ParseScriptOptions, ReadsTheOptionGrammar) {
    const OptionsCase cases[] = {
        {L"[RunAlways, Show, 3] %ScriptPath%\\after.bat", L" %ScriptPath%\\after.bat", true, true, 3},
        {L"[show,runalways]x.bat", L"x.bat", false, true, 0},
        {L"[None]x.exe", L"x.exe", false, false, kExitRuleNoWait},
        {L"[NoneWait]x.exe", L"x.exe", false, false, kExitRuleIgnoreExitCode},
        {L"[]x.exe", L"x.exe", false, false, kExitRuleIgnoreExitCode},
        {L"[1048575]x.exe", L"x.exe", false, false, kExitRuleNoWait},
        {L"[RunAlways]", L"[RunAlways]", true, false, kExitRuleIgnoreExitCode},
        {L"plain.bat arg", L"plain.bat arg", false, false, kExitRuleIgnoreExitCode},
        {L"   spaced.bat   ", L"spaced.bat", false, false, kExitRuleIgnoreExitCode},
        {L"[  RUNALWAYS ,  show ,  -7  ] a.exe", L" a.exe", true, true, -7},
        // A word that goes on past "RunAlways" counts as it; what follows is
        // then read as the wait item.
        {L"[RunAlwaysX, Show, 2] a.exe", L" a.exe", true, false, 0},
        {L"[Show None] x", L" x", false, true, kExitRuleNoWait},
        {L"[RunAlways 12]c.exe", L"c.exe", true, false, 12},
        {L"[nonewait]c.exe", L"c.exe", false, false, kExitRuleIgnoreExitCode},
        {L"[3 x.exe", L"[3 x.exe", false, false, 3},
        {L"[99999999999]x.exe", L"x.exe", false, false, 2147483647},
        {L"[Show]", L"[Show]", false, true, kExitRuleIgnoreExitCode},
        {L"", L"", false, false, kExitRuleIgnoreExitCode},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "line of " << std::wstring(c.line).size() << " characters: "
                                        << std::string(c.line, c.line + std::wstring(c.line).size()));
        const ScriptOptions options = ParseScriptOptions(c.line);
        EXPECT_EQ(options.command, c.command);
        EXPECT_EQ(options.runAlways, c.runAlways);
        EXPECT_EQ(options.show, c.show);
        EXPECT_EQ(options.exitRule, c.exitRule);
    }
}

TEST(ParseScriptOptions, CommandIsWhatFollowsTheClosingBracketEvenWhenItAlsoStandsInside) {
    EXPECT_EQ(ParseScriptOptions(L"[None]None").command, L"None");
    EXPECT_EQ(ParseScriptOptions(L"[0]0").command, L"0");
    EXPECT_EQ(ParseScriptOptions(L"[3]x]y").command, L"x]y");
}

TEST(SubstitutePlaceholders, ReplacesEachPlaceholderOnceInOrderWithCase) {
    EXPECT_EQ(SubstitutePlaceholders(L"%ScriptPath%\\a.bat \"%InstallPath%\" %QmxVersion% %ScriptPath%", L"C:\\P",
                                     L"D:\\S", L"6.1"),
              L"D:\\S\\a.bat \"C:\\P\" 6.1 D:\\S");
    EXPECT_EQ(SubstitutePlaceholders(L"plain.exe /q", L"a", L"b", L"c"), L"plain.exe /q");
    EXPECT_EQ(SubstitutePlaceholders(L"%installpath% %SCRIPTPATH%", L"a", L"b", L"c"), L"%installpath% %SCRIPTPATH%");
    // Replacement text is not scanned again within its own step, but a later
    // step sees what an earlier one put in.
    EXPECT_EQ(SubstitutePlaceholders(L"%InstallPath%", L"%InstallPath%x", L"b", L"c"), L"%InstallPath%x");
    EXPECT_EQ(SubstitutePlaceholders(L"%InstallPath%", L"%ScriptPath%", L"S", L"c"), L"S");
    EXPECT_EQ(SubstitutePlaceholders(L"%ScriptPath%%ScriptPath%", L"a", L"", L"c"), L"");
}

TEST(ScriptList, KeysAreTheFirstKeyThenNumberedAndAGapEndsTheList) {
    EXPECT_EQ(ScriptKeyName(L"BeforeScript", 0), L"BeforeScript");
    EXPECT_EQ(ScriptKeyName(L"BeforeScript", 1), L"BeforeScript1");
    EXPECT_EQ(ScriptKeyName(L"AfterScript", 12), L"AfterScript12");

    const std::map<std::wstring, std::wstring> file = {
        {L"BeforeScript", L"  first.bat  "},
        {L"BeforeScript1", L"second.bat"},
        {L"BeforeScript3", L"never.bat"},
        {L"AfterScript1", L"orphan.bat"},
        {L"ErrorScript", L"e0"},
        {L"ErrorScript1", L""},
        {L"ErrorScript2", L"e2"},
    };
    auto read = [&](const std::wstring& key) {
        const auto found = file.find(key);
        return found == file.end() ? std::wstring() : found->second;
    };
    struct Case {
        const wchar_t* keyBase;
        std::vector<std::wstring> expected;
    } const cases[] = {
        {L"BeforeScript", {L"first.bat", L"second.bat"}},
        {L"AfterScript", {}},
        {L"ErrorScript", {L"e0"}},
        {L"PreLaunchScript", {}},
    };
    for (const auto& c : cases) {
        std::vector<std::wstring> list{L"kept"};
        CollectScriptList(read, c.keyBase, list);
        std::vector<std::wstring> expected{L"kept"};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(list, expected);
    }
}

TEST(SplitCommandLine, FindsTheProgramPathAndName) {
    struct Case {
        const wchar_t* command;
        bool ok;
        std::wstring path;
        std::wstring name;
    } const cases[] = {
        {L"C:\\S\\after.bat arg1 arg2", true, L"C:\\S\\after.bat", L"after.bat"},
        {L"   C:\\S\\after.bat", true, L"C:\\S\\after.bat", L"after.bat"},
        {L"\" C:\\Program Files\\x.exe \" /q", true, L"C:\\Program Files\\x.exe", L"x.exe"},
        {L"\"C:\\Program Files\\x.exe", false, L"", L""},
        {L"cmd /c echo", true, L"cmd", L""},
        {L"C:\\dir\\", true, L"C:\\dir\\", L""},
        {L"", true, L"", L""},
        {L"\"\"", true, L"", L""},
    };
    for (const auto& c : cases) {
        std::wstring path = L"unset", name = L"unset";
        EXPECT_EQ(SplitCommandLine(c.command, path, name), c.ok) << std::wstring(c.command).size();
        if (!c.ok) continue;
        EXPECT_EQ(path, c.path);
        EXPECT_EQ(name, c.name);
    }
}

} // namespace
