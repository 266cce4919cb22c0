#include "cleanup/ProductWindows.h"

#include "frame/Clock.h"

#include <new>
#include <vector>

namespace ih::cleanup {

namespace {

constexpr wchar_t kMainWindowClass[] = L"Kestro.MainFrame";
constexpr wchar_t kMainWindowTitle[] = L"Kestro Anti-Virus";
constexpr WPARAM kApplicationExitCommand = 0xE141;
constexpr wchar_t kScanWindowClass[] = L"Kestro.QMX.ScanDlg";
constexpr wchar_t kCloseMessageName[] = L"Kestro.Tamber.GUI.ProgressClose";
constexpr int kClassNameCapacity = 260;

struct ScanWindows {
    std::vector<HWND> windows;
    bool outOfMemory = false;
};

// Called by the system for every top-level window; nothing thrown may cross it.
BOOL CALLBACK CollectScanWindow(HWND window, LPARAM context) {
    auto& found = *reinterpret_cast<ScanWindows*>(context);
    wchar_t className[kClassNameCapacity] = {};
    if (::GetClassNameW(window, className, kClassNameCapacity) > 0 && ::lstrcmpiW(className, kScanWindowClass) == 0) {
        try {
            found.windows.push_back(window);
        } catch (const std::bad_alloc&) {
            found.outOfMemory = true;
            return FALSE;
        }
    }
    return TRUE;
}

// Up to 30 passes over the windows in the order found: each closed window costs
// a short pause, the first one still open a long one and a new pass.
void WaitForWindowsToGo(const std::vector<HWND>& windows) {
    Clock& clock = ActiveClock();
    for (int pass = 0; pass < kWaitPasses; ++pass) {
        bool allGone = true;
        for (const HWND window : windows) {
            if (::IsWindow(window)) {
                clock.Sleep(kOpenWindowPause);
                allGone = false;
                break;
            }
            clock.Sleep(kClosedWindowPause);
        }
        if (allGone) return;
    }
}

} // namespace

UINT CloseQmxMainWindow(MSIHANDLE /*installation*/) {
    if (const HWND main = ::FindWindowW(kMainWindowClass, kMainWindowTitle)) {
        // Bounded, so that a hung main window cannot hold up the installation.
        DWORD_PTR answer = 0;
        ::SendMessageTimeoutW(main, WM_COMMAND, kApplicationExitCommand, 0, SMTO_ABORTIFHUNG, kExitCommandTimeout,
                              &answer);
    }

    const UINT closeMessage = ::RegisterWindowMessageW(kCloseMessageName);
    ScanWindows found;
    if (closeMessage != 0) { // without its message no scan window can be told
        ::EnumWindows(CollectScanWindow, reinterpret_cast<LPARAM>(&found));
        if (found.outOfMemory) throw std::bad_alloc();
        for (const HWND window : found.windows) ::PostMessageW(window, closeMessage, 0, 0);
    }

    ActiveClock().Sleep(kFirstPause);
    WaitForWindowsToGo(found.windows);
    return ERROR_SUCCESS;
}

} // namespace ih::cleanup
