// libFuzzer target for loading a Dacl from binary ACL bytes whose counts,
// sizes and entry lengths may lie: the bytes load or are refused with
// E_INVALIDARG, never read outside the buffer (ASan), and a loaded list
// rebuilds into an ACL that loads again to the same entries. The input is
// copied into a buffer of exactly its size so any over-read is caught.

#include "security/Dacl.h"
#include "security/DescriptorLayout.h"
#include "security/SecurityError.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using namespace ih::security;

void Require(bool condition) {
    if (!condition) std::abort();
}

bool SameEntries(const Dacl& left, const Dacl& right) {
    if (left.Count() != right.Count()) return false;
    for (std::size_t i = 0; i < left.Count(); ++i) {
        const Ace& a = left.Entries()[i];
        const Ace& b = right.Entries()[i];
        if (!(a.trustee == b.trustee) || a.accessMask != b.accessMask || a.flags != b.flags || a.allowed != b.allowed ||
            a.isObject != b.isObject || a.objectType != b.objectType ||
            a.inheritedObjectType != b.inheritedObjectType) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    IsWholeSelfRelativeDescriptor(bytes); // the descriptor check reads the same kind of lying offsets
    Dacl dacl;
    try {
        dacl.LoadFromBinary(bytes);
    } catch (const SecurityError& error) {
        Require(error.Code() == kInvalidArgument);
        Require(dacl.Count() == 0);
        return 0;
    }
    Require(dacl.Count() <= size / 16); // the smallest kept entry is 16 bytes
    const std::vector<std::uint8_t> rebuilt = *dacl.BinaryAcl();
    std::size_t expectedSize = kAclHeaderLength;
    for (const Ace& ace : dacl.Entries()) expectedSize += ace.BinaryLength();
    Require(rebuilt.size() == expectedSize);
    Require((rebuilt[2] | rebuilt[3] << 8) == static_cast<int>(rebuilt.size()));
    Dacl again;
    again.LoadFromBinary(rebuilt);
    Require(SameEntries(dacl, again));
    Require(*again.BinaryAcl() == rebuilt);
    return 0;
}
