#pragma once
// Decimal numbers in configuration text, read the way the C library's
// wcstol reads them but held at the ends of the 32-bit range. Portable.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ih {

struct DecimalNumber {
    std::int32_t value = 0;
    // Characters taken, leading white space and sign included; 0 when no
    // digit followed them (the value is then 0).
    std::size_t length = 0;
};

// Leading white space, an optional sign, then digits; reading stops at the
// first other character. Values beyond the 32-bit range saturate.
DecimalNumber ParseDecimal(std::wstring_view text) noexcept;

} // namespace ih
