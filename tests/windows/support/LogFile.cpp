#include "support/LogFile.h"

#include "frame/ActionLog.h"
#include "support/TestFolder.h"

namespace ih::test {

std::string ActionLogBytes() {
    const std::string ansi = ActionLog().Path();
    if (ansi.empty()) return {};
    wchar_t wide[MAX_PATH * 2] = {};
    if (::MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide, MAX_PATH * 2) == 0) return {};
    return ReadWholeFile(wide);
}

std::wstring ActionLogText() {
    const std::string bytes = ActionLogBytes();
    std::wstring text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                            (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return text;
}

std::vector<std::wstring> ActionLogEntries() {
    const std::wstring text = ActionLogText();
    std::vector<std::wstring> entries;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        entries.push_back(text.substr(start, end - start));
    if (start < text.size()) entries.push_back(text.substr(start)); // an entry without its line end
    return entries;
}

std::wstring LogTextOf(const std::vector<std::wstring>& entries) {
    std::wstring text;
    for (const std::wstring& entry : entries) text += entry + L"\r\n";
    return text;
}

} // namespace ih::test
