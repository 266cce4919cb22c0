#pragma once
// How the authoring tools print values and catalogue names.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace ih::tools {

// "0x" and eight upper-case hexadecimal digits.
inline std::string Hex32(std::uint32_t value) {
    char text[11];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

// A catalogue name as it stands, but for control bytes, which are shown as
// \xNN so that a name never breaks a line.
inline std::string Printable(std::string_view name) {
    std::string shown;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(byte));
            shown += escaped;
        } else {
            shown.push_back(c);
        }
    }
    return shown;
}

} // namespace ih::tools
