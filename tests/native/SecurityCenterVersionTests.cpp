// Which Windows versions have Security Center.

#include "notify/SecurityCenterVersion.h"

#include <gtest/gtest.h>

namespace {

using ih::notify::SecurityCenterApplies;
using ih::notify::WindowsVersion;

TEST(SecurityCenterVersion, XpFromServicePack2AndEveryLaterVersion) {
    struct Case {
        WindowsVersion version;
        bool applies;
    } const cases[] = {
        {{4, 0, 6}, false}, {{5, 0, 4}, false}, {{5, 1, 0}, false}, {{5, 1, 1}, false},
        {{5, 1, 2}, true},  {{5, 1, 3}, true},  {{5, 2, 2}, false}, {{5, 2, 9}, false},
        {{6, 0, 0}, true},  {{6, 1, 1}, true},  {{10, 0, 0}, true}, {{5, 3, 5}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.version.major << "." << c.version.minor << " SP"
                                        << c.version.servicePackMajor);
        EXPECT_EQ(SecurityCenterApplies(c.version), c.applies);
    }
}

} // namespace
