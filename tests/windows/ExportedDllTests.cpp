// The built DLL itself, loaded as the installer loads it: exports found by
// their undecorated names, actions called through them, everything released.

#include "support/HandleCount.h"
#include "support/LogFile.h"
#include "support/TestFolder.h"
#include "support/TestPackage.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace ih::test;
using Action = UINT(__stdcall*)(MSIHANDLE);

// The test run passes the DLL's Unix path in IH_DLL; Wine maps it on Z:.
std::wstring DllPath() {
    const char* unixPath = std::getenv("IH_DLL");
    if (!unixPath) return {};
    std::wstring path = L"Z:";
    for (const char* c = unixPath; *c; ++c) path.push_back(*c == '/' ? L'\\' : static_cast<wchar_t>(*c));
    return path;
}

class ExportedDllTest : public testing::Test {
protected:
    void SetUp() override {
        if (DllPath().empty()) GTEST_SKIP() << "IH_DLL is not set";
    }
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
};

TEST_F(ExportedDllTest, ActionsAreCalledThroughTheirUndecoratedNames) {
    TestFolder source, install;
    source.WriteFile(L"cidsync.upd", "catalogue");
    const TestPackage good = PackageWithActionData(install.Path() + L"\"" + source.Path());
    const TestPackage bad = PackageWithActionData(L"\"");

    const HandleCountCheck handles;
    HMODULE library = ::LoadLibraryW(DllPath().c_str());
    ASSERT_NE(library, nullptr) << ::GetLastError();
    const auto copyOtherFiles = reinterpret_cast<Action>(reinterpret_cast<void*>(::GetProcAddress(library, "CopyOtherFiles")));
    ASSERT_NE(copyOtherFiles, nullptr);
    EXPECT_NE(::GetProcAddress(library, "UpdateQmxAdapterDll"), nullptr);
    EXPECT_EQ(::GetProcAddress(library, "_CopyOtherFiles@4"), nullptr);

    EXPECT_EQ(copyOtherFiles(good.Handle()), 0u);
    EXPECT_EQ(copyOtherFiles(bad.Handle()), 1603u);
    EXPECT_TRUE(::FreeLibrary(library));
    EXPECT_TRUE(handles.Unchanged());

    EXPECT_EQ(ReadWholeFile(install / L"cidsync.upd"), "catalogue");
    EXPECT_EQ(ActionLogEntries(),
              std::vector<std::wstring>{
                  L"CopyOtherFiles custom action data was empty - unable to determine SOURCEDIR or INSTALLDIR"});
}

} // namespace
