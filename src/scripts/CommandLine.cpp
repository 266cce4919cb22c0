#include "scripts/CommandLine.h"

#include "frame/Text.h"

namespace ih::scripts {

bool SplitCommandLine(std::wstring_view command, std::wstring& programPath, std::wstring& programName) {
    command = TrimLeadingSpaces(command);
    std::wstring_view path;
    if (!command.empty() && command.front() == L'"') {
        const std::size_t close = command.find(L'"', 1);
        if (close == std::wstring_view::npos) return false;
        path = TrimSpaces(command.substr(1, close - 1));
    } else {
        path = command.substr(0, command.find(L' '));
    }
    const std::size_t slash = path.rfind(L'\\');
    programPath = std::wstring(path);
    programName = slash == std::wstring_view::npos ? std::wstring() : std::wstring(path.substr(slash + 1));
    return true;
}

} // namespace ih::scripts
