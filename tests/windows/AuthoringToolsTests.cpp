// The authoring tools' Windows builds under Wine: a catalogue pair built by
// ih-catalogue from real files gets the same verdict from its compare as
// from ReadCatalog itself, and ih-checksum prints what ComputeFileChecksum
// gives the script runner.

#include "actions/Exports.h"
#include "crypto/FileChecksum.h"
#include "frame/Handles.h"
#include "support/Fixtures.h"
#include "support/LogFile.h"
#include "support/TestFolder.h"
#include "support/TestPackage.h"
#include "update/Catalogue.h"
#include "update/CatalogueFile.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace ih::test;

struct Ran {
    DWORD status;
    std::vector<std::wstring> lines; // standard output and error
};

class AuthoringToolsTest : public testing::Test {
protected:
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()}; // ReadCatalog's log lands here
    TestFolder work;

    Ran RunTool(const char* variable, const std::wstring& arguments) {
        const std::wstring output = work / L"tool-output.txt";
        DWORD status = STILL_ACTIVE;
        {
            SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
            const ih::UniqueFileHandle file(::CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            const ChildProcess tool(Quoted(BuiltFilePath(variable)) + L" " + arguments, {}, file.get());
            status = tool.Wait(60000);
        }
        return {status, ReadLines(output)};
    }
};

bool StartsWith(const std::wstring& text, std::wstring_view start) { return text.compare(0, start.size(), start) == 0; }

// The verdict lines of a compare: (QMXIONLY, UPDATEDRIVERS) as ReadCatalog
// would leave the properties.
std::pair<std::wstring, std::wstring> Verdict(const Ran& ran) {
    std::pair<std::wstring, std::wstring> verdict{L"?", L"?"};
    for (const std::wstring& line : ran.lines) {
        if (StartsWith(line, L"QMXIONLY = \"1\"")) verdict.first = L"1";
        if (StartsWith(line, L"QMXIONLY not set")) verdict.first = L"";
        if (StartsWith(line, L"UPDATEDRIVERS = \"0\"")) verdict.second = L"0";
        if (StartsWith(line, L"UPDATEDRIVERS not set")) verdict.second = L"";
    }
    return verdict;
}

void WriteProduct(const TestFolder& folder, const std::wstring& below) {
    folder.WriteFile(below + L"\\QMX.exe", "program 1");
    folder.WriteFile(below + L"\\QMXI.dll", "engine 1");
    folder.WriteFile(below + L"\\Data\\daily.vdb", "data 1");
    folder.WriteFile(below + L"\\Drivers\\QMXONACCESSCONTROL.SYS", "control 1");
    folder.WriteFile(below + L"\\Drivers\\QMXONACCESSFILTER.SYS", "filter 1");
}

