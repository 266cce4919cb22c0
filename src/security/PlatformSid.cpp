#include "security/PlatformSid.h"

#include "frame/Handles.h"
#include "security/SecurityError.h"

#include <sddl.h>

namespace ih::security {

PSID PlatformSid(const Sid& sid) noexcept {
    // The platform declares its read-only SID arguments without const.
    return sid.IsEmpty() ? nullptr : const_cast<std::uint8_t*>(sid.Binary().data());
}

Sid SidFromPlatform(PSID sid) {
    if (sid == nullptr || !::IsValidSid(sid)) throw SecurityError(kInvalidArgument, "not a valid binary identifier");
    return Sid::FromBinary({static_cast<const std::uint8_t*>(sid), ::GetLengthSid(sid)});
}

Sid SidFromString(const wchar_t* text) {
    UniqueLocalMemory converted;
    if (!::ConvertStringSidToSidW(text, reinterpret_cast<PSID*>(converted.put()))) return {};
    return SidFromPlatform(converted.get());
}

} // namespace ih::security
