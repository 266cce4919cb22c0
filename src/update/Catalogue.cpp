#include "update/Catalogue.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <vector>

namespace ih::update {

namespace {

char FoldedByte(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::uint16_t Little16(const unsigned char* bytes) { return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)); }

std::uint32_t Little32(const unsigned char* bytes) {
    return std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) | (std::uint32_t{bytes[2]} << 16) |
           (std::uint32_t{bytes[3]} << 24);
}

bool ReadExactly(CatalogueSource& source, void* buffer, std::size_t count) {
    return source.Read(buffer, count) == count;
}

bool ReadValue(CatalogueSource& source, std::uint32_t& value) {
    unsigned char bytes[4];
    if (!ReadExactly(source, bytes, sizeof bytes)) return false;
    value = Little32(bytes);
    return true;
}

// The text before the first zero byte of `bytes`, when there is one within
// them and the text fits a name.
bool TakeName(std::string_view bytes, std::string& name) {
    const std::size_t end = bytes.find('\0');
    if (end == std::string_view::npos || end > kCatalogueNameLimit) return false;
    name.assign(bytes.substr(0, end));
    return true;
}

bool ParseNameBlock(CatalogueSource& source, std::size_t length, CatalogueList& list) {
    std::vector<char> block(length);
    if (!ReadExactly(source, block.data(), length)) return false;
    const std::string_view bytes(block.data(), length);
    for (std::size_t offset = 0; offset < length;) {
        CatalogueEntry entry;
        entry.fromNameBlock = 1;
        // A string that runs past the block's end has no zero byte in it.
        if (!TakeName(bytes.substr(offset), entry.name)) return false;
        offset += entry.name.size() + 1;
        list.Append(std::move(entry));
    }
    return true;
}

// Records until the terminating zero length.
bool ParseRecords(CatalogueSource& source, CatalogueList& list) {
    std::array<char, kCatalogueNameLimit + 1> nameBuffer;
    for (;;) {
        std::uint32_t length = 0;
        if (!ReadValue(source, length)) return false;
        if (length == 0) return true;
        CatalogueEntry entry;
        if (!ReadValue(source, entry.extra) || !ReadValue(source, entry.stamp)) return false;
        // The name takes length - 8 bytes: none at all, or more than the name
        // buffer holds, is not a record the format allows.
        if (length <= 8 || length - 8 > nameBuffer.size()) return false;
        const std::size_t nameLength = length - 8;
        if (!ReadExactly(source, nameBuffer.data(), nameLength)) return false;
        if (!TakeName(std::string_view(nameBuffer.data(), nameLength), entry.name)) return false;
        list.Append(std::move(entry));
    }
}

std::int32_t Parse(CatalogueSource& source, CatalogueList& list) {
    unsigned char header[kCatalogueHeaderLength];
    if (!ReadExactly(source, header, sizeof header) || header[40] != 0 ||
        Little16(header + 80) != kCatalogueHeaderLength)
        return kCatalogueMalformed;
    const std::size_t nameBlockLength = Little16(header + 82);
    if (nameBlockLength != 0 && !ParseNameBlock(source, nameBlockLength, list)) return kCatalogueMalformed;
    return ParseRecords(source, list) ? kCatalogueRead : kCatalogueMalformed;
}

} // namespace

namespace {

// FNV-1a over the case-folded bytes, then a final mix so that the high half,
// which is stored and picks the cell, depends on every byte.
std::uint64_t FoldedHash(std::string_view name) {
    std::uint64_t hash = 0xCBF29CE484222325u;
    for (const char c : name) {
        hash ^= static_cast<unsigned char>(FoldedByte(c));
        hash *= 0x100000001B3u;
    }
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDu;
    hash ^= hash >> 33;
    return hash;
}

bool FoldedEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldedByte(a[i]) != FoldedByte(b[i])) return false;
    }
    return true;
}

constexpr std::uint64_t HashTag(std::uint64_t hash) { return hash >> 32; }

// An index pair holds the hash's high half (which also picks the cell) above
// the item's number plus one.
constexpr std::size_t FirstCell(std::uint64_t tag, std::size_t mask) { return static_cast<std::size_t>(tag) & mask; }
constexpr std::size_t ItemOf(std::uint64_t pair) { return static_cast<std::size_t>((pair & 0xFFFFFFFFu) - 1); }

} // namespace

std::size_t CatalogueList::Probe(std::string_view name, std::uint64_t hash) const {
    const std::size_t mask = index_.size() - 1;
    for (std::size_t cell = FirstCell(HashTag(hash), mask);; cell = (cell + 1) & mask) {
        const std::uint64_t pair = index_[cell];
        if (pair == 0) return cell;
        if ((pair >> 32) == HashTag(hash) && FoldedEqual(slots_[ItemOf(pair)].entry.name, name)) return cell;
    }
}

