#pragma once
// Upper-casing and substring search on 8-bit text in a code page that may
// have double-byte characters: a lead byte and the byte after it form one
// character, which is never changed and never the start of a match.

#include <string>
#include <string_view>

namespace ih::update {

// Tells whether a byte starts a double-byte character in the code page.
using LeadBytePredicate = bool (*)(unsigned char);

// Upper-cases the ASCII letters of single-byte characters; double-byte
// characters pass unchanged. A lead byte at the very end stands alone.
std::string UpperCaseMultibyte(std::string_view text, LeadBytePredicate isLeadByte);

// True when `needle` occurs in `text` starting at a character boundary.
bool ContainsMultibyte(std::string_view text, std::string_view needle, LeadBytePredicate isLeadByte);

} // namespace ih::update
