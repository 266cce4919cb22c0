#include "cleanup/WorkItemData.h"

#include "frame/Fields.h"

#include <cstdint>
#include <string>

namespace ih::cleanup {

bool IsProductWorkItemData(const unsigned char* bytes, std::size_t count) {
    if (bytes == nullptr) return false;
    std::wstring text;
    for (std::size_t i = 0; i + 1 < count; i += 2) {
        const auto character = static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
        if (character == L'\0') break;
        text.push_back(character);
    }
    std::int32_t position = 0;
    return NextField(text, kFieldDelimiters, position) == kProductClassId;
}

} // namespace ih::cleanup

namespace ih::cleanup {

std::wstring_view WorkItemName(std::wstring_view enumerated) noexcept {
    constexpr std::wstring_view kExtension = L".job";
    if (enumerated.size() <= kExtension.size()) return enumerated;
    const std::wstring_view ending = enumerated.substr(enumerated.size() - kExtension.size());
    for (std::size_t i = 0; i < kExtension.size(); ++i) {
        const wchar_t c = ending[i];
        const wchar_t lower = (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
        if (lower != kExtension[i]) return enumerated;
    }
    return enumerated.substr(0, enumerated.size() - kExtension.size());
}

} // namespace ih::cleanup
