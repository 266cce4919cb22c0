#pragma once
// Whether Terminal Services is present, which decides whether the engine's
// named objects live in the global namespace. The decision is a plain function
// of three facts about the system, so each branch can be driven by a test; the
// library always asks the system.

#include <windows.h>

#include <functional>
#include <optional>
#include <string_view>

namespace ih::update {

struct TerminalServicesFacts {
    // Platform and major version, as GetVersionExA gives them; false when unknown.
    std::function<bool(DWORD& platformId, DWORD& majorVersion)> version;
    // Whether the version test confirms a terminal-services suite; nothing when
    // the version-test functions cannot be found.
    std::function<std::optional<bool>()> terminalServicesSuite;
    // Whether the product-suite list of an NT 4 system names "Terminal Server".
    std::function<bool()> productSuiteNamesTerminalServer;
};

bool TerminalServicesPresent(const TerminalServicesFacts& facts);

// The facts as this system gives them.
TerminalServicesFacts SystemTerminalServicesFacts();

inline constexpr std::wstring_view kProductOptionsKey = L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";

// Whether the multi-string value "ProductSuite" of `subKey` under `root` holds
// the entry "Terminal Server".
bool ProductSuiteNamesTerminalServer(HKEY root, std::wstring_view subKey);

} // namespace ih::update
