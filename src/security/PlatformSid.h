#pragma once
// A Sid handed to and taken from the platform's own SID pointers.

#include "security/Sid.h"

#include <windows.h>

namespace ih::security {

// For platform calls that take a PSID and only read it; null for an empty Sid.
PSID PlatformSid(const Sid& sid) noexcept;

// A private copy of a SID the platform returned; E_INVALIDARG unless IsValidSid accepts it.
Sid SidFromPlatform(PSID sid);

// The SID of a string such as "S-1-5-19" (ConvertStringSidToSidW); an empty Sid
// when the platform cannot convert it.
Sid SidFromString(const wchar_t* text);

} // namespace ih::security
