#pragma once
// A discretionary access-control list: entries in order, a null marker (no
// list at all, as opposed to an empty one), and the binary ACL in the
// platform's published layout, built by the model itself. Portable.

#include "security/Ace.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ih::security {

inline constexpr std::uint8_t kAclRevision = 2;
inline constexpr std::uint8_t kAclRevisionWithObjectEntries = 4; // ACL_REVISION_DS
inline constexpr std::size_t kAclHeaderLength = 8;

class Dacl {
public:
    Dacl() = default; // empty, not null

    // False, adding nothing, unless the Sid is valid. A null-marked list is
    // emptied and unmarked first.
    bool AddAllowed(const Sid& trustee, std::uint32_t accessMask, std::uint8_t flags);

    std::size_t Count() const noexcept { return entries_.size(); }
    const std::vector<Ace>& Entries() const noexcept { return entries_; }
    void Clear() noexcept;

    bool IsNull() const noexcept { return null_; }
    void MarkNull() noexcept; // emptied and null-marked

    // The binary ACL, entries in canonical order; none for a null-marked list.
    // Revision 2, or 4 when an object entry is present; raises E_INVALIDARG
    // when the list outgrows an ACL's 16-bit size.
    const std::vector<std::uint8_t>* BinaryAcl();

    // Replaces the entries with those of a binary ACL: allowed and denied
    // entries and their object forms are kept, every other type is skipped.
    // Raises E_INVALIDARG (and keeps the earlier content) when the header or an
    // entry claims more bytes than there are, or a kept entry's SID is invalid.
    void LoadFromBinary(std::span<const std::uint8_t> acl);

private:
    std::vector<Ace> entries_;
    bool null_ = false;
    std::optional<std::vector<std::uint8_t>> binary_;
};

// The canonical order, in place: non-inherited before inherited, then denied
// before allowed, then plain before object entries. A shell sort with the gaps
// 1, 4, 13, 40, ..., so it is not stable, but a list of equal entries (all
// that the permission actions add) keeps the order in which they were added.
void SortCanonically(std::vector<Ace>& entries);

} // namespace ih::security
