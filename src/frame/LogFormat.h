#pragma once
// Formatting of log messages with wide printf rules: "%s" takes a wide string,
// "%d"/"%ld" a 32-bit integer. The arguments carry their own types, so a
// message whose format and arguments disagree still prints something sane
// instead of reading the stack.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace ih {

class LogArgument {
public:
    LogArgument(const wchar_t* text) noexcept : text_(text ? std::wstring_view(text) : std::wstring_view(L"(null)")) {}
    LogArgument(std::wstring_view text) noexcept : text_(text) {}
    LogArgument(const std::wstring& text) noexcept : text_(text) {}

    template <typename Integer, std::enable_if_t<std::is_integral_v<Integer>, int> = 0>
    LogArgument(Integer value) noexcept
        : isText_(false), isSigned_(std::is_signed_v<Integer>), bits_(static_cast<std::uint64_t>(value)),
          width_(sizeof(Integer) * 8) {}

    bool IsText() const noexcept { return isText_; }
    std::wstring_view Text() const noexcept { return text_; }
    bool IsSigned() const noexcept { return isSigned_; }
    std::int64_t Signed() const noexcept;
    std::uint64_t Unsigned() const noexcept; // two's complement in the argument's own width

private:
    bool isText_ = true;
    bool isSigned_ = false;
    std::wstring_view text_;
    std::uint64_t bits_ = 0;
    unsigned width_ = 0;
};

// Supported: %s %S %c %d %i %u %x %X %%, with flags "-" and "0", a width, a
// precision, and the length prefixes h, l, ll, w and I64 (all accepted and
// ignored: the argument knows its size). A conversion that is incomplete,
// unknown or has no argument left is copied to the output as it stands.
std::wstring FormatLogMessage(std::wstring_view format, std::initializer_list<LogArgument> arguments);

} // namespace ih
