#include "security/Dacl.h"

#include "security/LittleEndian.h"
#include "security/SecurityError.h"

#include <cstring>
#include <limits>
#include <utility>

namespace ih::security {

namespace {

constexpr std::size_t kAceHeaderLength = 4; // type, flags, 16-bit length
constexpr std::size_t kPlainSidOffset = 8;
constexpr std::size_t kObjectFlagsOffset = 8;
constexpr std::size_t kObjectTypesOffset = 12;

[[noreturn]] void ThrowMalformed(const char* what) { throw SecurityError(kInvalidArgument, what); }

// The earlier entry must come after the later one.
bool ComesAfter(const Ace& earlier, const Ace& later) noexcept {
    const bool earlierInherited = (earlier.flags & kInheritedAce) != 0;
    const bool laterInherited = (later.flags & kInheritedAce) != 0;
    if (earlierInherited != laterInherited) return earlierInherited;
    if (earlier.allowed != later.allowed) return earlier.allowed;
    return earlier.isObject && !later.isObject;
}

Guid ReadGuid(const std::uint8_t* bytes) noexcept {
    Guid guid;
    std::memcpy(guid.data(), bytes, guid.size());
    return guid;
}

// One kept entry of a binary ACL; the bytes are exactly the entry's length.
Ace ReadAce(std::span<const std::uint8_t> entry) {
    const std::uint8_t type = entry[0];
    Ace ace;
    ace.flags = entry[1];
    ace.allowed = type == kAccessAllowedAceType || type == kAccessAllowedObjectAceType;
    ace.isObject = type == kAccessAllowedObjectAceType || type == kAccessDeniedObjectAceType;
    std::size_t sidOffset = kPlainSidOffset;
    if (entry.size() < kPlainSidOffset) ThrowMalformed("an access entry is shorter than its header");
    ace.accessMask = ReadLittleEndian32(entry.data() + 4);
    if (ace.isObject) {
        if (entry.size() < kObjectTypesOffset) ThrowMalformed("an object entry is shorter than its header");
        const std::uint32_t present = ReadLittleEndian32(entry.data() + kObjectFlagsOffset);
        sidOffset = kObjectTypesOffset;
        for (const std::uint32_t bit : {1u, 2u}) {
            if ((present & bit) == 0) continue;
            if (entry.size() < sidOffset + 16) ThrowMalformed("an object entry's type is cut short");
            (bit == 1 ? ace.objectType : ace.inheritedObjectType) = ReadGuid(entry.data() + sidOffset);
            sidOffset += 16;
        }
    }
    ace.trustee = Sid::FromBinary(entry.subspan(sidOffset)); // E_INVALIDARG unless it fits
    return ace;
}

} // namespace

bool Dacl::AddAllowed(const Sid& trustee, std::uint32_t accessMask, std::uint8_t flags) {
    if (!trustee.IsValid()) return false;
    Ace ace;
    ace.trustee = trustee;
    ace.accessMask = accessMask;
    ace.flags = flags;
    if (null_) Clear();
    entries_.push_back(std::move(ace));
    binary_.reset();
    return true;
}

void Dacl::Clear() noexcept {
    entries_.clear();
    null_ = false;
    binary_.reset();
}

void Dacl::MarkNull() noexcept {
    Clear();
    null_ = true;
}

const std::vector<std::uint8_t>* Dacl::BinaryAcl() {
    if (null_) return nullptr;
    if (binary_) return &*binary_;
    std::size_t size = kAclHeaderLength;
    bool objectEntries = false;
    for (const Ace& ace : entries_) {
        size += ace.BinaryLength();
        objectEntries = objectEntries || ace.isObject;
    }
    if (size > std::numeric_limits<std::uint16_t>::max() ||
        entries_.size() > std::numeric_limits<std::uint16_t>::max()) {
        throw SecurityError(kInvalidArgument, "the access list is larger than an ACL can hold");
    }
    SortCanonically(entries_);
    std::vector<std::uint8_t> acl;
    acl.reserve(size);
    acl.push_back(objectEntries ? kAclRevisionWithObjectEntries : kAclRevision);
    acl.push_back(0);
    acl.push_back(static_cast<std::uint8_t>(size));
    acl.push_back(static_cast<std::uint8_t>(size >> 8));
    acl.push_back(static_cast<std::uint8_t>(entries_.size()));
    acl.push_back(static_cast<std::uint8_t>(entries_.size() >> 8));
    acl.push_back(0);
    acl.push_back(0);
    for (const Ace& ace : entries_) ace.AppendBinary(acl);
    binary_ = std::move(acl);
    return &*binary_;
}

void Dacl::LoadFromBinary(std::span<const std::uint8_t> acl) {
    if (acl.size() < kAclHeaderLength) ThrowMalformed("an ACL is shorter than its header");
    const std::size_t aclSize = ReadLittleEndian16(acl.data() + 2);
    const std::size_t count = ReadLittleEndian16(acl.data() + 4);
    if (aclSize < kAclHeaderLength || aclSize > acl.size()) ThrowMalformed("an ACL's size lies");
    std::vector<Ace> loaded;
    std::size_t offset = kAclHeaderLength;
    for (std::size_t index = 0; index < count; ++index) {
        if (aclSize - offset < kAceHeaderLength) ThrowMalformed("an ACL holds fewer entries than it counts");
        const std::size_t length = ReadLittleEndian16(acl.data() + offset + 2);
        if (length < kAceHeaderLength || length > aclSize - offset) ThrowMalformed("an access entry's length lies");
        const std::uint8_t type = acl[offset];
        if (type == kAccessAllowedAceType || type == kAccessDeniedAceType || type == kAccessAllowedObjectAceType ||
            type == kAccessDeniedObjectAceType) {
            loaded.push_back(ReadAce(acl.subspan(offset, length)));
        }
        offset += length;
    }
    entries_ = std::move(loaded);
    null_ = false;
    binary_.reset();
}

void SortCanonically(std::vector<Ace>& entries) {
    const std::size_t count = entries.size();
    std::size_t gap = 1;
    if (count > 4) {
        while (3 * gap + 1 < count) gap = 3 * gap + 1;
    }
    for (;; gap /= 3) {
        for (std::size_t i = gap; i < count; ++i) {
            Ace moving = std::move(entries[i]);
            std::size_t j = i;
            for (; j >= gap && ComesAfter(entries[j - gap], moving); j -= gap) entries[j] = std::move(entries[j - gap]);
            entries[j] = std::move(moving);
        }
        if (gap == 1) break;
    }
}

} // namespace ih::security
