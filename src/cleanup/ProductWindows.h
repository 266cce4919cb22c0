#pragma once
// Closing the product's user interface before its files are replaced or
// removed: the main window is asked to exit and every scan window to close.

#include <windows.h>
#include <msi.h>

namespace ih::cleanup {

// How long the main window may take to handle the exit command; a window
// that does not answer within it (or is hung) is not waited for further. The
// system itself counts a window as hung after this long.
inline constexpr UINT kExitCommandTimeout = 5000;

inline constexpr DWORD kFirstPause = 500;
inline constexpr DWORD kClosedWindowPause = 100;
inline constexpr DWORD kOpenWindowPause = 10000;
inline constexpr int kWaitPasses = 30;

// Sends the exit command to the main window, posts the close message to every
// scan window and waits (at most 500 ms + 30 x 10 s) for them to go. Neither
// reads action data nor logs; always 0.
UINT CloseQmxMainWindow(MSIHANDLE installation);

} // namespace ih::cleanup
