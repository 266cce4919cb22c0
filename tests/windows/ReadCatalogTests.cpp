// ReadCatalog through its exported entry point with real installation
// handles and catalogue files on disk.

#include "CatalogueBuilder.h"
#include "actions/Exports.h"
#include "support/HandleCount.h"
#include "support/LogFile.h"
#include "support/TestFolder.h"
#include "support/TestPackage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace ih::test;

const std::wstring kNoCatalogue = L"No catalog file was found - doing a full update";
const std::wstring kBadCatalogue = L"Error parsing catalogue file - doing a full update";

CatalogueBuilder Installed() {
    return std::move(CatalogueBuilder({"Kestro"})
                         .Entry("QMX.exe", 10)
                         .Entry("Drivers\\QMXONACCESSCONTROL.SYS", 11)
                         .Entry("QMXI.dll", 13)
                         .Entry("Data\\daily.vdb", 4));
}

class ReadCatalogTest : public testing::Test {
protected:
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
    TestFolder install;
    TestFolder source;

    struct Result {
        UINT code;
        std::wstring engineOnly;    // QMXIONLY afterwards
        std::wstring updateDrivers; // UPDATEDRIVERS afterwards
        std::vector<std::wstring> log;
    };

    Result Run(const TestPackage& package) {
        ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
        const HandleCountCheck handles;
        Result result{ReadCatalog(package.Handle()), {}, {}, {}};
        EXPECT_TRUE(handles.Unchanged());
        result.engineOnly = package.Property(L"QMXIONLY");
        result.updateDrivers = package.Property(L"UPDATEDRIVERS");
        result.log = ActionLogEntries();
        return result;
    }

    Result Run(const std::wstring& installFolder, const std::wstring& sourceFolder) {
        return Run(TestPackage({{L"INSTALLDIR", installFolder}, {L"SOURCEDIR", sourceFolder}}));
    }

    Result Run() { return Run(install.Path(), source.Path()); }
};

