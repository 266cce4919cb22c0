#pragma once
// Reading the action log the code under test wrote.

#include <string>
#include <vector>

namespace ih::test {

// The log file's bytes as they are on disk (empty when there is none).
std::string ActionLogBytes();

// The log's entries: UTF-16LE text split at each CR LF.
std::vector<std::wstring> ActionLogEntries();

// The log's whole text, decoded.
std::wstring ActionLogText();

// The text a log holding exactly these entries has (each followed by CR LF).
std::wstring LogTextOf(const std::vector<std::wstring>& entries);

} // namespace ih::test
