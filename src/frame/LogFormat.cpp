#include "frame/LogFormat.h"

#include <algorithm>
#include <cwctype>

namespace ih {

std::int64_t LogArgument::Signed() const noexcept {
    if (!isSigned_) return static_cast<std::int64_t>(bits_);
    if (width_ >= 64) return static_cast<std::int64_t>(bits_);
    const std::uint64_t sign = std::uint64_t{1} << (width_ - 1);
    const std::uint64_t value = bits_ & ((sign << 1) - 1);
    return static_cast<std::int64_t>(value ^ sign) - static_cast<std::int64_t>(sign);
}

std::uint64_t LogArgument::Unsigned() const noexcept {
    if (width_ >= 64) return bits_;
    return bits_ & ((std::uint64_t{1} << width_) - 1);
}

namespace {

struct Conversion {
    bool leftAlign = false;
    bool zeroPad = false;
    std::size_t width = 0;
    bool hasPrecision = false;
    std::size_t precision = 0;
    wchar_t type = 0;
};

// Parses the conversion that starts after '%' at `index`; returns the index
// just past it, or npos when the text is not a complete conversion.
std::size_t ParseConversion(std::wstring_view format, std::size_t index, Conversion& conversion) {
    auto at = [&](std::size_t i) { return i < format.size() ? format[i] : L'\0'; };
    for (;; ++index) {
        if (at(index) == L'-')
            conversion.leftAlign = true;
        else if (at(index) == L'0')
            conversion.zeroPad = true;
        else if (at(index) == L'+' || at(index) == L' ' || at(index) == L'#')
            continue;
        else
            break;
    }
    auto readNumber = [&](std::size_t& value) {
        while (std::iswdigit(at(index))) {
            // A width or precision has no use past a line's length; bound it.
            value = std::min<std::size_t>(value * 10 + static_cast<std::size_t>(at(index) - L'0'), 1024);
            ++index;
        }
    };
    readNumber(conversion.width);
    if (at(index) == L'.') {
        ++index;
        conversion.hasPrecision = true;
        readNumber(conversion.precision);
    }
    if (format.substr(index, 3) == L"I64") index += 3;
    while (at(index) == L'h' || at(index) == L'l' || at(index) == L'w') ++index;
    const wchar_t type = at(index);
    switch (type) {
    case L's':
    case L'S':
    case L'c':
    case L'd':
    case L'i':
    case L'u':
    case L'x':
    case L'X': conversion.type = type; return index + 1;
    default: return std::wstring_view::npos;
    }
}

std::wstring Digits(std::uint64_t value, unsigned base, bool upper) {
    const wchar_t* digits = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
    std::wstring text;
    do {
        text.insert(text.begin(), digits[value % base]);
        value /= base;
    } while (value != 0);
    return text;
}

std::wstring Render(const Conversion& conversion, const LogArgument& argument) {
    std::wstring body;
    std::wstring sign;
    bool numeric = false;
    switch (conversion.type) {
    case L's':
    case L'S':
        if (argument.IsText()) {
            body = argument.Text();
            if (conversion.hasPrecision && body.size() > conversion.precision) body.resize(conversion.precision);
        } else {
            body = argument.IsSigned() ? std::to_wstring(argument.Signed()) : std::to_wstring(argument.Unsigned());
        }
        break;
    case L'c':
        if (argument.IsText())
            body = argument.Text().substr(0, 1);
        else
            body.assign(1, static_cast<wchar_t>(argument.Unsigned()));
        break;
    default:
        if (argument.IsText()) {
            body = argument.Text();
            break;
        }
        numeric = true;
        if (conversion.type == L'd' || conversion.type == L'i') {
            const std::int64_t value = argument.Signed();
            if (value < 0) sign = L"-";
            body = Digits(value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value), 10,
                          false);
        } else if (conversion.type == L'u') {
            body = Digits(argument.Unsigned(), 10, false);
        } else {
            body = Digits(argument.Unsigned(), 16, conversion.type == L'X');
        }
        if (conversion.hasPrecision && body.size() < conversion.precision)
            body.insert(0, conversion.precision - body.size(), L'0');
        break;
    }
    const std::size_t length = sign.size() + body.size();
    if (length >= conversion.width) return sign + body;
    const std::size_t padding = conversion.width - length;
    if (conversion.leftAlign) return sign + body + std::wstring(padding, L' ');
    if (conversion.zeroPad && numeric && !conversion.hasPrecision) return sign + std::wstring(padding, L'0') + body;
    return std::wstring(padding, L' ') + sign + body;
}

} // namespace

std::wstring FormatLogMessage(std::wstring_view format, std::initializer_list<LogArgument> arguments) {
    std::wstring out;
    out.reserve(format.size());
    auto next = arguments.begin();
    std::size_t i = 0;
    while (i < format.size()) {
        const wchar_t ch = format[i];
        if (ch != L'%') {
            out.push_back(ch);
            ++i;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == L'%') {
            out.push_back(L'%');
            i += 2;
            continue;
        }
        Conversion conversion;
        const std::size_t end = ParseConversion(format, i + 1, conversion);
        if (end == std::wstring_view::npos || next == arguments.end()) {
            out.push_back(L'%');
            ++i;
            continue;
        }
        out += Render(conversion, *next++);
        i = end;
    }
    return out;
}

} // namespace ih
