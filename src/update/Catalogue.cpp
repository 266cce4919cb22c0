#include "update/Catalogue.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <vector>

namespace ih::update {

namespace {

std::string FoldAsciiCase(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

std::uint16_t Little16(const unsigned char* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

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

void CatalogueList::Append(CatalogueEntry entry) {
    std::string folded = FoldAsciiCase(entry.name);
    const auto earlier = byFoldedName_.find(folded);
    if (earlier != byFoldedName_.end()) {
        entries_.erase(earlier->second);
        byFoldedName_.erase(earlier);
    }
    entries_.push_back(std::move(entry));
    try {
        byFoldedName_.emplace(std::move(folded), std::prev(entries_.end()));
    } catch (...) {
        entries_.pop_back();  // the list and its index stay in step
        throw;
    }
}

const CatalogueEntry* CatalogueList::FindExact(std::string_view name) const {
    const auto found = byFoldedName_.find(FoldAsciiCase(name));
    if (found == byFoldedName_.end() || found->second->name != name) return nullptr;
    return &*found->second;
}

void CatalogueList::Clear() noexcept {
    byFoldedName_.clear();
    entries_.clear();
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

bool CompareCatalogues(const CatalogueList& installed, const CatalogueList& source, std::string_view controlDriver,
                       std::string_view filterDriver, bool& driversChanged, LeadBytePredicate isLeadByte) {
    bool engineOnly = true;
    for (const CatalogueEntry& item : source) {
        if (item.stamp == 0) continue;
        const CatalogueEntry* previous = installed.FindExact(item.name);
        if (previous && previous->stamp == item.stamp) continue;
        if (!IsEngineFile(item.name, isLeadByte)) engineOnly = false;
        if (previous) {
            const std::string upper = UpperCaseMultibyte(item.name, isLeadByte);
            if (ContainsMultibyte(upper, controlDriver, isLeadByte) || ContainsMultibyte(upper, filterDriver, isLeadByte))
                driversChanged = true;
        }
    }
    return engineOnly;
}

bool IsEngineFile(std::string_view name, LeadBytePredicate isLeadByte) {
    static constexpr std::string_view kEngineMarks[] = {"QMXI.DLL", "ZORL.DLL", "KMTQ.DLL", "VDL.DAT", ".VDB", ".IDE"};
    const std::string upper = UpperCaseMultibyte(name, isLeadByte);
    return std::any_of(std::begin(kEngineMarks), std::end(kEngineMarks),
                       [&](std::string_view mark) { return ContainsMultibyte(upper, mark, isLeadByte); });
}

} // namespace ih::update
