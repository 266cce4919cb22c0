// The built DLL itself, loaded as the installer loads it: exports found by
// their undecorated names, actions called through them, everything released.

#include "support/HandleCount.h"
#include "support/LogFile.h"
#include "support/ProductDll.h"
#include "support/TestFolder.h"
#include "support/TestPackage.h"

#include <gtest/gtest.h>

namespace {

using namespace ih::test;

class ExportedDllTest : public testing::Test {
protected:
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
};

TEST_F(ExportedDllTest, ActionsAreCalledThroughTheirUndecoratedNames) {
    TestFolder source, install;
    source.WriteFile(L"cidsync.upd", "catalogue");
    const TestPackage good = PackageWithActionData(install.Path() + L"\"" + source.Path());
    const TestPackage bad = PackageWithActionData(L"\"");

    const HandleCountCheck handles;
    {
        LoadedProductDll library;
        const ExportedAction copyOtherFiles = library.Action("CopyOtherFiles");
        ASSERT_NE(copyOtherFiles, nullptr);
        EXPECT_NE(library.Action("UpdateQmxAdapterDll"), nullptr);
        EXPECT_EQ(library.Action("_CopyOtherFiles@4"), nullptr);

        EXPECT_EQ(copyOtherFiles(good.Handle()), 0u);
        EXPECT_EQ(copyOtherFiles(bad.Handle()), 1603u);
        EXPECT_TRUE(library.Free());
    }
    EXPECT_TRUE(handles.ChangedBy(HandlesLeftByEachLoad(), 1));

    EXPECT_EQ(ReadWholeFile(install / L"cidsync.upd"), "catalogue");
    EXPECT_EQ(ActionLogEntries(),
              std::vector<std::wstring>{
                  L"CopyOtherFiles custom action data was empty - unable to determine SOURCEDIR or INSTALLDIR"});
}

// What a load and free of the DLL costs is the toolchain's, and a constant:
// bare cycles and cycles that call actions on their success and failure paths
// leave exactly the same, and exactly what docs/TESTING.md states.
TEST_F(ExportedDllTest, EachLoadLeavesTheSameToolchainCostWhateverTheActionsDo) {
    TestFolder source, install;
    source.WriteFile(L"cidsync.upd", "catalogue");
    const TestPackage good = PackageWithActionData(install.Path() + L"\"" + source.Path());
    const TestPackage oneField = PackageWithActionData(install.Path());
    const TestPackage empty = PackageWithActionData(L"");
    const char* const actions[] = {"CopyOtherFiles", "RunAfterScripts", "RunErrorScripts", "ReadCatalog", "RemoveQMXI"};
    constexpr long kCycles = 3;

    // First-use costs of the process (the private-profile reader's cached key),
    // not of a load.
    LoadedProductDll warmUp;
    for (const char* name : actions)
        for (const TestPackage* package : {&good, &oneField, &empty}) warmUp.Action(name)(package->Handle());
    ASSERT_TRUE(warmUp.Free());

    const HandleCountCheck bare;
    for (long cycle = 0; cycle < kCycles; ++cycle) ASSERT_TRUE(LoadedProductDll().Free());
    EXPECT_TRUE(bare.ChangedBy(HandlesLeftByEachLoad(), kCycles));

    const HandleCountCheck busy;
    for (long cycle = 0; cycle < kCycles; ++cycle) {
        LoadedProductDll library;
        for (const char* name : actions) {
            const ExportedAction action = library.Action(name);
            ASSERT_NE(action, nullptr) << name;
            for (const TestPackage* package : {&good, &oneField, &empty}) action(package->Handle());
        }
        ASSERT_TRUE(library.Free());
    }
    EXPECT_TRUE(busy.ChangedBy(HandlesLeftByEachLoad(), kCycles));
}

} // namespace
