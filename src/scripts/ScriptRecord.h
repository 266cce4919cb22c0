#pragma once
// Run records: one REG_DWORD per script program under
// HKLM\SOFTWARE\Kestro\QMXService\ScriptCheck, named after the program file
// and holding the keyed checksum of its content. An unchanged script with a
// record has run already on this machine.

#include <string_view>

namespace ih::scripts {

inline constexpr std::wstring_view kScriptRecordKey = L"SOFTWARE\\Kestro\\QMXService\\ScriptCheck";

// False when the command cannot be split or its program file cannot be
// checksummed; otherwise true, with `matches` telling whether the stored
// record equals the checksum.
bool CheckScriptRecord(std::wstring_view command, bool& matches);

// Writes the record of the command's program; true when it was written.
bool RecordScript(std::wstring_view command);

} // namespace ih::scripts