TEST_F(AuthoringToolsTest, CompareGivesReadCatalogsVerdictForCataloguesTheToolBuilt) {
    struct Case {
        const char* what;
        std::function<void(const TestFolder&)> update; // changes to the update's files
        std::size_t updateEntries;
        std::wstring engineOnly, updateDrivers; // ReadCatalog's QMXIONLY and UPDATEDRIVERS
    } const cases[] = {
        {"nothing changed", [](const TestFolder&) {}, 5, L"1", L"0"},
        {"engine library and data",
         [](const TestFolder& f) {
             f.WriteFile(L"update\\QMXI.dll", "engine 2");
             f.WriteFile(L"update\\Data\\daily.vdb", "data 2");
             f.WriteFile(L"update\\Data\\new.ide", "new data");
         },
         6, L"1", L"0"},
        {"the program", [](const TestFolder& f) { f.WriteFile(L"update\\QMX.exe", "program 2"); }, 5, L"", L"0"},
        {"a driver", [](const TestFolder& f) { f.WriteFile(L"update\\Drivers\\QMXONACCESSCONTROL.SYS", "control 2"); },
         5, L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TestFolder folders;
        WriteProduct(folders, L"installed");
        WriteProduct(folders, L"update");
        c.update(folders);
        const std::wstring installed = folders / L"installed", update = folders / L"update";
        for (const std::wstring& folder : {installed, update}) {
            const Ran built =
                RunTool("IH_CATALOGUE_TOOL", L"build " + Quoted(folder + L"\\cidsync.upd") + L" " + Quoted(folder));
            ASSERT_EQ(built.status, 0u);
        }

        // Each entry holds the library's checksum of its file.
        ih::update::CatalogueList list;
        ASSERT_EQ(ih::update::ParseCatalogue((update + L"\\cidsync.upd").c_str(), list), ih::update::kCatalogueRead);
        EXPECT_EQ(list.size(), c.updateEntries);
        for (const ih::update::CatalogueEntry& entry : list) {
            std::uint32_t checksum = 0;
            ASSERT_TRUE(ih::crypto::ComputeFileChecksum(
                (update + L"\\" + std::wstring(entry.name.begin(), entry.name.end())).c_str(), &checksum, nullptr))
                << entry.name;
            EXPECT_EQ(entry.stamp, checksum) << entry.name;
        }

        const Ran compared = RunTool("IH_CATALOGUE_TOOL", L"compare " + Quoted(installed) + L" " + Quoted(update));
        EXPECT_EQ(compared.status, 0u);
        const TestPackage package({{L"INSTALLDIR", installed}, {L"SOURCEDIR", update}});
        ASSERT_EQ(ReadCatalog(package.Handle()), 0u);
        const std::pair<std::wstring, std::wstring> decided{package.Property(L"QMXIONLY"),
                                                            package.Property(L"UPDATEDRIVERS")};
        EXPECT_EQ(decided, std::make_pair(c.engineOnly, c.updateDrivers)) << "ReadCatalog";
        EXPECT_EQ(Verdict(compared), decided) << "the tool";
    }
}

TEST_F(AuthoringToolsTest, CompareWithoutAnInstalledCatalogueLogsAsReadCatalogDoes) {
    WriteProduct(work, L"installed");
    WriteProduct(work, L"update");
    const std::wstring installed = work / L"installed", update = work / L"update";
    ASSERT_EQ(
        RunTool("IH_CATALOGUE_TOOL", L"build " + Quoted(update + L"\\cidsync.upd") + L" " + Quoted(update)).status, 0u);

    const Ran compared = RunTool("IH_CATALOGUE_TOOL", L"compare " + Quoted(installed) + L" " + Quoted(update));
    EXPECT_EQ(compared.status, 0u);
    const TestPackage package({{L"INSTALLDIR", installed}, {L"SOURCEDIR", update}});
    ASSERT_EQ(ReadCatalog(package.Handle()), 0u);
    const std::vector<std::wstring> log = ActionLogEntries();
    ASSERT_EQ(log.size(), 1u);
    ASSERT_FALSE(compared.lines.empty());
    EXPECT_EQ(compared.lines[0], L"installed catalogue " + installed + L"\\cidsync.upd: " + log[0]);
    EXPECT_EQ(Verdict(compared), std::make_pair(std::wstring(), std::wstring()));
    EXPECT_EQ(package.Property(L"QMXIONLY"), L"");
    EXPECT_EQ(package.Property(L"UPDATEDRIVERS"), L"");
}

std::wstring ChecksumLine(std::uint32_t checksum, const std::wstring& path) {
    wchar_t hex[11];
    std::swprintf(hex, 11, L"0x%08X", static_cast<unsigned>(checksum));
    return hex + std::wstring(L"  ") + path;
}

TEST_F(AuthoringToolsTest, ChecksumPrintsWhatTheScriptRunnerRecords) {
    work.WriteFile(L"after.bat", "@echo off\r\nexit 0\r\n");
    work.WriteFile(L"fox.cmd", "The quick brown fox jumps over the lazy dog");
    work.WriteFile(L"held.cmd", "held open for writing");
    const std::wstring files[] = {work / L"after.bat", work / L"fox.cmd"};
    std::uint32_t expected[2] = {};
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(ih::crypto::ComputeFileChecksum(files[i].c_str(), &expected[i], nullptr));
    EXPECT_EQ(expected[1], 0xE02A2972u);

    // A writer holds the third: the runner's checksum shares with readers only.
    const ih::UniqueFileHandle writer(::CreateFileW((work / L"held.cmd").c_str(), GENERIC_WRITE,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                                    nullptr));
    ASSERT_TRUE(writer);
    const Ran ran =
        RunTool("IH_CHECKSUM_TOOL", Quoted(files[0]) + L" " + Quoted(work / L"held.cmd") + L" " + Quoted(files[1]));
    EXPECT_EQ(ran.status, 1u);
    std::vector<std::wstring> printed, complaints;
    for (const std::wstring& line : ran.lines)
        (StartsWith(line, L"ih-checksum: ") ? complaints : printed).push_back(line);
    EXPECT_EQ(printed,
              (std::vector<std::wstring>{ChecksumLine(expected[0], files[0]), ChecksumLine(expected[1], files[1])}));
    ASSERT_EQ(complaints.size(), 1u);
    EXPECT_TRUE(StartsWith(complaints[0], L"ih-checksum: " + (work / L"held.cmd") + L": error 32: ")) << complaints[0];
}

} // namespace
