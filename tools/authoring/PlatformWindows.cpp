#include "Platform.h"

#include "crypto/FileChecksum.h"
#include "frame/ActionLog.h"
#include "update/CatalogueFile.h"

#include <windows.h>

namespace ih::tools {

namespace {

// Wide text in the ANSI code page; with `strict`, nothing when a character
// has no exact form there.
std::optional<std::string> AnsiText(std::wstring_view text, bool strict) {
    if (text.empty()) return std::string();
    BOOL usedDefault = FALSE;
    const DWORD flags = strict ? WC_NO_BEST_FIT_CHARS : 0;
    BOOL* lossy = strict ? &usedDefault : nullptr;
    const int length = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, nullptr, lossy);
    if (size <= 0) return std::nullopt;
    std::string ansi(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, flags, text.data(), length, ansi.data(), size, nullptr, lossy);
    if (usedDefault) return std::nullopt;
    return ansi;
}

} // namespace

std::filesystem::path PathFromText(std::string_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), size);
    return std::filesystem::path(wide);
}

std::optional<std::string> TextFromPath(const std::filesystem::path& path) { return AnsiText(path.wstring(), true); }

std::string ShownPath(const std::filesystem::path& path) { return AnsiText(path.wstring(), false).value_or("?"); }

std::int32_t ReadCatalogueFile(const std::filesystem::path& path, update::CatalogueList& list) {
    return update::ParseCatalogue(path.c_str(), list);
}

FileChecksum ChecksumFile(const std::filesystem::path& path) {
    std::uint32_t value = 0, error = 0;
    if (crypto::ComputeFileChecksum(path.c_str(), &value, &error)) return {value, {}};
    std::wstring text = ActionLog::SystemErrorText(error);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    return {std::nullopt,
            "error " + std::to_string(error) + (text.empty() ? "" : ": " + AnsiText(text, false).value_or(""))};
}

} // namespace ih::tools
