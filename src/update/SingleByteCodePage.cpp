// The Linux stand-in for the system's ANSI code page: no byte starts a
// double-byte character.

#include "update/SystemLeadByte.h"

namespace ih::update {

bool SystemLeadByte(unsigned char) { return false; }

} // namespace ih::update
