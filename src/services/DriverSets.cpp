#include "services/DriverSets.h"

namespace ih::services {

namespace {
constexpr DriverSet kAmd64{L"AMD64", L"WinXP_AMD64"};
constexpr DriverSet kIa64{L"IA64", L"WinXP_IA64"};
constexpr DriverSet kXp{L"XP", L"WinXP_i386"};
constexpr DriverSet k2000{L"2K", L""};
} // namespace

DriverSet ChooseDriverSet(std::wstring_view architecture, bool xpOrLater) noexcept {
    if (architecture == kAmd64.version) return kAmd64;
    if (architecture == kIa64.version) return kIa64;
    return xpOrLater ? kXp : k2000;
}

std::wstring_view DriverSetFolder(std::wstring_view version) noexcept {
    for (const DriverSet& set : {kXp, kAmd64, kIa64})
        if (version == set.version) return set.folder;
    return {};
}

} // namespace ih::services
