#include "update/SystemLeadByte.h"

#include <windows.h>

namespace ih::update {

bool SystemLeadByte(unsigned char byte) { return ::IsDBCSLeadByte(byte) != FALSE; }

} // namespace ih::update
