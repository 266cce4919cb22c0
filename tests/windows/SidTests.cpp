// The portable Sid against the platform's own SID functions.
#include "frame/Handles.h"
#include "security/PlatformSid.h"
#include "security/SecurityError.h"
#include "security/Sid.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using ih::security::Sid;
using ih::security::WellKnownSid;
using Bytes = std::vector<std::uint8_t>;

Bytes PlatformBytesOf(const wchar_t* text) {
    ih::UniqueLocalMemory converted;
    if (!::ConvertStringSidToSidW(text, reinterpret_cast<PSID*>(converted.put()))) return {};
    const auto* bytes = static_cast<const std::uint8_t*>(converted.get());
    return {bytes, bytes + ::GetLengthSid(converted.get())};
}

std::wstring PlatformStringOf(const Sid& sid) {
    ih::UniqueLocalMemory text;
    if (!::ConvertSidToStringSidW(ih::security::PlatformSid(sid), reinterpret_cast<LPWSTR*>(text.put()))) return {};
    return static_cast<const wchar_t*>(text.get());
}

TEST(PlatformSid, WellKnownTableEqualsThePlatformsIdentifiers) {
    const WellKnownSid all[] = {WellKnownSid::Everyone,           WellKnownSid::InteractiveUsers,
                                WellKnownSid::AuthenticatedUsers, WellKnownSid::LocalSystem,
                                WellKnownSid::Administrators,     WellKnownSid::Users,
                                WellKnownSid::PowerUsers};
    for (const WellKnownSid which : all) {
        const Sid sid = Sid::FromWellKnown(which);
        const std::wstring text = sid.StringForm();
        const Bytes platform = PlatformBytesOf(text.c_str());
        EXPECT_EQ(Bytes(sid.Binary().begin(), sid.Binary().end()), platform) << text;
        EXPECT_EQ(PlatformStringOf(sid), text);
        EXPECT_TRUE(::IsValidSid(ih::security::PlatformSid(sid))) << text;
        EXPECT_EQ(::GetLengthSid(ih::security::PlatformSid(sid)), sid.Length()) << text;
    }
}

// Wine's conversion writes authorities of 2^31 and more as negative numbers or
// fails (measured), so the platform is compared only below that; the native
// tests hold the larger ones.
TEST(PlatformSid, StringFormAgreesWithThePlatform) {
    const std::uint32_t subs[] = {21, 4000000000u, 1001};
    const std::uint64_t authorities[] = {0, 5, 16, 0x7FFFFFFFull};
    for (const std::uint64_t authority : authorities) {
        const Sid sid = Sid::FromAuthority(authority, subs);
        EXPECT_EQ(sid.StringForm(), PlatformStringOf(sid)) << authority;
    }
}

TEST(PlatformSid, ValidityAgreesWithIsValidSid) {
    const Bytes cases[] = {
        {1, 0, 0, 0, 0, 0, 0, 5},
        {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0},
        {2, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0},
        {0, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0},
    };
    for (const Bytes& bytes : cases) {
        Bytes buffer = bytes;
        EXPECT_EQ(Sid::IsValidBinarySid(buffer), ::IsValidSid(buffer.data()) != FALSE) << int(bytes[0]);
    }
    for (const std::uint8_t count : {std::uint8_t{15}, std::uint8_t{16}}) {
        Bytes buffer(8 + 4 * count, 0);
        buffer[0] = 1;
        buffer[1] = count;
        EXPECT_EQ(Sid::IsValidBinarySid(buffer), ::IsValidSid(buffer.data()) != FALSE) << int(count);
    }
}

TEST(PlatformSid, ConvertsStringsAndCopiesPlatformSids) {
    const Sid localService = ih::security::SidFromString(L"S-1-5-19");
    EXPECT_EQ(localService.StringForm(), L"S-1-5-19");
    EXPECT_EQ(localService.NameUse(), ih::security::kSidTypeUnknown);
    EXPECT_TRUE(ih::security::SidFromString(L"not a SID").IsEmpty());
    EXPECT_TRUE(ih::security::SidFromString(L"").IsEmpty());

    EXPECT_EQ(ih::security::PlatformSid(Sid()), nullptr);
    Bytes invalid{2, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    try {
        ih::security::SidFromPlatform(invalid.data());
        ADD_FAILURE() << "an invalid platform SID was copied";
    } catch (const ih::security::SecurityError& error) {
        EXPECT_EQ(error.Code(), ih::security::kInvalidArgument);
    }
}

} // namespace