void CatalogueList::Grow() {
    std::vector<std::uint64_t> old(std::max<std::size_t>(64, index_.size() * 2), 0);
    old.swap(index_);
    const std::size_t mask = index_.size() - 1;
    for (const std::uint64_t pair : old) {
        if (pair == 0) continue;
        // The stored half of the hash picks the cell, so growing never goes
        // back to the names.
        std::size_t cell = FirstCell(pair >> 32, mask);
        while (index_[cell] != 0) cell = (cell + 1) & mask;
        index_[cell] = pair;
    }
}

void CatalogueList::Append(CatalogueEntry entry) {
    // At most half the cells in use keeps probes short.
    if ((live_ + 1) * 2 > index_.size()) Grow();
    const std::uint64_t hash = FoldedHash(entry.name);
    const std::size_t cell = Probe(entry.name, hash);
    slots_.push_back(Slot{std::move(entry), false});
    if (index_[cell] != 0) {
        slots_[ItemOf(index_[cell])].removed = true;
    } else {
        ++live_;
    }
    index_[cell] = (HashTag(hash) << 32) | slots_.size();
}

const CatalogueEntry* CatalogueList::FindExact(std::string_view name) const {
    if (index_.empty()) return nullptr;
    const std::uint64_t pair = index_[Probe(name, FoldedHash(name))];
    if (pair == 0) return nullptr;
    const CatalogueEntry& entry = slots_[ItemOf(pair)].entry;
    return entry.name == name ? &entry : nullptr;
}

void CatalogueList::Clear() noexcept {
    index_.clear();
    slots_.clear();
    live_ = 0;
}

std::size_t MemoryCatalogueSource::Read(void* buffer, std::size_t count) {
    const std::size_t taken = std::min(count, bytes_.size());
    if (taken > 0) std::memcpy(buffer, bytes_.data(), taken);
    bytes_.remove_prefix(taken);
    return taken;
}

std::int32_t ParseCatalogueFrom(CatalogueSource& source, CatalogueList& list) {
    std::int32_t result = kCatalogueOutOfMemory;
    try {
        result = Parse(source, list);
    } catch (const std::bad_alloc&) {
    }
    if (result != kCatalogueRead) list.Clear();
    return result;
}

std::wstring_view FullUpdateReason(std::int32_t parseResult) {
    if (parseResult == kCatalogueCannotOpen) return kNoCatalogueLine;
    if (parseResult < 0) return kBadCatalogueLine;
    return {};
}

namespace {

bool HoldsEngineMark(std::string_view upper, LeadBytePredicate isLeadByte) {
    static constexpr std::string_view kEngineMarks[] = {"QMXI.DLL", "ZORL.DLL", "KMTQ.DLL", "VDL.DAT", ".VDB", ".IDE"};
    return std::any_of(std::begin(kEngineMarks), std::end(kEngineMarks),
                       [&](std::string_view mark) { return ContainsMultibyte(upper, mark, isLeadByte); });
}

} // namespace

bool CompareCatalogues(const CatalogueList& installed, const CatalogueList& source, std::string_view controlDriver,
                       std::string_view filterDriver, bool& driversChanged, LeadBytePredicate isLeadByte,
                       std::vector<CatalogueDifference>* differences) {
    bool engineOnly = true;
    for (const CatalogueEntry& item : source) {
        if (item.stamp == 0) {
            // Skipped by the decision; reported unless the installed item is as unstamped.
            if (differences) {
                const CatalogueEntry* previous = installed.FindExact(item.name);
                if (!previous || previous->stamp != 0)
                    differences->push_back({CatalogueChange::Unstamped, previous, &item, false, false});
            }
            continue;
        }
        const CatalogueEntry* previous = installed.FindExact(item.name);
        if (previous && previous->stamp == item.stamp) continue;
        const std::string upper = UpperCaseMultibyte(item.name, isLeadByte);
        const bool engineFile = HoldsEngineMark(upper, isLeadByte);
        if (!engineFile) engineOnly = false;
        // Only a changed driver counts; a new one is looked at for the report alone.
        const bool driverFile = (previous || differences) && (ContainsMultibyte(upper, controlDriver, isLeadByte) ||
                                                              ContainsMultibyte(upper, filterDriver, isLeadByte));
        if (previous && driverFile) driversChanged = true;
        if (differences)
            differences->push_back({previous ? CatalogueChange::Changed : CatalogueChange::Added, previous, &item,
                                    engineFile, driverFile});
    }
    if (differences) {
        for (const CatalogueEntry& item : installed) {
            if (!source.FindExact(item.name))
                differences->push_back({CatalogueChange::Removed, &item, nullptr, false, false});
        }
    }
    return engineOnly;
}

bool IsEngineFile(std::string_view name, LeadBytePredicate isLeadByte) {
    return HoldsEngineMark(UpperCaseMultibyte(name, isLeadByte), isLeadByte);
}

} // namespace ih::update
