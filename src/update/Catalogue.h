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
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>

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
    std::uint32_t fromNameBlock = 0;  // 1 for a name-block item, 0 for an entry record
    std::string name;                 // up to its first zero byte, at most 520 bytes
    std::uint32_t extra = 0;
    std::uint32_t stamp = 0;
};

// The items of one catalogue in the order they were read, names unique when
// ASCII letter case is ignored. Appending and finding are constant time.
class CatalogueList {
public:
    using Entries = std::list<CatalogueEntry>;

    // Removes an earlier item whose name equals this one's but for ASCII
    // letter case, then adds this one at the end.
    void Append(CatalogueEntry entry);
    // The item whose name equals `name` byte for byte, or null.
    const CatalogueEntry* FindExact(std::string_view name) const;
    void Clear() noexcept;

    std::size_t size() const noexcept { return entries_.size(); }
    bool empty() const noexcept { return entries_.empty(); }
    Entries::const_iterator begin() const noexcept { return entries_.begin(); }
    Entries::const_iterator end() const noexcept { return entries_.end(); }

private:
    Entries entries_;
    std::unordered_map<std::string, Entries::iterator> byFoldedName_;
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

// True when every item of `source` with a non-zero stamp that is new or
// whose stamp differs from the installed item of exactly the same name is an
// engine file. Sets `driversChanged` (never clears it) when such a changed,
// not new, item's upper-cased name contains either driver name.
bool CompareCatalogues(const CatalogueList& installed, const CatalogueList& source, std::string_view controlDriver,
                       std::string_view filterDriver, bool& driversChanged, LeadBytePredicate isLeadByte);

// The engine library or one of its data files, whatever the letter case.
bool IsEngineFile(std::string_view name, LeadBytePredicate isLeadByte);

} // namespace ih::update
