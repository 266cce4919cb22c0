#pragma once
// The lead bytes of the code page that catalogue names are written in: the
// system's ANSI code page on Windows. A Linux build has no such code page and
// reads every byte as a character of its own, as a single-byte Windows code
// page (1252, say) does.

namespace ih::update {

bool SystemLeadByte(unsigned char byte);

} // namespace ih::update
