// libFuzzer target for the catalogue parser: any bytes must parse or be
// rejected without touching memory outside what was allocated (ASan), and a
// parsed list must keep its promises.

#include "update/Catalogue.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unordered_set>

namespace {

using namespace ih::update;

bool SingleByte(unsigned char) { return false; }
bool ShiftJisLeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

void Require(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    MemoryCatalogueSource source(bytes);
    CatalogueList list;
    const std::int32_t result = ParseCatalogueFrom(source, list);
    Require(result == kCatalogueRead || result == kCatalogueMalformed);
    if (result != kCatalogueRead) {
        Require(list.empty());
        return 0;
    }
    std::unordered_set<std::string> folded;
    for (const CatalogueEntry& entry : list) {
        Require(entry.name.size() <= kCatalogueNameLimit);
        Require(entry.name.find('\0') == std::string::npos);
        Require(entry.fromNameBlock == 0 || (entry.extra == 0 && entry.stamp == 0));
        std::string key = entry.name;
        for (char& c : key) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        Require(folded.insert(key).second);  // unique ignoring ASCII case
        Require(list.FindExact(entry.name) == &entry);
        IsEngineFile(entry.name, ShiftJisLeadByte);
    }
    // Against itself nothing changed; against an empty installation every
    // stamped item is new, which never counts as a driver change.
    for (const LeadBytePredicate isLead : {SingleByte, ShiftJisLeadByte}) {
        bool driversChanged = false;
        Require(CompareCatalogues(list, list, kControlDriverName, kFilterDriverName, driversChanged, isLead));
        Require(!driversChanged);
        CompareCatalogues(CatalogueList{}, list, kControlDriverName, kFilterDriverName, driversChanged, isLead);
        Require(!driversChanged);
    }
    return 0;
}
