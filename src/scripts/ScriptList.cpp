#include "scripts/ScriptList.h"

#include "frame/Text.h"

namespace ih::scripts {

std::wstring ScriptKeyName(std::wstring_view keyBase, unsigned index) {
    std::wstring key(keyBase);
    if (index > 0) key += std::to_wstring(index);
    return key;
}

void CollectScriptList(const std::function<std::wstring(const std::wstring& key)>& readValue, std::wstring_view keyBase,
                       std::vector<std::wstring>& list) {
    for (unsigned index = 0;; ++index) {
        const std::wstring value = readValue(ScriptKeyName(keyBase, index));
        if (value.empty()) return;
        list.emplace_back(TrimSpaces(value));
    }
}

} // namespace ih::scripts