TEST_F(ReadCatalogTest, SetsEachPropertyOnItsOwnDecision) {
    CatalogueBuilder many = Installed();
    for (int i = 0; i < 5000; ++i) many.Entry("Data\\signatures\\part" + std::to_string(i) + ".vdb", 1);
    CatalogueBuilder manyChanged = many;
    manyChanged.Entry("Data\\signatures\\part4999.vdb", 2);
    struct Case {
        const char* what;
        CatalogueBuilder installed, update;
        std::wstring engineOnly, updateDrivers;
    } const cases[] = {
        {"nothing changed", Installed(), Installed(), L"1", L"0"},
        {"engine library and data changed", Installed(), Installed().Entry("QMXI.dll", 14).Entry("new.vdb", 1), L"1",
         L"0"},
        {"program changed, drivers did not", Installed(), Installed().Entry("QMX.exe", 11), L"", L"0"},
        {"control driver changed (lower case)", Installed(), Installed().Entry("drivers\\qmxonaccesscontrol.sys", 12),
         L"", L"0"},
        {"control driver changed", Installed(), Installed().Entry("Drivers\\QMXONACCESSCONTROL.SYS", 12), L"", L""},
        {"new filter driver", Installed(), Installed().Entry("QMXONACCESSFILTER.SYS", 1), L"", L"0"},
        {"many records across reads", many, manyChanged, L"1", L"0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        install.WriteFile(L"cidsync.upd", c.installed.Bytes());
        source.WriteFile(L"cidsync.upd", c.update.Bytes());
        const Result result = Run();
        EXPECT_EQ(result.code, 0u);
        EXPECT_EQ(result.engineOnly, c.engineOnly);
        EXPECT_EQ(result.updateDrivers, c.updateDrivers);
        EXPECT_TRUE(result.log.empty());
    }
}

TEST_F(ReadCatalogTest, FolderWithoutTrailingBackslash) {
    install.WriteFile(L"cidsync.upd", Installed().Bytes());
    source.WriteFile(L"cidsync.upd", Installed().Entry("QMXI.dll", 1).Bytes());
    std::wstring installFolder = install.Path(), sourceFolder = source.Path();
    installFolder.pop_back();
    sourceFolder.pop_back();
    const Result result = Run(installFolder, sourceFolder);
    EXPECT_EQ(result.code, 0u);
    EXPECT_EQ(result.engineOnly, L"1");
    EXPECT_EQ(result.updateDrivers, L"0");
}

TEST_F(ReadCatalogTest, MissingOrUnreadableCatalogueMeansAFullUpdate) {
    const std::string good = Installed().Bytes();
    std::string byte40 = good;
    byte40[40] = 'x';
    struct Case {
        const char* what;
        const wchar_t* installed; // null: no file
        std::string installedBytes;
        const wchar_t* update;
        std::string updateBytes;
        std::wstring line;
    } const cases[] = {
        {"no installed catalogue", nullptr, "", L"cidsync.upd", good, kNoCatalogue},
        {"no update catalogue", L"cidsync.upd", good, nullptr, "", kNoCatalogue},
        {"catalogue is a folder", L"cidsync.upd\\x", "", L"cidsync.upd", good, kNoCatalogue},
        {"installed header length 85", L"cidsync.upd", CatalogueBuilder({}, 85).Bytes(), L"cidsync.upd", good,
         kBadCatalogue},
        {"installed byte 40 not zero", L"cidsync.upd", byte40, L"cidsync.upd", good, kBadCatalogue},
        {"update ends after its name block", L"cidsync.upd", good, L"cidsync.upd",
         CatalogueBuilder({"a"}).Unterminated(), kBadCatalogue},
        {"update truncated in a record", L"cidsync.upd", good, L"cidsync.upd", good.substr(0, good.size() - 9),
         kBadCatalogue},
        {"empty update file", L"cidsync.upd", good, L"cidsync.upd", "", kBadCatalogue},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(install.Path());
        RemoveTree(source.Path());
        ::CreateDirectoryW(install.Path().c_str(), nullptr);
        ::CreateDirectoryW(source.Path().c_str(), nullptr);
        if (c.installed) install.WriteFile(c.installed, c.installedBytes);
        if (c.update) source.WriteFile(c.update, c.updateBytes);
        const Result result = Run();
        EXPECT_EQ(result.code, 0u);
        EXPECT_EQ(result.engineOnly, L"");
        EXPECT_EQ(result.updateDrivers, L"");
        EXPECT_EQ(result.log, std::vector<std::wstring>{c.line});
    }
}

TEST_F(ReadCatalogTest, CatalogueHeldOpenByAWriterCannotBeRead) {
    install.WriteFile(L"cidsync.upd", Installed().Bytes());
    source.WriteFile(L"cidsync.upd", Installed().Bytes());
    const HANDLE writer = ::CreateFileW((source / L"cidsync.upd").c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    const Result result = Run();
    ::CloseHandle(writer);
    EXPECT_EQ(result.code, 0u);
    EXPECT_EQ(result.engineOnly, L"");
    EXPECT_EQ(result.log, std::vector<std::wstring>{kNoCatalogue});
}

TEST_F(ReadCatalogTest, MissingOrShortFoldersAreFatal) {
    install.WriteFile(L"cidsync.upd", Installed().Bytes());
    source.WriteFile(L"cidsync.upd", Installed().Bytes());
    const std::wstring noInstall = L"Error getting ReadCatalog custom action data - unable to determine INSTALLDIR";
    const std::wstring noSource = L"Error getting SOURCEDIR property inside ReadCatalog custom action";
    struct Case {
        const char* what;
        PropertyList properties;
        std::wstring line;
    } const cases[] = {
        {"no INSTALLDIR", {{L"SOURCEDIR", source.Path()}}, noInstall},
        {"one-character INSTALLDIR", {{L"INSTALLDIR", L"C"}, {L"SOURCEDIR", source.Path()}}, noInstall},
        {"no SOURCEDIR", {{L"INSTALLDIR", install.Path()}}, noSource},
        {"one-character SOURCEDIR", {{L"INSTALLDIR", install.Path()}, {L"SOURCEDIR", L"Z"}}, noSource},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Result result = Run(TestPackage(c.properties));
        EXPECT_EQ(result.code, 1603u);
        EXPECT_EQ(result.engineOnly, L"");
        EXPECT_EQ(result.updateDrivers, L"");
        EXPECT_EQ(result.log, std::vector<std::wstring>{c.line});
    }
}

TEST_F(ReadCatalogTest, SourceFolderIsNotNeededWhenNothingIsInstalled) {
    const Result result = Run(TestPackage({{L"INSTALLDIR", install.Path()}}));
    EXPECT_EQ(result.code, 0u);
    EXPECT_EQ(result.log, std::vector<std::wstring>{kNoCatalogue});
}

TEST_F(ReadCatalogTest, UnreadablePropertyIsFatal) {
    const HandleCountCheck handles;
    EXPECT_EQ(ReadCatalog(0), 1603u);
    EXPECT_TRUE(handles.Unchanged());
    EXPECT_EQ(ActionLogEntries(),
              std::vector<std::wstring>{L"Error getting INSTALLDIR inside ReadCatalog custom action"});
}

} // namespace
