#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>

int main(int argc, char** argv) {
    // Installer messages must never open a dialog in a test run.
    ::MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
