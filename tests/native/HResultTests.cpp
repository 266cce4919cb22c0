#include "frame/HResult.h"

#include <gtest/gtest.h>

namespace {

TEST(HResultFromWin32, MapsPositiveErrorsAndPassesTheRest) {
    struct Case {
        std::int32_t error;
        std::uint32_t expected;
    } const cases[] = {
        {0, 0},
        {2, 0x80070002u},
        {5, 0x80070005u},
        {1332, 0x80070534u},
        {0x12345, 0x80072345u}, // only the low 16 bits survive
        {-1, 0xFFFFFFFFu},
        {static_cast<std::int32_t>(0x80070005u), 0x80070005u}, // already an HRESULT
    };
    for (const auto& c : cases) {
        EXPECT_EQ(static_cast<std::uint32_t>(ih::HResultFromWin32(c.error)), c.expected) << c.error;
    }
    static_assert(ih::HResultFromWin32(2) == static_cast<std::int32_t>(0x80070002u));
}

} // namespace
