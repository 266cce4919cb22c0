#include "frame/Decimal.h"

#include <cwctype>
#include <limits>

namespace ih {

DecimalNumber ParseDecimal(std::wstring_view text) noexcept {
    constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
    std::size_t i = 0;
    while (i < text.size() && std::iswspace(static_cast<std::wint_t>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    const std::size_t digitsStart = i;
    std::int64_t magnitude = 0; // held at 2^31, the largest magnitude that can matter
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - L'0');
        if (magnitude > kLargest + 1) magnitude = kLargest + 1;
    }
    if (i == digitsStart) return {};
    const std::int64_t value = negative ? -magnitude : (magnitude > kLargest ? kLargest : magnitude);
    return {static_cast<std::int32_t>(value), i};
}

} // namespace ih
