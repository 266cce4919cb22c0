#pragma once
// The platform's own version test, for the actions that branch between
// Windows 2000 and XP or later.

namespace ih {

// Whether Windows is XP (5.1) or later: VerifyVersionInfoW on the major and
// minor versions, both "greater or equal".
bool WindowsIsXpOrLater();

} // namespace ih
