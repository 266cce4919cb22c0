// The driver set chosen for a machine, and the folder of a published version.

#include "services/DriverSets.h"

#include <gtest/gtest.h>

namespace {

using ih::services::ChooseDriverSet;
using ih::services::DriverSetFolder;

TEST(DriverSets, ChoiceByArchitectureAndVersion) {
    struct Case {
        const wchar_t* architecture;
        bool xpOrLater;
        const wchar_t* version;
        const wchar_t* folder;
    } const cases[] = {
        {L"AMD64", true, L"AMD64", L"WinXP_AMD64"}, {L"AMD64", false, L"AMD64", L"WinXP_AMD64"},
        {L"IA64", true, L"IA64", L"WinXP_IA64"},    {L"IA64", false, L"IA64", L"WinXP_IA64"},
        {L"x86", true, L"XP", L"WinXP_i386"},       {L"x86", false, L"2K", L""},
        {L"amd64", true, L"XP", L"WinXP_i386"},     {L"AMD64 ", true, L"XP", L"WinXP_i386"},
        {L"", true, L"XP", L"WinXP_i386"},          {L"", false, L"2K", L""},
    };
    for (const auto& c : cases) {
        const auto set = ChooseDriverSet(c.architecture, c.xpOrLater);
        EXPECT_EQ(set.version, c.version) << c.architecture << " " << c.xpOrLater;
        EXPECT_EQ(set.folder, c.folder) << c.architecture << " " << c.xpOrLater;
        EXPECT_EQ(DriverSetFolder(set.version), c.folder) << "a published version finds its folder again";
    }
}

TEST(DriverSets, UnknownVersionsHaveNoFolder) {
    for (const wchar_t* version : {L"2K", L"xp", L"Amd64", L"", L"XP "}) EXPECT_EQ(DriverSetFolder(version), L"");
}

} // namespace
