#include "update/EngineNames.h"

namespace ih::update {

EngineNames MakeEngineNames(bool terminalServices) {
    const std::wstring prefix(terminalServices ? kGlobalNamespace : std::wstring_view());
    auto name = [&prefix](std::wstring_view base) { return prefix + std::wstring(base); };
    return {name(kUpdateMutexBase), name(kRequestEventBase),   name(kCompleteEventBase),
            name(kReadyEventBase),  name(kSuspendedEventBase), name(kPresenceEventBase)};
}

} // namespace ih::update
