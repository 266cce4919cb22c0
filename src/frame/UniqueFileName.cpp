#include "frame/UniqueFileName.h"

#include "frame/HResult.h"
#include "frame/Handles.h"
#include "frame/Paths.h"

#include <windows.h>

namespace ih {

std::int32_t MakeUniqueFileName(std::wstring_view folder, std::wstring_view fileName, std::wstring& created) {
    if (folder.empty() || fileName.empty()) return HResultFromWin32(ERROR_INVALID_PARAMETER);
    const std::size_t dot = fileName.rfind(L'.');
    const std::wstring stem(fileName.substr(0, dot));
    const std::wstring extension(dot == std::wstring_view::npos ? std::wstring_view() : fileName.substr(dot));

    DWORD lastError = ERROR_SUCCESS;
    for (unsigned n = 0; n < kUniqueFileNameCandidates; ++n) {
        std::wstring candidate = JoinPath(folder, stem + std::to_wstring(n) + extension);
        const UniqueFileHandle file(::CreateFileW(candidate.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            created = std::move(candidate);
            return 0;
        }
        lastError = ::GetLastError();
        if (lastError == ERROR_ACCESS_DENIED) return HResultFromWin32(ERROR_ACCESS_DENIED);
    }
    return HResultFromWin32(static_cast<std::int32_t>(lastError));
}

} // namespace ih
