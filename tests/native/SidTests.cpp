#include "security/SecurityError.h"
#include "security/Sid.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using ih::security::SecurityError;
using ih::security::Sid;
using ih::security::WellKnownSid;
using Bytes = std::vector<std::uint8_t>;

Bytes BytesOf(const Sid& sid) { return {sid.Binary().begin(), sid.Binary().end()}; }

Bytes SixteenSubAuthorities() {
    Bytes bytes(8 + 16 * 4, 0);
    bytes[0] = 1;
    bytes[1] = 16;
    return bytes;
}

std::int32_t ErrorCodeOf(void (*operation)()) {
    try {
        operation();
    } catch (const SecurityError& error) {
        return error.Code();
    }
    return 0;
}

TEST(Sid, WellKnownTableMatchesThePublishedBinaryLayout) {
    struct Case {
        WellKnownSid which;
        const wchar_t* text;
        Bytes bytes;
    } const cases[] = {
        {WellKnownSid::Everyone, L"S-1-1-0", {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}},
        {WellKnownSid::InteractiveUsers, L"S-1-5-4", {1, 1, 0, 0, 0, 0, 0, 5, 4, 0, 0, 0}},
        {WellKnownSid::AuthenticatedUsers, L"S-1-5-11", {1, 1, 0, 0, 0, 0, 0, 5, 11, 0, 0, 0}},
        {WellKnownSid::LocalSystem, L"S-1-5-18", {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0}},
        {WellKnownSid::Administrators, L"S-1-5-32-544", {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0}},
        {WellKnownSid::Users, L"S-1-5-32-545", {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 2, 0, 0}},
        {WellKnownSid::PowerUsers, L"S-1-5-32-547", {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x23, 2, 0, 0}},
    };
    for (const auto& c : cases) {
        const Sid sid = Sid::FromWellKnown(c.which);
        EXPECT_EQ(BytesOf(sid), c.bytes) << c.text;
        EXPECT_EQ(sid.Length(), c.bytes.size()) << c.text;
        EXPECT_TRUE(sid.IsValid()) << c.text;
        EXPECT_EQ(sid.StringForm(), c.text);
        EXPECT_EQ(sid.NameUse(), ih::security::kSidTypeUnknown) << c.text;
        EXPECT_TRUE(sid.AccountName().empty()) << c.text;
    }
}

TEST(Sid, EmptySidIsInvalidWithNameUseSeven) {
    const Sid sid;
    EXPECT_TRUE(sid.IsEmpty());
    EXPECT_FALSE(sid.IsValid());
    EXPECT_EQ(sid.Length(), 0u);
    EXPECT_EQ(sid.NameUse(), ih::security::kSidTypeInvalid);
    EXPECT_EQ(sid.StringForm(), L"");
    EXPECT_EQ(sid.SubAuthorityCount(), 0);
}

TEST(Sid, AuthorityIsBigEndianAndLargeOnesAreWrittenInHexadecimal) {
    const std::uint32_t subs[] = {21, 0xFFFFFFFFu, 7};
    const Sid sid = Sid::FromAuthority(0x123456789ABCull, subs);
    EXPECT_EQ(BytesOf(sid),
              (Bytes{1, 3, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 21, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 7, 0, 0, 0}));
    EXPECT_EQ(sid.Authority(), 0x123456789ABCull);
    EXPECT_EQ(sid.SubAuthority(1), 0xFFFFFFFFu);
    EXPECT_EQ(sid.StringForm(), L"S-1-0x123456789abc-21-4294967295-7");

    const std::uint32_t one[] = {1};
    EXPECT_EQ(Sid::FromAuthority(0xFFFFFFFFull, one).StringForm(), L"S-1-4294967295-1");
}

TEST(Sid, RefusesWhatIsNotAnIdentifier) {
    EXPECT_EQ(ErrorCodeOf([] { Sid::FromAuthority(5, {}); }), ih::security::kInvalidArgument);
    EXPECT_EQ(ErrorCodeOf([] {
                  const std::uint32_t sixteen[16] = {};
                  Sid::FromAuthority(5, sixteen);
              }),
              ih::security::kInvalidArgument);
    EXPECT_EQ(ErrorCodeOf([] {
                  const std::uint32_t one[] = {1};
                  Sid::FromAuthority(std::uint64_t{1} << 48, one);
              }),
              ih::security::kInvalidArgument);
    EXPECT_EQ(ErrorCodeOf([] { Sid::FromWellKnown(WellKnownSid::Users).SubAuthority(2); }),
              ih::security::kInvalidArgument);
    const std::uint32_t fifteen[15] = {};
    EXPECT_EQ(Sid::FromAuthority(5, fifteen).Length(), 68u); // the largest SID there is
}

TEST(Sid, FromBinaryCopiesTheSidAndRefusesInvalidOrCutShortBytes) {
    const Bytes users = BytesOf(Sid::FromWellKnown(WellKnownSid::Users));
    Bytes followed = users;
    followed.insert(followed.end(), {0xAA, 0xBB}); // a SID inside a larger buffer
    const Sid copy = Sid::FromBinary(followed);
    EXPECT_EQ(BytesOf(copy), users);
    EXPECT_EQ(copy, Sid::FromWellKnown(WellKnownSid::Users));
    EXPECT_EQ(copy.NameUse(), ih::security::kSidTypeUnknown);

    struct Case {
        const char* what;
        Bytes bytes;
    } const invalid[] = {
        {"nothing", {}},
        {"header cut short", {1, 1, 0, 0, 0, 0, 0}},
        {"sub-authority cut short", {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 2, 0}},
        {"revision 2", {2, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0}},
        {"revision 0", {0, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0}},
        {"16 sub-authorities", SixteenSubAuthorities()},
    };
    for (const auto& c : invalid) {
        EXPECT_FALSE(Sid::IsValidBinarySid(c.bytes)) << c.what;
        try {
            Sid::FromBinary(c.bytes);
            ADD_FAILURE() << c.what << " was accepted";
        } catch (const SecurityError& error) {
            EXPECT_EQ(error.Code(), ih::security::kInvalidArgument) << c.what;
        }
    }
    // No sub-authorities at all is a valid SID to the platform (S-1-5).
    EXPECT_TRUE(Sid::IsValidBinarySid(Bytes{1, 0, 0, 0, 0, 0, 0, 5}));
}

TEST(Sid, KeepsWhatTheLookUpFound) {
    Sid sid(Sid::FromWellKnown(WellKnownSid::Administrators), {4, L"Administrators", L"BUILTIN", L"\\\\DC"});
    EXPECT_EQ(sid.NameUse(), 4);
    EXPECT_EQ(sid.AccountName(), L"Administrators");
    EXPECT_EQ(sid.DomainName(), L"BUILTIN");
    EXPECT_EQ(sid.SystemName(), L"\\\\DC");
    sid.SetAccount({ih::security::kSidTypeUnknown, L"", L"", L"\\\\DC"});
    EXPECT_EQ(sid.NameUse(), ih::security::kSidTypeUnknown);
    EXPECT_TRUE(sid.AccountName().empty());
    EXPECT_EQ(sid, Sid::FromWellKnown(WellKnownSid::Administrators));
}

} // namespace
