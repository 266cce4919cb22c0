#include "update/MultibyteText.h"

namespace ih::update {

namespace {

// Length of the character at `position`: 2 for a lead byte with a trail byte
// after it, else 1.
std::size_t CharacterLength(std::string_view text, std::size_t position, LeadBytePredicate isLeadByte) {
    const auto byte = static_cast<unsigned char>(text[position]);
    return isLeadByte(byte) && position + 1 < text.size() && text[position + 1] != '\0' ? 2 : 1;
}

} // namespace

std::string UpperCaseMultibyte(std::string_view text, LeadBytePredicate isLeadByte) {
    std::string upper(text);
    for (std::size_t i = 0; i < upper.size();) {
        const std::size_t length = CharacterLength(upper, i, isLeadByte);
        if (length == 1 && upper[i] >= 'a' && upper[i] <= 'z') upper[i] = static_cast<char>(upper[i] - 'a' + 'A');
        i += length;
    }
    return upper;
}

bool ContainsMultibyte(std::string_view text, std::string_view needle, LeadBytePredicate isLeadByte) {
    if (needle.empty()) return true;
    for (std::size_t i = 0; i + needle.size() <= text.size(); i += CharacterLength(text, i, isLeadByte)) {
        if (text.compare(i, needle.size(), needle) == 0) return true;
    }
    return false;
}

} // namespace ih::update
