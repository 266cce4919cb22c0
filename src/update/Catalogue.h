#pragma once
// The catalogue file "cidsync.upd": the product's files by name with a 32-bit
// stamp, read into a list, and the comparison of the installed catalogue with
// the one of an update, which decides whether the update touches only the
// scanning engine and whether the on-access drivers changed. No Windows calls
// here: the bytes come from a CatalogueSource and the code page's lead bytes
// from a predicate.

#include "update/MultibyteText.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace ih::update {

inline constexpr std::int32_t kCatalogueRead = 0;
inline constexpr std::int32_t kCatalogueNoPath = static_cast<std::int32_t>(0x80070057u);
inline constexpr std::int32_t kCatalogueCannotOpen = static_cast<std::int32_t>(0x80070006u);
inline constexpr std::int32_t kCatalogueMalformed = static_cast<std::int32_t>(0x80004005u);
inline constexpr std::int32_t kCatalogueOutOfMemory = static_cast<std::int32_t>(0x8007000Eu);

inline constexpr std::size_t kCatalogueHeaderLength = 84;
// A name holds at most this many bytes; with its terminator it fills the
// 521-byte buffer a record's name is read into.
inline constexpr std::size_t kCatalogueNameLimit = 520;

inline constexpr std::string_view kControlDriverName = "QMXONACCESSCONTROL.SYS";
inline constexpr std::string_view kFilterDriverName = "QMXONACCESSFILTER.SYS";

struct CatalogueEntry {
    std::uint32_t fromNameBlock = 0; // 1 for a name-block item, 0 for an entry record
    std::string name;                // up to its first zero byte, at most 520 bytes
    std::uint32_t extra = 0;
    std::uint32_t stamp = 0;
};

// The items of one catalogue in the order they were read, names unique when
// ASCII letter case is ignored. Appending and finding take constant time: items
// stay where they were first stored, a replaced item is only marked as
// removed, and an open-addressing index of (hash of the case-folded name, item
// number) pairs finds a name with about one memory access per probe.
class CatalogueList {
    struct Slot {
        CatalogueEntry entry;
        bool removed = false;
    };
    using Slots = std::deque<Slot>;

public:
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = CatalogueEntry;
        using difference_type = std::ptrdiff_t;
        using pointer = const CatalogueEntry*;
        using reference = const CatalogueEntry&;

        Iterator() = default;
        Iterator(const Slots::const_iterator& at, const Slots::const_iterator& end) : at_(at), end_(end) {
            SkipRemoved();
        }
        reference operator*() const { return at_->entry; }
        pointer operator->() const { return &at_->entry; }
        Iterator& operator++() {
            ++at_;
            SkipRemoved();
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const Iterator& other) const { return at_ == other.at_; }

    private:
        void SkipRemoved() {
            while (at_ != end_ && at_->removed) ++at_;
        }
        Slots::const_iterator at_{}, end_{};
    };

    CatalogueList() = default;
    CatalogueList(const CatalogueList&) = delete;
    CatalogueList& operator=(const CatalogueList&) = delete;

    // Removes an earlier item whose name equals this one's but for ASCII
    // letter case, then adds this one at the end.
    void Append(CatalogueEntry entry);
    // The item whose name equals `name` byte for byte, or null.
    const CatalogueEntry* FindExact(std::string_view name) const;
    void Clear() noexcept;

    std::size_t size() const noexcept { return live_; }
    bool empty() const noexcept { return live_ == 0; }
    Iterator begin() const { return {slots_.begin(), slots_.end()}; }
    Iterator end() const { return {slots_.end(), slots_.end()}; }

private:
    // Position in index_ of the pair for a name equal to `name` but for ASCII
    // case, or of the empty cell where it would go.
    std::size_t Probe(std::string_view name, std::uint64_t hash) const;
    void Grow();

    Slots slots_;
    std::vector<std::uint64_t> index_; // 0: empty; else hash high half << 32 | item number + 1
    std::size_t live_ = 0;
};

// Where the catalogue's bytes come from: returns how many bytes it put in
// `buffer`, fewer than `count` only at the end of the data or on a failed read.
class CatalogueSource {
public:
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;

protected:
    ~CatalogueSource() = default;
};

class MemoryCatalogueSource final : public CatalogueSource {
public:
    explicit MemoryCatalogueSource(std::string_view bytes) noexcept : bytes_(bytes) {}
    std::size_t Read(void* buffer, std::size_t count) override;

private:
    std::string_view bytes_;
};

// Reads a whole catalogue into the empty `list`. Returns kCatalogueRead, or
// kCatalogueMalformed for a failed header check, a short read or a record the
// format does not allow (the list is then empty), or kCatalogueOutOfMemory.
std::int32_t ParseCatalogueFrom(CatalogueSource& source, CatalogueList& list);

// ReadCatalog's log line for a catalogue that cannot serve the comparison
// (either means a full update); empty for one that was read.
inline constexpr std::wstring_view kNoCatalogueLine = L"No catalog file was found - doing a full update";
inline constexpr std::wstring_view kBadCatalogueLine = L"Error parsing catalogue file - doing a full update";
std::wstring_view FullUpdateReason(std::int32_t parseResult);

// How one item differs between the installed catalogue and the update's.
enum class CatalogueChange {
    Added,    // in the update only, by exact name: counts unless it is an engine file
    Changed,  // in both with another stamp: counts unless it is an engine file
    Removed,  // in the installed catalogue only: plays no part
    Unstamped // in the update with stamp 0: skipped, whatever it is
};

struct CatalogueDifference {
    CatalogueChange change;
    const CatalogueEntry* installed; // null when added or unstamped without an installed item
    const CatalogueEntry* source;    // null when removed
    bool engineFile;                 // the name is an engine file's (Added, Changed)
    bool driverFile;                 // the upper-cased name holds a driver name (Added, Changed); only Changed counts
};

// True when every item of `source` with a non-zero stamp that is new or
// whose stamp differs from the installed item of exactly the same name is an
// engine file. Sets `driversChanged` (never clears it) when such a changed,
// not new, item's upper-cased name contains either driver name. With
// `differences`, also appends what differs and why, in the update's order and
// then the installed catalogue's; the pointers are into the two lists.
bool CompareCatalogues(const CatalogueList& installed, const CatalogueList& source, std::string_view controlDriver,
                       std::string_view filterDriver, bool& driversChanged, LeadBytePredicate isLeadByte,
                       std::vector<CatalogueDifference>* differences = nullptr);

// The engine library or one of its data files, whatever the letter case.
bool IsEngineFile(std::string_view name, LeadBytePredicate isLeadByte);

} // namespace ih::update
