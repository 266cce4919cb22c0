#include "frame/ActionLog.h"

#include "frame/Handles.h"

#include <vector>

namespace ih {

namespace {

std::string AnsiFromWide(std::wstring_view text) {
    if (text.empty()) return {};
    const int length =
        ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string result(static_cast<std::size_t>(length), '\0');
    if (::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result.data(), length, nullptr,
                              nullptr) != length)
        return {};
    return result;
}

} // namespace

ActionLog::ActionLog() {
    try {
        char folder[MAX_PATH] = {};
        const DWORD length = ::GetTempPathA(MAX_PATH, folder);
        if (length == 0 || length >= MAX_PATH) return;
        const std::string fileName = AnsiFromWide(kActionLogFileName);
        if (fileName.empty()) return;
        // The log's fixed name, as every installation before has written it:
        // the folder as the system gives it (ending in a backslash), then a
        // backslash of its own, then the name. The system reads the doubled
        // separator as one; the text is kept so the name stays the known one.
        path_ = std::string(folder, length) + '\\' + fileName;
    } catch (...) {
        path_.clear(); // construction never fails; without a path entries are dropped
    }
}

void ActionLog::WriteText(std::wstring_view text) const {
    if (path_.empty()) return;
    try {
        std::vector<unsigned char> entry;
        entry.reserve((text.size() + 2) * 2);
        auto append = [&entry](wchar_t unit) {
            entry.push_back(static_cast<unsigned char>(unit & 0xFF));
            entry.push_back(static_cast<unsigned char>((unit >> 8) & 0xFF));
        };
        for (wchar_t unit : text) append(unit);
        append(L'\r');
        append(L'\n');

        UniqueFileHandle file(::CreateFileA(path_.c_str(), FILE_APPEND_DATA,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return;
        DWORD written = 0;
        ::WriteFile(file.get(), entry.data(), static_cast<DWORD>(entry.size()), &written, nullptr);
    } catch (...) {
        // Logging never changes an action's result: an entry that cannot be
        // built is dropped like one that cannot be written.
    }
}

std::wstring ActionLog::SystemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    UniqueLocalMemory owner(buffer);
    if (length == 0 || buffer == nullptr) return {};
    return std::wstring(buffer, length);
}

} // namespace ih
