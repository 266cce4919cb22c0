// libFuzzer target for the script line grammar and the action data fields:
// any text must yield options, a command, program path and name, and fields
// without touching memory outside what was allocated (ASan), and the results
// must keep their promises. The input's bytes are read as UTF-16LE units.

#include "frame/Fields.h"
#include "scripts/CommandLine.h"
#include "scripts/ScriptOptions.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

std::wstring WideText(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    for (std::size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    return text;
}

void CheckLine(const std::wstring& line) {
    const ih::scripts::ScriptOptions options = ih::scripts::ParseScriptOptions(line);
    Require(options.command.size() <= line.size());
    Require(line.find(options.command) != std::wstring::npos); // the command is part of the line

    const std::wstring command =
        ih::scripts::SubstitutePlaceholders(options.command, L"C:\\Install", L"%ScriptPath%", L"6.1");
    std::wstring path, name;
    if (ih::scripts::SplitCommandLine(command, path, name)) {
        Require(path.size() <= command.size());
        Require(name.size() <= path.size());
        Require(name.find(L'\\') == std::wstring::npos);
    }
}

void CheckFields(const std::wstring& data) {
    std::int32_t position = 0;
    std::size_t total = 0;
    for (;;) {
        const std::wstring field = ih::NextField(data, ih::kFieldDelimiters, position);
        if (position == ih::kFieldsExhausted) {
            Require(field.empty());
            break;
        }
        Require(!field.empty() && field.find(L'"') == std::wstring::npos);
        Require(static_cast<std::size_t>(position) <= data.size() + 1);
        total += field.size();
        Require(total <= data.size());
    }
    std::wstring first, second;
    if (ih::SplitFolderPair(data, first, second)) Require(first.back() == L'\\' && second.back() == L'\\');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = WideText(data, size);
    CheckLine(text);
    CheckFields(text);
    return 0;
}
